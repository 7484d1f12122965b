// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>

struct WaveFormat;
struct SampleRange;

// How the samples of a WAV data chunk lie: the encoding of one sample, its container and the frame around
// it.
struct SampleCoding {
    enum class Kind : std::uint8_t { Unsigned8, Signed, Float, ALaw, MuLaw };
    // 8- or 16-bit PCM of one or two channels, stored in a track's arrays exactly as it lies in the file,
    // one or two bytes a sample whatever the block alignment says; every other encoding is decoded.
    bool plainPcm = true;
    Kind kind = Kind::Signed;
    int bytes = 2;      // one sample's container
    int channels = 1;   // samples in a frame
    int frameBytes = 2; // the block alignment: from one frame to the next
};

// The rules of the encodings the WAV reader draws: how the samples of a format chunk lie. `body` is the
// format chunk's body as far as it was read (zeros past its declared size: at least 40 bytes), `bodySize`
// its declared size. Refuses, with a message that names it, what cannot be drawn (SoundFileError).
SampleCoding ClassifyWavFormat(const WaveFormat& format, const unsigned char* body, std::int64_t bodySize);

// Decodes one channel of `count` frames that start at `in`, as a track stores samples: unsigned 8-bit
// samples as their values 0 to 255, everything else as signed 16-bit values (the top 16 bits of a wider
// integer, which is left-justified in its container; a float times 32768, rounded and clipped; A-law and
// mu-law expanded).
void DecodeChannel(const SampleCoding& coding, const unsigned char* in, std::size_t count, int channel,
                   std::int16_t* out);

// The lowest and highest first-channel sample of `count` frames at `in`, as DecodeChannel would store
// them, found without storing them: the overview's inner loop, which must keep up with reading the file. It
// may read kRangePadding bytes after the frames, whatever they hold.
SampleRange RangeOfFirstChannel(const SampleCoding& coding, const unsigned char* in, std::size_t count);
inline constexpr std::size_t kRangePadding = 64;

// A float sample as a track stores it: times 32768, rounded, clipped; NaN is 0.
std::int16_t FromFloat(double x);
