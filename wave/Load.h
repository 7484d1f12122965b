#pragma once

#include "wave/Track.h"
#include "wave/TrackControls.h"

#include <QString>

namespace pikota::toolkit {
class CommonDialog;
}
class QWidget;

// The Load button: pick a file, read it, draw it, remember it for playback.
void LoadFile(Track& track, const TrackControls& ui, pikota::toolkit::CommonDialog& dialog, QWidget* parent);
// The same load for a file given from outside (the command line, a drop): no dialog. A file that cannot
// be read leaves the track exactly as it was, and the reason comes back, in the program's words, to be
// shown with the file's name; empty when the file was loaded.
QString LoadFile(Track& track, const TrackControls& ui, const QString& path);
