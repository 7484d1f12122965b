// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "wave/SampleCoding.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>

// The format record of a WAV file's format chunk, byte for byte.
struct WaveFormat {
    std::int16_t wFormatTag = 0;
    std::int16_t nChannels = 0;
    std::int32_t nSamplesPerSec = 0;
    std::int32_t nAvgBytesPerSec = 0;
    std::int16_t nBlockAlign = 0;
    std::int16_t wBitsPerSample = 0;
};
static_assert(sizeof(WaveFormat) == 16, "WaveFormat mirrors the 16-byte format record");

// The last index of a track's sample arrays: each holds 500001 samples.
inline constexpr std::int32_t kLastSampleIndex = 500000;
using SampleArray = std::array<std::int16_t, kLastSampleIndex + 1>;

// A 16-bit flag as the program stores it: true is -1, false is 0.
class Flag {
public:
    constexpr Flag() = default;
    constexpr Flag(bool b) : value_(b ? -1 : 0) {}
    constexpr operator bool() const { return value_ != 0; }

private:
    std::int16_t value_ = 0;
};

class WaveSource;

// One track's state. The window holds two of these for its whole life.
struct Track {
    WaveFormat waveFormat;
    // Allocated once with the track, zeroed, and never resized.
    std::unique_ptr<SampleArray> LeftSamples = std::make_unique<SampleArray>();
    std::unique_ptr<SampleArray> RightSamples = std::make_unique<SampleArray>();
    std::int32_t SampleLimit = kLastSampleIndex;
    std::int32_t FullScale = 0;
    float Cursor = 0.0f;
    Flag RecordMode;
    QString FilePath;
    Flag Paused;
    Flag HasWaveform;

    // Beside the arrays, what other encodings and longer files need. How the samples of the last format
    // chunk read lie:
    SampleCoding Coding;
    // A file of more than 500001 frames: open for reading, with the overview of its whole length that the
    // drawing shows. The arrays then hold its first 500001 frames. Empty when the arrays hold the whole file.
    std::shared_ptr<WaveSource> Source;
};

// The sample index at the right edge of the track's box: SampleLimit, or a long file's last frame.
std::int64_t RightEdge(const Track& track);
