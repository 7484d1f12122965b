// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Files that come from outside the window: named on the command line or dropped onto
// a track's waveform box. A file that cannot be read is named in a message with the
// reason, and its track stays as it was.
#include "main/frmMain.h"

#include "track/Load.h"

#include <QApplication>
#include <QPushButton>

void frmMain::LoadFromOutside(Track& track, const TrackControls& ui, const QString& path) {
    const QString why = TryLoadFile(track, ui, path, spare);
    if (!why.isEmpty())
        ShowCannotLoad(path, why, this);
}

void frmMain::OpenFiles(const QStringList& paths) {
    if (paths.size() > 0)
        LoadFromOutside(track1, ui1, paths[0]);
    if (paths.size() > 1)
        LoadFromOutside(track2, ui2, paths[1]);
}

bool frmMain::TakesDrop(const TrackControls& ui, const QString& path) {
    // The Load button is disabled while a track plays or a recording is under way. While a dialog or a
    // message box waits for an answer (the ready message of a prepared recording, with the Load buttons
    // still enabled under it), nothing is taken either.
    return ui.cmdRoad->isEnabled() && !QApplication::activeModalWidget() && IsSoundFileName(path);
}

void frmMain::Picture1_FileDropped(const QString& path) { LoadFromOutside(track1, ui1, path); }
void frmMain::Picture3_FileDropped(const QString& path) { LoadFromOutside(track2, ui2, path); }
