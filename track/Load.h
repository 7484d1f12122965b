// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "track/Track.h"
#include "track/TrackControls.h"

#include <QString>

namespace pikota::toolkit {
class CommonDialog;
}
class QWidget;

// The Load dialog's entries: WAV files first, then every sound file the program reads.
QString LoadFilter();
// Whether a file of this name is one the program reads, by its extension: what a drop takes.
bool IsSoundFileName(const QString& path);

// The Load button: pick a file, read it, draw it, remember it for playback. A WAV encoding that cannot be
// drawn, or a file that libsndfile cannot read, is named in a message with the reason, and the track stays
// as it was; any other failure ends the load quietly, where it stands.
void LoadFile(Track& track, const TrackControls& ui, pikota::toolkit::CommonDialog& dialog, QWidget* parent);
// The same load for a file given from outside (the command line, a drop): no dialog. The reason it could
// not be loaded comes back, in the program's words, to be shown with the file's name; it is empty when the
// file was loaded. A file in which no sound is found is named too. Nothing it meets is thrown on.
QString TryLoadFile(Track& track, const TrackControls& ui, const QString& path, Track& spare);
// Reads the file into `spare`'s arrays first, which then change places with the track's, so that a file
// that cannot be read leaves the track exactly as it was; then labels and draws it. The reason it could
// not be read comes back, as from TryLoadFile. The track's path and flags stay as they are.
QString ReadAside(Track& track, const TrackControls& ui, const QString& path, Track& spare);
// The read every road into the track shares once the arrays are zeroed: the file read, its label and its
// drawing. Throws SoundFileError as the reader does.
void ReadAndPlot(Track& track, const TrackControls& ui, const QString& path);
// Says that the file could not be loaded, and why.
void ShowCannotLoad(const QString& path, const QString& why, QWidget* parent);
