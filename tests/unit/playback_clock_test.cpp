// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The playback clock's rules, as short stories of a playback at exact times: what is written, the start
// and the stop, the server's answers, and what is heard. Times and moments of the stream in ms.

#include "platform/sound/PlaybackClock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using pikota::sound::PlaybackClock;

namespace {

enum class Event { Written, Start, Stop, Answer, Idle, Late, Heard };

struct Step {
    int at; // ms on the local clock
    Event event;
    int value; // the moment of the stream: written up to, answered, or expected to be heard
};

Step written(int at, int end) { return {at, Event::Written, end}; }
Step start(int at) { return {at, Event::Start, 0}; }
Step stop(int at) { return {at, Event::Stop, 0}; }
Step answer(int at, int heard) { return {at, Event::Answer, heard}; } // the sink plays
Step idle(int at, int heard) { return {at, Event::Idle, heard}; }     // the sink does not play (yet)
Step late(int at, int heard) { return {at, Event::Late, heard}; }     // the question took 25 ms
Step heard(int at, int expected) { return {at, Event::Heard, expected}; }

struct Story {
    const char* name;
    std::vector<Step> steps;
};

const Story kStories[] = {
    {"PulseAudio: exact answers, run on between them",
     {start(0), written(0, 300), heard(0, 0), idle(10, 0), heard(20, 0), answer(30, 5), heard(30, 5),
      heard(130, 105), answer(280, 255), heard(290, 265)}},

    // The sink plays from 20 ms on, so at t the truth is t - 20; pipewire-pulse's answers run ahead of
    // it by up to its cycle, 40 ms.
    {"pipewire-pulse: the lowest answer counts, and never more than the time since the start",
     {start(0), written(0, 1000), answer(20, 40), heard(20, 20), answer(30, 40), heard(30, 30),
      answer(60, 40), heard(60, 40), heard(100, 80), answer(310, 320), heard(310, 290)}},

    // Exact answers, the truth t - 10; the server stops from 1000 to 1050 ms and its sound falls 50 ms
    // behind. The question sent at 1000 comes back at 1050 with an account of the upheaval, kept out;
    // the answers after it bring the position back to the sound, never backwards.
    {"a late answer after a 50 ms freeze is left out",
     {start(0), written(0, 5000), answer(10, 0), answer(260, 250), heard(1000, 990), late(1050, 960),
      heard(1050, 1040), answer(1060, 1000), heard(1060, 1040), heard(1100, 1040), heard(1110, 1050),
      heard(1200, 1140)}},

    // After the stop the owner asks once more: the sink played 2 ms more before the cork, and the flush
    // leaves the stream written up to there.
    {"stop and flush: the position holds at the last frame heard",
     {start(0), written(0, 300), answer(10, 0), written(100, 400), heard(200, 190), stop(200),
      heard(210, 190), idle(215, 192), heard(215, 192), written(215, 192), heard(900, 192)}},

    {"a restart goes on from where the flush left the stream; earlier answers no longer count",
     {start(0), written(0, 300), answer(10, 0), heard(200, 190), stop(200), idle(215, 192), written(215, 192),
      start(1000), written(1000, 492), heard(1000, 192), idle(1010, 192), heard(1020, 192), answer(1030, 197),
      heard(1030, 197), heard(1100, 267)}},

    {"nothing is heard beyond what was written",
     {start(0), written(0, 300), answer(10, 0), heard(300, 290), heard(310, 300), heard(1000, 300)}},

    {"an answer is kept for four seconds",
     {start(0), written(0, 10000), answer(50, 40), answer(2000, 2000), heard(4000, 3990), answer(4100, 4100),
      heard(4100, 4100)}},
};

TEST(PlaybackClock, Stories) {
    for (const Story& story : kStories) {
        SCOPED_TRACE(story.name);
        PlaybackClock clock;
        for (const Step& step : story.steps) {
            const double now = step.at / 1000.0;
            const double moment = step.value / 1000.0;
            switch (step.event) {
            case Event::Written:
                clock.setWritten(moment);
                break;
            case Event::Start:
                clock.start(now);
                break;
            case Event::Stop:
                clock.stop();
                break;
            case Event::Answer:
            case Event::Idle:
            case Event::Late:
                clock.answer({.arrived = now,
                              .heard = moment,
                              .onTheWay = step.event == Event::Late ? 0.025 : 0.0002,
                              .playing = step.event != Event::Idle});
                break;
            case Event::Heard:
                EXPECT_NEAR(clock.heard(now) * 1000, step.value, 1e-6) << "at " << step.at << " ms";
                break;
            }
        }
    }
}

// Quick answers at the start: until the sink is heard playing and sixteen answers are kept.
TEST(PlaybackClock, WantsQuickAnswersUntilSixteenAreKept) {
    PlaybackClock clock;
    clock.start(0);
    clock.setWritten(1.0);
    EXPECT_TRUE(clock.wantsQuickAnswers());
    clock.answer({.arrived = 0.010, .heard = 0, .onTheWay = 0.0002, .playing = false});
    EXPECT_TRUE(clock.wantsQuickAnswers());
    for (int n = 1; n <= 16; ++n) {
        EXPECT_TRUE(clock.wantsQuickAnswers()) << n;
        clock.answer({.arrived = 0.010 * (n + 1), .heard = 0.010 * n, .onTheWay = 0.0002, .playing = true});
    }
    EXPECT_FALSE(clock.wantsQuickAnswers());
    clock.stop();
    clock.start(1.0);
    EXPECT_TRUE(clock.wantsQuickAnswers()) << "a restart asks quickly again";
}

} // namespace
