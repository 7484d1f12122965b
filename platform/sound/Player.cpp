// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/Player.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pikota::sound {

namespace {
constexpr std::size_t kReadFrames = 8192;   // at most, per read
constexpr std::size_t kMinReadFrames = 512; // a read waits until the ring has room for this much
// How often the reader looks at the ring; the ring holds more than a second.
constexpr auto kReaderPeriod = std::chrono::milliseconds(250);

std::size_t ringFrames(int rate) { return static_cast<std::size_t>(std::max(rate, 8000)); } // about 1 s

// The frames of the files counted so far, by what each file is on the disk, so that a file played again is
// not counted again: the last few.
class Counts {
public:
    struct Key {
        dev_t device;
        ino_t inode;
        off_t size;
        std::int64_t modified;
        bool operator==(const Key&) const = default;
    };
    static std::optional<Key> keyOf(int fd) {
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0)
            return std::nullopt;
        return Key{info.st_dev, info.st_ino, info.st_size,
                   std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec};
    }
    std::optional<std::int64_t> find(const Key& key) {
        std::lock_guard lock(mutex_);
        for (const auto& [k, frames] : counted_)
            if (k == key)
                return frames;
        return std::nullopt;
    }
    void keep(const Key& key, std::int64_t frames) {
        std::lock_guard lock(mutex_);
        if (counted_.size() == kKept)
            counted_.erase(counted_.begin());
        counted_.emplace_back(key, frames);
    }

private:
    static constexpr std::size_t kKept = 16;
    std::mutex mutex_;
    std::vector<std::pair<Key, std::int64_t>> counted_;
};

Counts& counts() {
    static Counts instance;
    return instance;
}

} // namespace

Player::Player(std::unique_ptr<SoundFileHandle> file, int rate, int channels, std::int64_t frames)
    : file_(std::move(file)), rate_(rate), channels_(channels), frames_(frames),
      ring_(ringFrames(rate) * kOutputChannels) {
    if (!file_->countUntrusted())
        return;
    const auto key = Counts::keyOf(file_->fd());
    if (const auto known = key ? counts().find(*key) : std::nullopt) {
        frames_ = *known;
        return;
    }
    lengthUnknown_ = frames_.load() <= 0 || frames_.load() == SF_COUNT_MAX;
    std::shared_ptr<SoundFileHandle> other = file_->another();
    if (!other)
        return;
    counter_ = std::jthread([this, other, key](std::stop_token stop) {
        // Behind everything else the machine does: the sound must not wait for it.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
        const std::int64_t counted = countFrames(*other, &counted_, stop);
        if (counted < 0)
            return;
        frames_ = counted;
        lengthUnknown_ = false;
        if (key)
            counts().keep(*key, counted);
    });
}

Player::~Player() {
    counter_.request_stop();
    if (counter_.joinable())
        counter_.join();
    reader_.stop();
}

std::int64_t Player::frames() const {
    if (!lengthUnknown_)
        return frames_.load();
    return std::max(counted_.load(), lastHeard_) + rate_;
}

Error Player::start(Stream& stream, std::int64_t frame) {
    ring_.clear();
    eof_ = false;
    startFrame_ = lastHeard_ = frame;
    ended_ = false;
    sequence_ = 0;
    bufferFrame_ = -1;
    delivered_ = frame;
    if (sf_seek(file_->get(), frame, SEEK_SET) < 0) {
        frames_ = std::min(frames_.load(), frame);
        eof_ = true;
    }
    // The stream asks for its whole buffer at once when it starts: fill the ring before.
    {
        std::vector<float> in, out;
        while (!eof_.load() && ring_.writable() / kOutputChannels >= kMinReadFrames && readSome(in, out)) {
        }
    }
    reader_.start([this] { readLoop(); });
    running_ = true;
    const Error error = stream.start();
    if (error != Error::None) {
        reader_.stop();
        running_ = false;
    }
    return error;
}

std::int64_t Player::stop(Stream& stream) {
    if (!running_)
        return lastHeard_;
    // Stopped first: what the stream has already handed on is still heard and counts.
    stream.stop();
    const std::int64_t frame = heard(stream);
    reader_.stop();
    running_ = false;
    return frame;
}

