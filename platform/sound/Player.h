// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/Engine.h"
#include "platform/sound/SoundFileHandle.h"
#include "platform/sound/SpscRing.h"
#include "platform/sound/WorkerThread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace pikota::sound {

// Plays an open sound file through an output stream. A reader thread streams the file into a ring of
// about a second, so memory stays the same for any length of file; the audio callback only copies out
// of the ring. The reader fills the ring before the stream starts and then tops it up four times a
// second. The position is the frame being heard: each callback notes which file frame starts its
// buffer and when that buffer reaches the listener (DAC time), and the stream's clock tells how far
// the listener has got since.
//
// The length is the header's, until the end of the data says otherwise. A file whose header's count can be
// wrong (SoundFileHandle::countUntrusted) is counted on a thread of its own as it starts to play, on
// another handle of the file, and its length is that count as soon as it is known; a file counted before,
// unchanged since, is not counted again.
class Player final : public OutputSource {
public:
    // `frames` is the file's length as its header says (or as its writer knows it).
    Player(std::unique_ptr<SoundFileHandle> file, int rate, int channels, std::int64_t frames);
    ~Player() override;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    int rate() const { return rate_; }
    // The frames of the file. While a header that says nothing is being counted, never the frame being
    // heard or less: one second past what is counted or heard.
    std::int64_t frames() const;

    // Starts playing from `frame` on `stream`, which must be stopped.
    Error start(Stream& stream, std::int64_t frame);
    // Stops the stream and returns the last frame that is heard.
    std::int64_t stop(Stream& stream);
    // The frame being heard now, between the start frame and the end; never goes back.
    std::int64_t heard(const Stream& stream);
    bool running() const { return running_; }
    // True once the last frame of the file has been heard (set by heard()).
    bool ended() const { return ended_; }

    void render(float* out, std::size_t frames, double dacTime, bool realtime) override;

private:
    void readLoop();
    bool readSome(std::vector<float>& in, std::vector<float>& out); // false at the end of the data

    std::unique_ptr<SoundFileHandle> file_;
    const int rate_;
    const int channels_;
    std::atomic<std::int64_t> frames_;
    // A header without a count: how far the counting has got.
    std::atomic<bool> lengthUnknown_{false};
    std::atomic<std::int64_t> counted_{0};
    std::jthread counter_;
    SpscRing<float> ring_;
    WorkerThread reader_;
    std::atomic<bool> eof_{false};
    bool running_ = false;

    // Written by the callback under a sequence counter, read by heard().
    std::atomic<std::uint64_t> sequence_{0};
    std::atomic<std::int64_t> bufferFrame_{-1}; // file frame that starts the last buffer, -1 before one
    std::atomic<double> bufferDac_{0.0};
    std::atomic<std::int64_t> delivered_{0}; // file frames handed to the device
    std::int64_t startFrame_ = 0;
    std::int64_t lastHeard_ = 0;
    bool ended_ = false;
};

} // namespace pikota::sound
