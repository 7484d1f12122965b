#pragma once

// The processes of a private sound server, for tests and benchmarks that stop, freeze or kill them. The
// server's folder holds one file of process ids per process: daemon.pid for PulseAudio; pipewire-pulse.pid
// (the process that serves libpulse clients) and pipewire.pid for PipeWire.

#include <chrono>
#include <csignal>
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
    std::vector<ServerProcess> found;
    const std::pair<const char*, const char*> files[] = {
        {"daemon.pid", "pulseaudio"}, {"pipewire-pulse.pid", "pipewire-pulse"}, {"pipewire.pid", "pipewire"}};
    for (const auto& [file, name] : files) {
        pid_t pid = 0;
        std::ifstream(folder + "/" + file) >> pid;
        if (pid > 0 && ::kill(pid, 0) == 0)
            found.push_back({name, pid});
    }
    return found;
}

// Stops the process for `duration` and lets it go on.
inline void freeze(pid_t pid, std::chrono::milliseconds duration) {
    ::kill(pid, SIGSTOP);
    std::this_thread::sleep_for(duration);
    ::kill(pid, SIGCONT);
}

} // namespace pikota::test
