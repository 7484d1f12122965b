// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "wave/SampleCoding.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <span>
#include <thread>
#include <vector>

// The lowest and highest sample of a stretch of sound; low above high when it holds none.
struct SampleRange {
    std::int16_t low = std::numeric_limits<std::int16_t>::max();
    std::int16_t high = std::numeric_limits<std::int16_t>::min();
    bool empty() const { return low > high; }
    void add(SampleRange r) {
        low = std::min(low, r.low);
        high = std::max(high, r.high);
    }
};

// A WAV file that is longer than a track's sample arrays, kept open for as long as the track shows it:
// what the scope shows is read from it at the frames asked for, and a thread of its own makes an
// overview of its first channel, the lowest and highest sample of each block of frames, from the start
// on, for the drawing. Only the overview is kept in memory, never the file.
//
// The file is read with pread on the descriptor opened when it was loaded: a file replaced meanwhile still
// reads as the one that was loaded, one deleted is still there to read, and one cut short reads short,
// never past its end.
class WaveSource {
public:
    // Takes the descriptor. The data starts at byte `dataStart` and holds `frames` whole frames.
    WaveSource(int fd, const SampleCoding& coding, std::int64_t dataStart, std::int64_t frames);
    ~WaveSource();
    WaveSource(const WaveSource&) = delete;
    WaveSource& operator=(const WaveSource&) = delete;

    std::int64_t frames() const { return frames_; }
    const SampleCoding& coding() const { return coding_; }

    // Decodes the first channel of up to `count` frames from `first` on into `out`, as DecodeChannel
    // does; returns how many were read: fewer at the end of the data or where the file now ends.
    std::size_t readFirstChannel(std::int64_t first, std::size_t count, std::int16_t* out) const;

    // The overview: begun by startOverview(), made from the start to the end in the background, and
    // ended early by cancelOverview() or by the destructor (either waits for the thread), or where the
    // file can no longer be read. Blocks are published from the first on: ready() grows and never changes
    // what it has shown.
    void startOverview();
    void cancelOverview();
    bool overviewFinished() const { return finished_.load(std::memory_order_acquire); }
    std::int64_t framesPerBlock() const { return framesPerBlock_; }
    std::span<const SampleRange> ready() const {
        return {blocks_.data(), ready_.load(std::memory_order_acquire)};
    }
    // The share of the blocks that are ready, 0 to 1.
    double progress() const;
    // How long the overview has been in the making, or took.
    double secondsSinceStart() const;

    // The track's time label once the file is read; kept here to be put back after progress was shown.
    QString label;

private:
    void build(std::stop_token stop);
    // Reads up to n bytes at pos; returns how many were read before the file ended or failed.
    std::size_t readAt(std::int64_t pos, unsigned char* dst, std::size_t n) const;

    const int fd_;
    const SampleCoding coding_;
    const std::int64_t dataStart_;
    const std::int64_t frames_;
    const std::int64_t framesPerBlock_;
    std::vector<SampleRange> blocks_;
    std::atomic<std::size_t> ready_{0};
    std::atomic<bool> finished_{false};
    std::chrono::steady_clock::time_point started_;
    std::atomic<std::chrono::steady_clock::duration::rep> took_{-1};
    std::jthread builder_;
};
