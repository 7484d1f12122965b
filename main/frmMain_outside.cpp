// Files that come from outside the window: named on the command line or dropped onto
// a track's waveform box. Both go through the Load button's own body.
#include "main/frmMain.h"

#include "wave/Load.h"

#include <QPushButton>

void frmMain::OpenFiles(const QStringList& paths) {
    if (paths.size() > 0)
        LoadFile(track1, ui1, paths[0]);
    if (paths.size() > 1)
        LoadFile(track2, ui2, paths[1]);
}

bool frmMain::TakesDrop(const TrackControls& ui, const QString& path) {
    // The Load button is disabled while a track plays or a recording is under way.
    return ui.cmdRoad->isEnabled() && path.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive);
}

void frmMain::Picture1_FileDropped(const QString& path) { LoadFile(track1, ui1, path); }
void frmMain::Picture3_FileDropped(const QString& path) { LoadFile(track2, ui2, path); }
