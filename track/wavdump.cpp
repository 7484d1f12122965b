// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// pikota-wavdump FILE: runs the program's readers on FILE into a fresh track (the WAV reader for a WAV file
// it reads, libsndfile for the rest) and prints what they stored, one "name: value" a line, for checking
// files by hand and for tests. A long file's length is counted to its end first.
#include "track/LoadedFile.h"
#include "track/ReadSoundFile.h"

#include <QString>

#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <thread>

namespace {

// 64-bit FNV-1a over samples 0..limit, each taken as two bytes, low byte first.
std::uint64_t HashSamples(const SampleArray& samples, std::int32_t limit) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::int32_t i = 0; i <= limit && i <= kLastSampleIndex; ++i) {
        const auto value = static_cast<std::uint16_t>(samples[static_cast<std::size_t>(i)]);
        const std::uint64_t bytes[2] = {value & 0xFFu, static_cast<std::uint64_t>(value >> 8u)};
        for (const std::uint64_t byte : bytes) {
            hash ^= byte;
            hash *= 1099511628211ULL;
        }
    }
    return hash;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pikota-wavdump FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString prefix = path + QChar(0x3000) + QChar(0x3000);

    Track track;
    QString label;
    try {
        ReadSoundFile(track, path, [&](const QString& text) { label = text; });
        if (track.File && !track.File->inArrays()) {
            while (track.File->overviewRunning())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            label = track.File->label();
        }
    } catch (const std::exception& e) {
        std::printf("error: %s\n", e.what());
        return 1;
    }
    if (label.startsWith(prefix)) {
        label.remove(0, prefix.size());
    }

    const WaveFormat& f = track.waveFormat;
    std::printf("wFormatTag: %d\n", f.wFormatTag);
    std::printf("nChannels: %d\n", f.nChannels);
    std::printf("nSamplesPerSec: %" PRId32 "\n", f.nSamplesPerSec);
    std::printf("nAvgBytesPerSec: %" PRId32 "\n", f.nAvgBytesPerSec);
    std::printf("nBlockAlign: %d\n", f.nBlockAlign);
    std::printf("wBitsPerSample: %d\n", f.wBitsPerSample);
    std::printf("FullScale: %" PRId32 "\n", track.FullScale);
    std::printf("SampleLimit: %" PRId32 "\n", track.SampleLimit);
    std::printf("label: %s\n", label.toUtf8().constData());
    std::printf("left: %016" PRIx64 "\n", HashSamples(*track.LeftSamples, track.SampleLimit));
    std::printf("right: %016" PRIx64 "\n", HashSamples(*track.RightSamples, track.SampleLimit));
    return 0;
}
