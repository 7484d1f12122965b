#include "wave/Load.h"

#include "device/Module1.h"
#include "platform/toolkit/FileDialog.h"
#include "wave/Plot.h"

#include <QPushButton>

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

void LoadFile(Track& track, const TrackControls& ui, const QString& path) {
    // The same quiet end as a load through the dialog.
    try {
        loadChosenFile(track, ui, path);
    } catch (...) {
    }
}
