// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the kernel says of a process's memory, for the benchmarks that watch it.

#include <fstream>
#include <string>

namespace pikota::test {

// A field of /proc/PID/status given in KiB ("VmRSS", resident; "RssAnon", anonymous resident), of this
// process unless another's pid is given; -1 when it cannot be read.
inline long StatusKiB(const std::string& field, const std::string& pid = "self") {
    std::ifstream status("/proc/" + pid + "/status");
    const std::string key = field + ":";
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    return -1;
}

} // namespace pikota::test
