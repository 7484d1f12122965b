// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include <sys/types.h>

struct Track;

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

// Which file it is on the disk, and as it was when it was read: a file replaced or changed since is
// another one.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileIdentity&) const = default;
    static FileIdentity of(int fd);
    // The file at `path` now; no identity (all zero) when there is none.
    static FileIdentity at(const QString& path);
};

// A sound file that a track shows, whatever its format and length: what the drawing, the scope and a click
// go through. The WAV reader and the reader of every other format (libsndfile) each make their own.
//
// A file that fits the track's arrays (500001 frames) is drawn point by point and scoped from the arrays,
// as they hold it whole. A longer one is kept open for as long as the track shows it: what the scope shows
// is read from it at the frames asked for, and a thread of its own makes an overview of its first channel,
// the lowest and highest sample of each block of frames, from the start on, for the drawing. Only the
// overview is kept in memory, never the file. It reads the file it opened, so that a file replaced or
// deleted meanwhile still reads as the one that was loaded, and one cut short reads short.
class LoadedFile {
public:
    virtual ~LoadedFile();
    LoadedFile(const LoadedFile&) = delete;
    LoadedFile& operator=(const LoadedFile&) = delete;

    const QString& path() const { return path_; }
    std::int32_t rate() const { return rate_; }
    int channels() const { return channels_; }
    // Whether the track's arrays hold it whole.
    bool inArrays() const { return !overviewed_; }
    // The frames it holds. Where a header cannot be trusted, what was counted while decoding, once the
    // overview is finished; until then what the header says, or a guess.
    std::int64_t frames() const { return frames_.load(std::memory_order_acquire); }
    // The time label of a file longer than the arrays: its whole length.
    QString label() const;
    // Whether the file at its path is no longer the one read: replaced, changed or gone.
    bool changedOnDisk() const { return FileIdentity::at(path_) != identity_; }

    // The first channel of up to `count` frames from `first` on, as the track stores samples; how many
    // were read: fewer at the end of the file or where it now ends. A file that fits the arrays reads none.
    virtual std::size_t readFirstChannel(std::int64_t first, std::size_t count, std::int16_t* out) const;

    // The overview of a file longer than the arrays, made once from the start to the end in the
    // background (startOverview() again does nothing) and ended early by cancelOverview() or by the
    // destructor (either waits for its thread), or where the file can no longer be read. Blocks are
    // published from the first on: what has been shown never changes. Finished means made to the end;
    // a cancelled overview stays as far as it got and is not finished.
    void startOverview();
    void cancelOverview();
    bool overviewRunning() const;
    bool overviewFinished() const { return state_.load(std::memory_order_acquire) == State::Finished; }
    std::int64_t framesPerBlock() const { return framesPerBlock_; }
    virtual std::span<const SampleRange> ready() const {
        return {blocks_.data(), ready_.load(std::memory_order_acquire)};
    }
    // The share of the file the overview has been made of, 0 to 1.
    double progress() const;
    // How long the overview has been in the making, or took.
    double secondsSinceStart() const;

protected:
    // `frames` is the header's count, or a guess; `capacityFrames` the most the overview will hold (at
    // least `frames`). `counts` says whether the frames the overview reads are the file's length.
    LoadedFile(const QString& path, const FileIdentity& identity, std::int32_t rate, int channels,
               std::int64_t frames, bool overviewed, std::int64_t capacityFrames = 0, bool counts = false);

    // The overview's own read, on its thread: the ranges of the first channel of the frames that follow the
    // last read, added into the blocks (blocks[f / framesPerBlock] for frame f); the number of frames
    // read, 0 at the end of the data or where it can no longer be read.
    virtual std::int64_t rangesOfNext(std::span<SampleRange> blocks, std::int64_t firstFrame) = 0;
    // The blocks, for a reader that knows the ranges of the first frames before the thread starts.
    std::span<SampleRange> blocks() { return blocks_; }
    // Where the overview's thread starts reading: after frames already added into the blocks.
    void setOverviewStart(std::int64_t frame) { overviewStart_ = frame; }
    // For a read that may wait: whether the overview has been asked to end.
    bool overviewStopping() const { return builder_.get_stop_token().stop_requested(); }

private:
    enum class State { NotStarted, Running, Finished, Cancelled };
    void build(std::stop_token stop);

    const QString path_;
    const FileIdentity identity_;
    const std::int32_t rate_;
    const int channels_;
    const bool overviewed_;
    const bool counts_;
    std::atomic<std::int64_t> frames_;
    std::int64_t framesPerBlock_ = 0;
    std::vector<SampleRange> blocks_;
    std::int64_t overviewStart_ = 0;
    std::atomic<std::int64_t> done_{0}; // frames the overview has read
    std::atomic<std::size_t> ready_{0};
    std::atomic<State> state_{State::NotStarted};
    std::chrono::steady_clock::time_point started_;
    std::atomic<std::chrono::steady_clock::duration::rep> took_{-1};
    std::jthread builder_;
};

// A file that the track's arrays hold whole, as it was read: nothing of it is kept open.
std::unique_ptr<LoadedFile> FileInArrays(const QString& path, const FileIdentity& identity, std::int32_t rate,
                                         int channels, std::int64_t frames);

// The sample index at the right edge of the track's box: SampleLimit, or a long file's last frame.
std::int64_t RightEdge(const Track& track);
