// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Benchmarks of drawing on a scaled screen: Qt takes the screen's pixel ratio (QT_SCALE_FACTOR) once, at
// start, so each ratio is measured by this same program started again for it, and one run prints the
// results of every ratio one after the other.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include <unistd.h>

namespace pikota::test {

// In the program the user started: runs it once per ratio and returns true (the caller then ends). In
// a run for one ratio (or with QT_SCALE_FACTOR already set by the user): returns false, and the caller
// measures.
inline bool RunForEachScale(std::initializer_list<const char*> scales) {
    if (std::getenv("PIKOTA_BENCH_SCALE") || std::getenv("QT_SCALE_FACTOR"))
        return false;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return false;
    self[n] = '\0';
    for (const char* scale : scales) {
        std::printf("screen pixel ratio %s:\n", scale);
        std::fflush(stdout);
        const std::string command =
            std::string("PIKOTA_BENCH_SCALE=1 QT_SCALE_FACTOR=") + scale + " '" + self + "'";
        if (std::system(command.c_str()) != 0)
            std::printf("  (failed)\n");
    }
    return true;
}

} // namespace pikota::test
