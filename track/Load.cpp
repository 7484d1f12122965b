// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/Load.h"

#include "device/Module1.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/FileDialog.h"
#include "platform/toolkit/MessageBox.h"
#include "track/LoadedFile.h"
#include "track/Plot.h"
#include "track/ReadError.h"
#include "track/ReadSoundFile.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

#include <exception>
#include <optional>
#include <utility>

namespace toolkit = pikota::toolkit;

namespace {

// The extensions of the files the program reads: WAV, and what libsndfile reads that people have.
const QStringList& SoundExtensions() {
    static const QStringList extensions{
        QStringLiteral("wav"),  QStringLiteral("flac"), QStringLiteral("mp3"), QStringLiteral("ogg"),
        QStringLiteral("oga"),  QStringLiteral("opus"), QStringLiteral("aif"), QStringLiteral("aiff"),
        QStringLiteral("aifc"), QStringLiteral("caf"),  QStringLiteral("w64"), QStringLiteral("rf64"),
        QStringLiteral("au"),   QStringLiteral("snd"),  QStringLiteral("voc"), QStringLiteral("mp2")};
    return extensions;
}

// Reads the file into the track's arrays, its label and its box.
void ReadInto(Track& track, const TrackControls& ui, SoundFileReader& reader) {
    reader.readInto(track, [&ui](const QString& label) { ui.lblTime->setText(label); });
    PlotWaveform(track, ui);
}

// What a load does last: the file remembered for playback, the track's buttons, clicks into its box.
void FinishLoad(Track& track, const TrackControls& ui, const QString& path) {
    track.FilePath = GetShortPath(path);
    ui.cmdRoad->setEnabled(true);
    EnableTransport(ui);
    track.HasWaveform = true;
}

// Runs a read that may fail; the reason it failed, in the program's words, or empty.
template <typename Read> QString ReasonIfFails(Read read) {
    try {
        read();
        return {};
    } catch (const SoundFileError& error) {
        return error.reason();
    } catch (const std::exception& error) {
        return QStringLiteral("読み込み中に予期しないエラーが発生しました（詳細: %1）。")
            .arg(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return QStringLiteral("読み込み中に予期しないエラーが発生しました。");
    }
}

} // namespace

QString LoadFilter() {
    QStringList patterns;
    for (const QString& extension : SoundExtensions())
        patterns << QStringLiteral("*.") + extension;
    return QStringLiteral("WAVEファイル (*.wav)|*.wav|すべての音声ファイル (%1)|%2")
        .arg(patterns.join(QLatin1Char(' ')), patterns.join(QLatin1Char(';')));
}

bool IsSoundFileName(const QString& path) {
    return SoundExtensions().contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

void ShowCannotLoad(const QString& path, const QString& why, QWidget* parent) {
    toolkit::MsgBox(QStringLiteral("「%1」を読み込めませんでした。\r\n%2").arg(path, why),
                    toolkit::MsgButtons::OK, toolkit::MsgIcon::Critical, parent);
}

void ReadAndPlot(Track& track, const TrackControls& ui, const QString& path) {
    SoundFileReader reader(path);
    ReadInto(track, ui, reader);
}

void LoadFile(Track& track, const TrackControls& ui, toolkit::CommonDialog& dialog, QWidget* parent) {
    // Any failure from here on ends the load quietly, leaving things as far as they got.
    try {
        dialog.Filter = LoadFilter();
        dialog.ShowOpen(parent);
        const QString path = dialog.FileName;
        // What is named is found before anything of the track changes; any other failure comes once the
        // arrays are cleared and the buttons locked, where the read would have met it.
        std::optional<SoundFileReader> reader;
        std::exception_ptr failure;
        try {
            reader.emplace(path);
        } catch (const SoundFileError& error) {
            if (error.named()) {
                ShowCannotLoad(path, error.reason(), parent);
                return;
            }
            failure = std::current_exception();
        }
        ForgetFile(track, ui);
        ClearSamples(track);
        track.SampleLimit = kLastSampleIndex;
        ui.cmdRoad->setEnabled(false);
        DisableTransport(ui);
        if (failure)
            std::rethrow_exception(failure);
        ReadInto(track, ui, *reader);
        FinishLoad(track, ui, path);
    } catch (...) {
    }
}

QString ReadAside(Track& track, const TrackControls& ui, const QString& path, Track& spare) {
    return ReasonIfFails([&] {
        SoundFileReader reader(path);
        if (!reader.hasSound())
            throw SoundFileError("no sound in the file", SoundFileError::Problem::Damaged, NoSoundReason());
        // Read with the format this track had (a WAV file without a format chunk reads with it, as it would
        // here), and taken over only once the file has been read whole.
        ClearSamples(spare);
        spare.SampleLimit = kLastSampleIndex;
        spare.TakeFormatOf(track);
        QString label;
        reader.readInto(spare, [&label](const QString& text) { label = text; });
        StopOverview(track, ui);
        std::swap(static_cast<TrackSound&>(track), static_cast<TrackSound&>(spare));
        spare.File.reset(); // the file the track showed before
        toolkit::ReleaseFreeMemory();
        ui.lblTime->setText(label);
        PlotWaveform(track, ui);
    });
}

QString TryLoadFile(Track& track, const TrackControls& ui, const QString& path, Track& spare) {
    const QString why = ReadAside(track, ui, path, spare);
    if (why.isEmpty())
        FinishLoad(track, ui, path);
    return why;
}
