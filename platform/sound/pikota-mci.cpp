// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// pikota-mci: sends commands to the sound device the way the program does, one per line of standard
// input, and prints for each the code, a tab, and the reply (code 0) or the device's error text.
//
//     printf 'open new type waveaudio alias wfile\nrecord wfile\n' | pikota-mci
//
// At the end of the input whatever is still open is closed.

#include "platform/sound/WaveAudioService.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

int main() {
    // As in the program: a recording that reaches the file-size limit fails its write instead of
    // ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    auto service = pikota::sound::makeSoundService();
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto result = pikota::sound::sendCommand(*service, line.c_str());
        std::printf("%d\t%s\n", static_cast<int>(result.code), result.text.value_or("").c_str());
        std::fflush(stdout);
    }
    pikota::sound::sendCommand(*service, "close wfile");
    return 0;
}