std::int64_t Player::heard(const Stream& stream) {
    if (!running_)
        return lastHeard_;
    std::int64_t bufferFrame = 0;
    std::int64_t delivered = 0;
    double dac = 0;
    for (;;) {
        // Sequentially consistent throughout: a handful of loads per status query, and no fences.
        const std::uint64_t before = sequence_.load();
        if (before & 1)
            continue;
        bufferFrame = bufferFrame_.load();
        dac = bufferDac_.load();
        delivered = delivered_.load();
        if (sequence_.load() == before)
            break;
    }
    if (bufferFrame < 0)
        return lastHeard_;
    // A tiny epsilon keeps exact virtual times from landing a hair below a whole frame.
    const double since = (stream.time() - dac) * rate_;
    std::int64_t frame = bufferFrame + static_cast<std::int64_t>(std::floor(since + 1e-6));
    frame = std::clamp(frame, startFrame_, delivered);
    lastHeard_ = std::max(lastHeard_, frame);
    // The reader corrects the length before it flags the end of the data, so this sees the true length.
    if (eof_.load(std::memory_order_acquire) && lastHeard_ >= frames_.load())
        ended_ = true;
    return lastHeard_;
}

void Player::render(float* out, std::size_t frames, double dacTime, bool realtime) {
    const std::size_t wanted = frames * kOutputChannels;
    if (!realtime) {
        // Nobody is waiting on a real device: let the reader catch up so the result is exact.
        while (ring_.readable() < wanted && !eof_.load(std::memory_order_acquire)) {
            reader_.wake();
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    const std::size_t got = ring_.pop(out, wanted);
    std::fill(out + got, out + wanted, 0.0f);

    // Published under a sequence counter (odd while writing) for heard() on the command thread.
    const std::int64_t delivered = delivered_.load(std::memory_order_relaxed);
    const std::uint64_t seq = sequence_.load(std::memory_order_relaxed);
    sequence_.store(seq + 1);
    if (got > 0 || bufferFrame_.load(std::memory_order_relaxed) < 0) {
        bufferFrame_.store(delivered);
        bufferDac_.store(dacTime);
    }
    delivered_.store(delivered + static_cast<std::int64_t>(got / kOutputChannels));
    sequence_.store(seq + 2);
}

void Player::readLoop() {
    std::vector<float> in, out;
    const auto roomForMore = [this] { return ring_.writable() >= ring_.capacity() / 4; };
    while (!reader_.stopping()) {
        // Tops the ring up once a quarter of it has been played, then sleeps.
        if (roomForMore()) {
            while (!reader_.stopping() && ring_.writable() / kOutputChannels >= kMinReadFrames)
                if (!readSome(in, out))
                    return;
        }
        reader_.sleepFor(kReaderPeriod, roomForMore);
    }
}

bool Player::readSome(std::vector<float>& in, std::vector<float>& out) {
    in.resize(kReadFrames * static_cast<std::size_t>(channels_));
    out.resize(kReadFrames * kOutputChannels);
    const std::size_t room = ring_.writable() / kOutputChannels;
    const sf_count_t n =
        sf_readf_float(file_->get(), in.data(), static_cast<sf_count_t>(std::min(room, kReadFrames)));
    if (n <= 0) {
        // The end of the data decides the length, whatever the header promised.
        const sf_count_t end = sf_seek(file_->get(), 0, SEEK_CUR);
        if (end >= 0) {
            frames_ = end;
            lengthUnknown_ = false;
        }
        eof_.store(true, std::memory_order_release);
        return false;
    }
    for (sf_count_t f = 0; f < n; ++f) {
        const float* frame = &in[static_cast<std::size_t>(f * channels_)];
        // One channel goes to both sides; of more than two, the first two are played.
        out[f * 2] = frame[0];
        out[f * 2 + 1] = channels_ > 1 ? frame[1] : frame[0];
    }
    ring_.push(out.data(), static_cast<std::size_t>(n) * kOutputChannels);
    return true;
}

} // namespace pikota::sound
