// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

namespace pikota::sound {

// The folder of recordings in progress, and what a crash left there: $XDG_STATE_HOME/pikota/recordings,
// by default ~/.local/state/pikota/recordings. Each recording in progress is a WAV file there, locked
// (flock) by the process that records it for as long as it holds it, and named pikota-<when made>.wav;
// once a save has everything it holds, pikota-<when made>.saved.wav. A file that nobody holds a lock on
// was left by a program that crashed or was killed: unsaved, it is the user's to recover, and nothing
// here ever deletes it; saved, it is a copy of what was saved, and the next recording clears it away.
std::string recordingsFolder();

// The unsaved recordings in the folder that no running program holds, oldest name first. Nothing is
// changed.
std::vector<std::string> unsavedRecordings();

// A new, locked, empty file in the folder (made if need be), named for the time it was made. Returns its
// descriptor (close-on-exec, read and write) and sets `path`; -1 with errno set on failure. Saved
// recordings that no program holds any more are deleted first.
int createRecordingFile(std::string& path);

// Renames the recording whose descriptor is `fd` so that its name says that a save has everything it
// holds (markSaved) or not (markUnsaved), and sets `path` to the new name; nothing is done when the name
// says so already. Only the name changes (its lock stays), and nothing is synced to the disk. False when
// it could not be renamed. A file that `path` no longer names (the user moved or replaced it) is left
// alone: nothing of it can pass for saved then, so only markSaved fails.
bool markSaved(int fd, std::string& path);
bool markUnsaved(int fd, std::string& path);

// Deletes the recording's file, if `path` still names the file of `fd`.
void removeRecording(int fd, const std::string& path);

} // namespace pikota::sound
