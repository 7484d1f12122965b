// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "wave/Track.h"
#include "wave/TrackControls.h"

#include <QString>

namespace pikota::toolkit {
class CommonDialog;
}
class QWidget;

// The Load button: pick a file, read it, draw it, remember it for playback. A file whose encoding cannot
// be drawn is named in a message, with the encoding, and the track stays as it was.
void LoadFile(Track& track, const TrackControls& ui, pikota::toolkit::CommonDialog& dialog, QWidget* parent);
// The same load for a file given from outside (the command line, a drop): no dialog. The file is read into
// `spare`'s arrays first, which then change places with the track's, so that a file that cannot be read
// leaves the track exactly as it was; the reason comes back, in the program's words, to be shown with the
// file's name, and is empty when the file was loaded. Nothing it meets is thrown on.
QString TryLoadFile(Track& track, const TrackControls& ui, const QString& path, Track& spare);
// Says that the file could not be loaded, and why.
void ShowCannotLoad(const QString& path, const QString& why, QWidget* parent);
