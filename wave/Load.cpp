// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wave/Load.h"

#include "device/Module1.h"
#include "platform/toolkit/FileDialog.h"
#include "platform/toolkit/MessageBox.h"
#include "wave/Plot.h"
#include "wave/WaveReader.h"

#include <QLabel>
#include <QPushButton>

#include <exception>
#include <utility>

namespace toolkit = pikota::toolkit;

namespace {

// Everything a load does once the file is known; any failure is thrown to the caller.
void loadChosenFile(Track& track, const TrackControls& ui, const QString& path) {
    ClearSamples(track);
    track.SampleLimit = kLastSampleIndex;
    ui.cmdRoad->setEnabled(false);
    DisableTransport(ui);
    ReadWaveFile(track, ui, path);
    PlotWaveform(track, ui);
    track.FilePath = GetShortPath(path);
    ui.cmdRoad->setEnabled(true);
    EnableTransport(ui);
    track.HasWaveform = true;
}

QString Reason(const WaveFileError& error) {
    switch (error.problem()) {
    case WaveFileError::Problem::NotFound:
        return QStringLiteral("ファイルが見つかりません。");
    case WaveFileError::Problem::NotReadable:
        return QStringLiteral("ファイルを読むことができません。読み取りの許可を確かめてください。");
    case WaveFileError::Problem::NotAFile:
        return QStringLiteral("ファイルではありません。");
    case WaveFileError::Problem::Encoding:
        return error.message();
    case WaveFileError::Problem::NotWave:
        break;
    }
    return QStringLiteral("ピコタで読み込める WAV ファイルではありません。");
}

} // namespace

void ShowCannotLoad(const QString& path, const QString& why, QWidget* parent) {
    toolkit::MsgBox(QStringLiteral("「%1」を読み込めませんでした。\r\n%2").arg(path, why),
                    toolkit::MsgButtons::OK, toolkit::MsgIcon::Critical, parent);
}

void LoadFile(Track& track, const TrackControls& ui, toolkit::CommonDialog& dialog, QWidget* parent) {
    // Any failure from here on ends the load quietly, leaving things as far as they got.
    try {
        dialog.Filter = QStringLiteral("WAVEファイル (*.wav)|*.wav");
        dialog.ShowOpen(parent);
        const QString path = dialog.FileName;
        // An encoding that cannot be drawn is found before anything of the track changes.
        if (const QString refusal = EncodingRefusal(path); !refusal.isEmpty()) {
            ShowCannotLoad(path, refusal, parent);
            return;
        }
        loadChosenFile(track, ui, path);
    } catch (...) {
    }
}

QString TryLoadFile(Track& track, const TrackControls& ui, const QString& path, Track& spare) {
    try {
        // Read with the format this track had (a file without a format chunk reads with it, as it
        // would here), and taken over only once the file has been read whole.
        ClearSamples(spare);
        spare.SampleLimit = kLastSampleIndex;
        spare.waveFormat = track.waveFormat;
        spare.FullScale = track.FullScale;
        spare.Coding = track.Coding;
        QString label;
        ReadWaveFile(spare, path, [&label](const QString& text) { label = text; });
        track.waveFormat = spare.waveFormat;
        track.FullScale = spare.FullScale;
        track.Coding = spare.Coding;
        track.SampleLimit = spare.SampleLimit;
        std::swap(track.LeftSamples, spare.LeftSamples);
        std::swap(track.RightSamples, spare.RightSamples);
        std::swap(track.Source, spare.Source);
        spare.Source.reset(); // the file the track showed before
        // A file without a data chunk leaves the label as it was, as a load does.
        if (!label.isNull())
            ui.lblTime->setText(label);
        PlotWaveform(track, ui);
        track.FilePath = GetShortPath(path);
        EnableTransport(ui);
        track.HasWaveform = true;
        return {};
    } catch (const WaveFileError& error) {
        return Reason(error);
    } catch (const std::exception& error) {
        return QStringLiteral("読み込み中に予期しないエラーが発生しました（詳細: %1）。")
            .arg(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return QStringLiteral("読み込み中に予期しないエラーが発生しました。");
    }
}
