// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The processes of a private sound server that scripts/sound-server started, for tests and benchmarks that
// stop, freeze or kill them. The server's folder holds one file of process ids per process: server.pid
// (pulseaudio, or pipewire-pulse: the process that serves libpulse clients), and for PipeWire also
// pipewire.pid (the graph behind it); its file "kind" says which server it is.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace pikota::test {

struct ServerProcess {
    std::string name; // "pulseaudio", "pipewire-pulse" or "pipewire"
    pid_t pid = 0;
};

// The running processes of the server whose pid files are in `folder`, the one that serves libpulse
// clients first.
inline std::vector<ServerProcess> soundServerProcesses(const std::string& folder) {
    std::string kind;
    std::ifstream(folder + "/kind") >> kind;
    std::vector<ServerProcess> found;
    const std::pair<const char*, const char*> files[] = {
        {"server.pid", kind == "pipewire" ? "pipewire-pulse" : "pulseaudio"}, {"pipewire.pid", "pipewire"}};
    for (const auto& [file, name] : files) {
        pid_t pid = 0;
        std::ifstream(folder + "/" + file) >> pid;
        if (pid > 0 && ::kill(pid, 0) == 0)
            found.push_back({name, pid});
    }
    return found;
}

// Starts the private server of `kind` ("pulseaudio" or "pipewire") in `folder` with `script`
// (scripts/sound-server), or brings back whatever of it was killed; true once it answers.
inline bool startSoundServer(const std::string& script, const std::string& folder, const std::string& kind) {
    return std::system(("'" + script + "' start '" + folder + "' " + kind + " >/dev/null").c_str()) == 0;
}

// Stops the process for `duration` and lets it go on.
inline void freeze(pid_t pid, std::chrono::milliseconds duration) {
    ::kill(pid, SIGSTOP);
    std::this_thread::sleep_for(duration);
    ::kill(pid, SIGCONT);
}

} // namespace pikota::test
