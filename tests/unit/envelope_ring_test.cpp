// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The recording's envelope ring, as a story of blocks arriving and readers asking from where they are:
// merging when more came than a reply holds, the ring wrapping around, and a reader that falls behind.
#include "platform/sound/EnvelopeRing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using pikota::sound::EnvelopeRing;

namespace {

struct Step {
    std::int64_t blocks;  // blocks arriving before the read (each block's samples are all its number)
    std::int64_t from;    // the frame the reader asks from
    const char* expected; // "first per: low-high low-high ..."
};

std::string Text(const EnvelopeRing::Envelope& e) {
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about a chain of string + at -O3.
    std::string text = std::to_string(e.first);
    text += ' ';
    text += std::to_string(e.framesPerStep);
    text += ':';
    for (const auto& [low, high] : e.steps) {
        text += ' ';
        text += std::to_string(low);
        text += '-';
        text += std::to_string(high);
    }
    return text;
}

TEST(EnvelopeRing, ReadersAskFromWhereTheyAre) {
    constexpr std::int64_t B = EnvelopeRing::kBlockFrames;
    const Step story[] = {
        {0, 0, "0 441:"},
        {3, 0, "0 441: 0-0 1-1 2-2"},
        {0, 0, "0 441: 0-0 1-1 2-2"}, // asking again changes nothing
        {0, B, "441 441: 1-1 2-2"},
        {0, B + 1, "882 441: 2-2"}, // a frame inside a block: from the next whole one
        {0, 3 * B, "1323 441:"},
        // 20 more: merged in twos; 17 of them in 8 whole steps, the 17th left for the next read.
        {17, 3 * B, "1323 882: 3-4 5-6 7-8 9-10 11-12 13-14 15-16 17-18"},
        {0, 19 * B, "8379 441: 19-19"},
        // The ring wraps: 5000 more, far more than it keeps. A reader from the start gets the last 4032
        // blocks, in whole steps of 512; the ones it holds again have their own numbers.
        {5000, 0, "435708 225792: 988-1499 1500-2011 2012-2523 2524-3035 3036-3547 3548-4059 4060-4571"},
        {0, 5012 * B,
         "2210292 441: 5012-5012 5013-5013 5014-5014 5015-5015 5016-5016 5017-5017 5018-5018 "
         "5019-5019"},
    };
    EnvelopeRing ring;
    std::int64_t arrived = 0;
    for (const Step& step : story) {
        for (std::int64_t b = 0; b < step.blocks; ++b, ++arrived) {
            const std::vector<std::int16_t> block(B, static_cast<std::int16_t>(arrived % 30000));
            ring.add(block.data(), B, 1);
        }
        EXPECT_EQ(Text(ring.read(step.from, 15)), step.expected) << "after " << arrived << " blocks";
    }
    // Half a block is not a block yet.
    const std::vector<std::int16_t> half(B, 7);
    ring.add(half.data(), B / 2, 1);
    EXPECT_EQ(Text(ring.read(5020 * B, 15)), "2213820 441:");
}

} // namespace
