// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace pikota::sound {

// The first channel of a recording as it arrives, for a live view: the lowest and the highest sample of
// each block of kBlockFrames frames (10 ms at 44.1 kHz), the last kBlocks blocks of them kept in a ring.
// One thread adds (the audio callback, which never waits here) and one other reads, without a lock. A
// read changes nothing: the reader says from where it wants the blocks, so asking twice gives the same
// answer and a second reader takes nothing from the first.
class EnvelopeRing {
public:
    static constexpr std::int64_t kBlockFrames = 441;
    static constexpr std::size_t kBlocks = 4096; // 41 s at 44.1 kHz
    // The blocks a reader keeps off, next to the one being filled: the writer may be overwriting them.
    static constexpr std::int64_t kMargin = 64;

    struct Envelope {
        std::int64_t first = 0;                                   // the frame at which the first step begins
        std::int64_t framesPerStep = kBlockFrames;                // a whole number of blocks
        std::vector<std::pair<std::int16_t, std::int16_t>> steps; // lowest and highest sample of each
    };

    // Takes `frames` frames of `channels` interleaved samples; the first channel counts.
    void add(const std::int16_t* in, std::size_t frames, int channels);

    // The blocks completed from frame `from` on (from the block it falls in on, rounded up to a whole
    // block), in at most `most` steps of equal size: when more arrived they are merged in twos, fours, ...,
    // and only whole steps are given, so that the next read goes on from the end of the last one. Blocks
    // no longer kept are left out: `first` says where the steps begin.
    Envelope read(std::int64_t from, std::size_t most) const;

private:
    // A block as (lowest << 16 | highest).
    std::array<std::atomic<std::uint32_t>, kBlocks> blocks_{};
    std::atomic<std::int64_t> done_{0};
    // The block being filled: the writer's alone.
    std::int64_t frames_ = 0;
    std::int16_t low_ = std::numeric_limits<std::int16_t>::max();
    std::int16_t high_ = std::numeric_limits<std::int16_t>::min();
};

} // namespace pikota::sound
