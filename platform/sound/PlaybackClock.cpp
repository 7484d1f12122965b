// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/PlaybackClock.h"

#include <algorithm>

namespace pikota::sound {

void PlaybackClock::start(double now) {
    running_ = true;
    startedAt_ = now;
    startedFrom_ = written_;
    playing_ = false;
    kept_.clear();
}

void PlaybackClock::stop() {
    running_ = false;
    kept_.clear();
}

void PlaybackClock::answer(const Answer& answer) {
    answered_ = true;
    lastHeard_ = answer.heard;
    lastArrived_ = answer.arrived;
    playing_ = answer.playing;
    if (!playing_ || !running_ || answer.onTheWay > kLateSeconds)
        return;
    kept_.push_back({answer.arrived, answer.heard - answer.arrived});
    // Erased from the front, so that the vector keeps its memory.
    while (!kept_.empty() && answer.arrived - kept_.front().arrived > kKeptSeconds)
        kept_.erase(kept_.begin());
}

double PlaybackClock::heard(double now) {
    if (!answered_)
        return mostHeard_;
    double heard = lastHeard_;
    if (playing_ && running_) {
        if (kept_.empty()) {
            heard += now - lastArrived_;
        } else {
            double lowest = kept_.front().offset;
            for (const Kept& kept : kept_)
                lowest = std::min(lowest, kept.offset);
            heard = now + lowest;
        }
    }
    heard = std::min(heard, written_);
    if (running_)
        heard = std::min(heard, startedFrom_ + (now - startedAt_));
    mostHeard_ = std::max(mostHeard_, heard);
    return mostHeard_;
}

} // namespace pikota::sound
