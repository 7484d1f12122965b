// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/Engine.h"
#include "platform/sound/EnvelopeRing.h"
#include "platform/sound/SpscRing.h"
#include "platform/sound/WorkerThread.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace pikota::sound {

// A new recording: the audio callback copies frames into a lock-free ring, and a writer thread appends
// them to a WAV file in the recordings folder (see RecordingsFolder.h), locked while this recorder lives and
// deleted when it goes. The file's header is brought up to date at least once a second and at every stop,
// and its data is flushed to the disk with it, so that after a crash or a power cut the file plays with
// all but the last second or so. Memory stays the same for any length of recording, and a window that is
// busy for seconds loses nothing: the ring holds about 12 s, and the writer wakes once a second to empty it.
//
// A recording that cannot be kept whole (the disk is full, a write fails, the file reaches the largest
// size a WAV file or the process may have, or the writer falls a ring's length behind) stops there: from
// then on nothing more is captured or written, everything before that point is kept, playable, and can be
// saved, and failure() says why. The process must ignore SIGXFSZ (every main() that records does), or a
// file that reaches the process's size limit ends it instead of failing its write.
class Recorder final : public InputSink {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;
    static constexpr int kBits = 16;

    Recorder();
    ~Recorder() override;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Creates the recording's file; must succeed before anything else is used.
    Error create();
    const std::string& path() const { return path_; }

    Error start(Stream& stream);
    void stop(Stream& stream); // returns once every kept frame is in the file and its header says so
    bool running() const { return running_; }

    // Frames kept so far (while recording, the ones still in the ring count too).
    std::int64_t frames() const;
    // Why the recording stopped being kept (RecordingDiskFull, RecordingWriteFailed, RecordingTooLarge,
    // RecordingFellBehind), or None while every frame captured is kept.
    Error failure() const { return static_cast<Error>(failure_.load(std::memory_order_acquire)); }

    // Writes the recording as a PCM WAV with the plain 44-byte header to `path`: first into a temporary
    // file in the same folder, then renamed over `path`, so a failure leaves nothing half-written and
    // an existing file untouched. Only while not recording. Once the save is on the disk, the
    // recording's file is named saved (see RecordingsFolder.h), so that a crash from then on leaves
    // nothing to recover; start() names it unsaved again before it records on.
    Error save(const std::string& path);

    // A new descriptor of the recording's file, opened for reading (for playing it back).
    int openForReading() const;

    void capture(const std::int16_t* in, std::size_t frames) override;

    // The left channel as it arrives, for a live view. capture() fills it; any one other thread reads it.
    const EnvelopeRing& envelope() const { return envelope_; }

private:
    void writeLoop();
    bool drain();
    void fail(Error reason);
    void writeHeader();

    int fd_ = -1;
    std::string path_;
    std::int64_t dataBytes_ = 0;      // written by the writer thread only, read when it is joined
    std::vector<std::int16_t> chunk_; // the writer thread's buffer
    SpscRing<std::int16_t> ring_;
    WorkerThread writer_;
    bool running_ = false;
    bool saved_ = false; // the file is named saved
    std::atomic<std::int64_t> captured_{0};
    std::atomic<std::int64_t> kept_; // frames in the file when writing failed; unbounded before
    std::atomic<std::int32_t> failure_{0};
    EnvelopeRing envelope_;
};

} // namespace pikota::sound
