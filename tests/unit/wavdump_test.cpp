// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Runs the built pikota-wavdump on files written here and checks its whole output.
#include "tests/support/WavBytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

using namespace pikota::test;

namespace {

struct Result {
    std::string output;
    int exitCode = -1;
};

Result RunWavdump(const QString& path) {
    const QString command = QStringLiteral(PIKOTA_WAVDUMP) + " '" + path + "'";
    Result r;
    FILE* pipe = popen(command.toLocal8Bit().constData(), "r");
    if (pipe == nullptr) {
        return r;
    }
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        r.output += buffer;
    }
    const int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(Wavdump, PrintsFormatLimitLabelAndHashes) {
    QTemporaryDir dir;
    QByteArray data;
    for (int i = 0; i < 22050; ++i) {
        PutInt16(data, static_cast<std::int16_t>((i * 7) % 65536 - 32768));
        PutInt16(data, static_cast<std::int16_t>(32767 - (i * 3) % 65536));
    }
    const QString path = dir.filePath(QStringLiteral(u"半秒.wav"));
    WriteFile(path, Riff({Chunk("fmt ", FormatBody(2, 44100, 16, 4)), Chunk("data", data)}));

    // The hashes were computed independently of the program from the same sample values (and a zero
    // frame 22050, read past the end of the file).
    const Result r = RunWavdump(path);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "wFormatTag: 1\n"
                        "nChannels: 2\n"
                        "nSamplesPerSec: 44100\n"
                        "nAvgBytesPerSec: 176400\n"
                        "nBlockAlign: 4\n"
                        "wBitsPerSample: 16\n"
                        "FullScale: 65536\n"
                        "SampleLimit: 22050\n"
                        "label:  0.5\xE7\xA7\x92\n"
                        "left: b78685ce37f414fc\n"
                        "right: 08b89d8a8ad47490\n");
}

TEST(Wavdump, ReportsFailureWithExitCodeOne) {
    QTemporaryDir dir;
    const Result r = RunWavdump(dir.filePath("missing.wav"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output.rfind("error: ", 0), 0u) << r.output;
}

} // namespace
