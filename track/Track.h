// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "track/WavEncoding.h"

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

class LoadedFile;

// What the readers fill in a track: the sound of its file. Kept together, so that a file read aside (one
// given from outside, into spare arrays) changes places with a track's in one move.
struct TrackSound {
    TrackSound();
    ~TrackSound();
    TrackSound(TrackSound&&) noexcept;
    TrackSound& operator=(TrackSound&&) noexcept;

    WaveFormat waveFormat;
    // Allocated once with the track, zeroed, and never resized.
    std::unique_ptr<SampleArray> LeftSamples = std::make_unique<SampleArray>();
    std::unique_ptr<SampleArray> RightSamples = std::make_unique<SampleArray>();
    std::int32_t SampleLimit = kLastSampleIndex;
    std::int32_t FullScale = 0;

    // Beside the arrays, what other encodings, other formats and longer files need. How the samples of the
    // last WAV format chunk read lie:
    SampleCoding Coding;
    // The file the track shows, whatever its format and length: what the drawing, the scope and a click go
    // through. Empty before the first read and when a read has failed.
    std::unique_ptr<LoadedFile> File;

    // Reads the next file as this one was read: a WAV file without a format chunk takes the format of the
    // last one.
    void TakeFormatOf(const TrackSound& other);
};

// One track's state. The window holds two of these for its whole life.
struct Track : TrackSound {
    float Cursor = 0.0f;
    Flag RecordMode;
    QString FilePath;
    Flag Paused;
    Flag HasWaveform;
};
