#pragma once

#include "platform/sound/Engine.h"
#include "platform/sound/SpscRing.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pikota::sound {

// A new recording: the audio callback copies frames into a lock-free ring, and a writer thread appends
// them to a private temporary file (created unlinked, so it disappears with the process whatever
// happens). Memory stays the same for any length of recording, and a window that is busy for seconds
// loses nothing. The ring holds about 12 s; the writer empties it every two seconds (and at the end).
class Recorder final : public InputSink {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;
    static constexpr int kBits = 16;

    Recorder();
    ~Recorder() override;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Creates the temporary file; must succeed before anything else is used.
    Error create();

    Error start(Stream& stream);
    void stop(Stream& stream); // returns once every captured frame is in the temporary file
    bool running() const { return running_; }

    // Frames captured so far (while recording, the ones still in the ring count too).
    std::int64_t frames() const { return captured_.load(std::memory_order_acquire); }
    // Frames that did not fit into the ring (the writer fell more than the ring's length behind).
    std::int64_t lost() const { return lost_.load(std::memory_order_relaxed); }

    // Writes the recording as a PCM WAV with the plain 44-byte header to `path`: first into a temporary
    // file in the same folder, then renamed over `path`, so a failure leaves nothing half-written and
    // an existing file untouched. Only while not recording.
    Error save(const std::string& path) const;

    // A new descriptor of the temporary file, opened for reading (for playing the recording back).
    int openForReading() const;

    void capture(const std::int16_t* in, std::size_t frames) override;

private:
    void writeLoop();
    bool drain();
    void endWriter();

    int fd_ = -1;
    std::int64_t fileBytes_ = 0;      // written by the writer thread only, read when it is joined
    std::vector<std::int16_t> chunk_; // the writer thread's buffer
    SpscRing<std::int16_t> ring_;
    std::thread writer_;
    std::atomic<bool> quit_{false};
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::atomic<bool> writeFailed_{false};
    bool running_ = false;
    std::atomic<std::int64_t> captured_{0};
    std::atomic<std::int64_t> lost_{0};
};

} // namespace pikota::sound
