#pragma once

#include <string>
#include <vector>

namespace pikota::sound {

// Where recordings live while they are made: $XDG_STATE_HOME/pikota/recordings, by default
// ~/.local/state/pikota/recordings. Each recording in progress is a WAV file there, locked (flock) by the
// process that records it for as long as it holds it; a file that nobody holds a lock on is a recording
// that its program never saved nor discarded, because it crashed or was killed.
std::string recordingsFolder();

// The recordings in the folder that no running program holds, oldest name first. Nothing is changed.
std::vector<std::string> unsavedRecordings();

// A new, locked, empty file in the folder (made if need be), named for the time it was made. Returns its
// descriptor (close-on-exec, read and write) and sets `path`; -1 with errno set on failure.
int createRecordingFile(std::string& path);

} // namespace pikota::sound
