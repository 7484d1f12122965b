#include "wave/Load.h"

#include "device/Module1.h"
#include "platform/toolkit/FileDialog.h"
#include "wave/Plot.h"
#include "wave/WaveReader.h"

#include <QLabel>
#include <QPushButton>

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

} // namespace

void LoadFile(Track& track, const TrackControls& ui, toolkit::CommonDialog& dialog, QWidget* parent) {
    // Any failure from here on ends the load quietly, leaving things as far as they got.
    try {
        dialog.Filter = QStringLiteral("WAVEファイル (*.wav)|*.wav");
        dialog.ShowOpen(parent);
        loadChosenFile(track, ui, dialog.FileName);
    } catch (...) {
    }
}

QString LoadFile(Track& track, const TrackControls& ui, const QString& path) {
    // Read into a track of its own first, with the format this track had (a file without a format
    // chunk reads with it, as it would here), and taken over only once the file has been read whole.
    Track read;
    read.waveFormat = track.waveFormat;
    read.FullScale = track.FullScale;
    QString label;
    try {
        ReadWaveFile(read, path, [&label](const QString& text) { label = text; });
    } catch (const WaveFileError& error) {
        switch (error.problem()) {
        case WaveFileError::Problem::NotFound:
            return QStringLiteral("ファイルが見つかりません。");
        case WaveFileError::Problem::NotReadable:
            return QStringLiteral("ファイルを読むことができません。読み取りの許可を確かめてください。");
        case WaveFileError::Problem::NotAFile:
            return QStringLiteral("ファイルではありません。");
        case WaveFileError::Problem::NotWave:
            break;
        }
        return QStringLiteral("ピコタで読める WAV ファイルではありません。");
    }
    track.waveFormat = read.waveFormat;
    track.FullScale = read.FullScale;
    track.SampleLimit = read.SampleLimit;
    std::swap(track.LeftSamples, read.LeftSamples);
    std::swap(track.RightSamples, read.RightSamples);
    // A file without a data chunk leaves the label as it was, as a load does.
    if (!label.isNull())
        ui.lblTime->setText(label);
    PlotWaveform(track, ui);
    track.FilePath = GetShortPath(path);
    EnableTransport(ui);
    track.HasWaveform = true;
    return {};
}
