// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/EnvelopeRing.h"

#include <algorithm>

namespace pikota::sound {

namespace {

std::uint32_t pack(std::int16_t low, std::int16_t high) {
    return static_cast<std::uint32_t>(static_cast<std::uint16_t>(low)) << 16 |
           static_cast<std::uint16_t>(high);
}
std::int16_t lowOf(std::uint32_t block) { return static_cast<std::int16_t>(block >> 16); }
std::int16_t highOf(std::uint32_t block) { return static_cast<std::int16_t>(block & 0xffff); }

} // namespace

void EnvelopeRing::add(const std::int16_t* in, std::size_t frames, int channels) {
    for (std::size_t i = 0; i < frames; ++i) {
        const std::int16_t sample = in[i * static_cast<std::size_t>(channels)];
        low_ = std::min(low_, sample);
        high_ = std::max(high_, sample);
        if (++frames_ < kBlockFrames)
            continue;
        const std::int64_t done = done_.load(std::memory_order_relaxed);
        blocks_[static_cast<std::size_t>(done) % kBlocks].store(pack(low_, high_), std::memory_order_relaxed);
        done_.store(done + 1, std::memory_order_release);
        frames_ = 0;
        low_ = std::numeric_limits<std::int16_t>::max();
        high_ = std::numeric_limits<std::int16_t>::min();
    }
}

EnvelopeRing::Envelope EnvelopeRing::read(std::int64_t from, std::size_t most) const {
    const std::int64_t done = done_.load(std::memory_order_acquire);
    // A reader that fell behind skips what the ring no longer holds.
    const std::int64_t begin = std::max((std::max<std::int64_t>(from, 0) + kBlockFrames - 1) / kBlockFrames,
                                        done - static_cast<std::int64_t>(kBlocks) + kMargin);
    const auto steps = static_cast<std::int64_t>(std::max<std::size_t>(most, 1));
    std::int64_t per = 1;
    while ((done - begin + per - 1) / per > steps)
        per *= 2;
    Envelope envelope;
    envelope.first = begin * kBlockFrames;
    envelope.framesPerStep = per * kBlockFrames;
    for (std::int64_t step = begin; step + per <= done; step += per) {
        std::int16_t low = std::numeric_limits<std::int16_t>::max();
        std::int16_t high = std::numeric_limits<std::int16_t>::min();
        for (std::int64_t b = step; b < step + per; ++b) {
            const std::uint32_t block =
                blocks_[static_cast<std::size_t>(b) % kBlocks].load(std::memory_order_relaxed);
            low = std::min(low, lowOf(block));
            high = std::max(high, highOf(block));
        }
        envelope.steps.emplace_back(low, high);
    }
    return envelope;
}

} // namespace pikota::sound
