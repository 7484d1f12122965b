// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The main of every test that needs widgets: one QApplication set up as the program sets it up, and
// SIGXFSZ ignored as the program's main() does for its recordings.
#include "platform/toolkit/Application.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <csignal>

namespace toolkit = pikota::toolkit;

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    toolkit::InitApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
