// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The main of the sound device's tests, set up for recording as the program's main() is: SIGXFSZ is
// ignored, so that a recording that reaches the file-size limit of the process (sound_device_test sets
// one) fails its write instead of ending the process.
#include <gtest/gtest.h>

#include <csignal>

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
