// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <vector>

namespace pikota::sound {

// Which moment of a playback is being heard, worked out from the sound server's answers to "where are
// you?". It reads no clock, takes no lock and knows no server: every call says what time it is (`now`,
// seconds on one steady clock), and its owner makes one call at a time. Moments of the stream are seconds
// counted like the stream's write index, from the first frame ever written.
//
// - Every answer given while the sink plays is kept for four seconds, as the offset of the moment heard
//   from the time it came. The lowest offset is the truest: PulseAudio's answers are exact, but
//   pipewire-pulse counts a cycle's data as played when it hands it to the graph, so its answers run
//   ahead by up to one cycle, in steps, and the true one comes only at the right moment in the cycle.
// - An answer to a question that was long on its way (the server was stopped meanwhile) tells of a
//   moment of upheaval and is left out.
// - Until an answer is kept, the last one is run on from the moment it came.
// - Nothing is heard beyond what was written, nor, while it plays, more than the time since the start;
//   and the moment heard never goes back.
// - Stopped, it stays where the last answer puts it: its owner asks the server once more after the stop
//   and writes from where the flush left the stream.
class PlaybackClock {
public:
    // How long answers are kept, how long a question may be on its way and its answer still count, and
    // how many answers a playback wants quickly when it starts (see wantsQuickAnswers).
    static constexpr double kKeptSeconds = 4.0;
    static constexpr double kLateSeconds = 0.005;
    static constexpr std::size_t kQuickAnswers = 16;

    struct Answer {
        double arrived = 0;   // when it came
        double heard = 0;     // the moment being heard then, by the server's account
        double onTheWay = 0;  // how long the question took to reach the server
        bool playing = false; // whether the sink was playing
    };

    // The stream holds data up to `end` (it moves back when a flush throws data away).
    void setWritten(double end) { written_ = end; }

    // The stream is let go at `now`, from where it was written up to (it starts with what is written
    // after this call). Earlier answers no longer count.
    void start(double now);
    void stop();

    void answer(const Answer& answer);

    // The moment being heard at `now`; 0 before the first answer.
    double heard(double now);

    // True while the playback has not yet been heard playing, or has fewer than kQuickAnswers answers
    // kept: pipewire-pulse's truest answer comes only at the right moment of its cycle (up to 43 ms), so
    // a playback that asks only now and then would stay ahead for a second or more.
    bool wantsQuickAnswers() const { return !playing_ || kept_.size() < kQuickAnswers; }

private:
    struct Kept {
        double arrived;
        double offset; // the moment heard less the time it came
    };

    double written_ = 0;
    bool running_ = false;
    double startedAt_ = 0;
    double startedFrom_ = 0;
    bool answered_ = false;
    double lastHeard_ = 0; // the last answer
    double lastArrived_ = 0;
    bool playing_ = false;
    std::vector<Kept> kept_;
    double mostHeard_ = 0;
};

} // namespace pikota::sound
