// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/LoadedFile.h"

#include "track/TimeLabel.h"
#include "track/Track.h"

#include <QFile>

#include <sys/stat.h>

namespace {

// The overview keeps a block for every 256 frames (about 2.5 MB for an hour of 44.1 kHz), or for more
// frames in a file so long that a million blocks would not cover it.
constexpr std::int64_t kBlockFrames = 256;
constexpr std::int64_t kMostBlocks = std::int64_t{1} << 20;

std::int64_t BlockFramesFor(std::int64_t frames) {
    std::int64_t perBlock = kBlockFrames;
    while ((frames + perBlock - 1) / perBlock > kMostBlocks)
        perBlock *= 2;
    return perBlock;
}

FileIdentity IdentityOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size,
            std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec};
}

class ArrayFile final : public LoadedFile {
public:
    ArrayFile(const QString& path, const FileIdentity& identity, std::int32_t rate, int channels,
              std::int64_t frames)
        : LoadedFile(path, identity, rate, channels, frames, false) {}

protected:
    std::int64_t rangesOfNext(std::span<SampleRange>, std::int64_t) override { return 0; }
};

} // namespace

std::unique_ptr<LoadedFile> FileInArrays(const QString& path, const FileIdentity& identity, std::int32_t rate,
                                         int channels, std::int64_t frames) {
    return std::make_unique<ArrayFile>(path, identity, rate, channels, frames);
}

FileIdentity FileIdentity::of(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? IdentityOf(info) : FileIdentity{};
}

FileIdentity FileIdentity::at(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? IdentityOf(info) : FileIdentity{};
}

LoadedFile::LoadedFile(const QString& path, const FileIdentity& identity, std::int32_t rate, int channels,
                       std::int64_t frames, bool overviewed, std::int64_t capacityFrames, bool counts)
    : path_(path), identity_(identity), rate_(rate), channels_(channels), overviewed_(overviewed),
      counts_(counts), frames_(std::max<std::int64_t>(frames, 0)) {
    if (!overviewed_)
        return;
    const std::int64_t capacity = std::max(capacityFrames, frames_.load());
    framesPerBlock_ = BlockFramesFor(capacity);
    blocks_.resize(static_cast<std::size_t>((capacity + framesPerBlock_ - 1) / framesPerBlock_));
}

LoadedFile::~LoadedFile() { cancelOverview(); }

QString LoadedFile::label() const { return TimeLabelText(path_, frames(), rate_); }

std::size_t LoadedFile::readFirstChannel(std::int64_t, std::size_t, std::int16_t*) const { return 0; }

void LoadedFile::startOverview() {
    State expected = State::NotStarted;
    if (!overviewed_ || !state_.compare_exchange_strong(expected, State::Running))
        return;
    started_ = std::chrono::steady_clock::now();
    builder_ = std::jthread([this](std::stop_token stop) { build(stop); });
}

void LoadedFile::cancelOverview() {
    if (builder_.joinable()) {
        builder_.request_stop();
        builder_.join();
    }
    State running = State::Running;
    state_.compare_exchange_strong(running, State::Cancelled);
}

bool LoadedFile::overviewRunning() const { return state_.load(std::memory_order_acquire) == State::Running; }

double LoadedFile::progress() const {
    const auto total = static_cast<double>(std::max<std::int64_t>(frames(), 1));
    return std::min(1.0, static_cast<double>(overviewStart_ + done_.load()) / total);
}

double LoadedFile::secondsSinceStart() const {
    const auto took = took_.load();
    const auto elapsed =
        took >= 0 ? std::chrono::steady_clock::duration(took) : std::chrono::steady_clock::now() - started_;
    return std::chrono::duration<double>(elapsed).count();
}

void LoadedFile::build(std::stop_token stop) {
    const auto perBlock = static_cast<std::size_t>(framesPerBlock_);
    std::int64_t at = overviewStart_;
    while (!stop.stop_requested()) {
        const std::int64_t got = rangesOfNext(blocks_, at);
        if (got <= 0)
            break;
        at += got;
        done_.store(at - overviewStart_);
        // Whole blocks are published; the one being filled waits for the rest of its frames.
        ready_.store(std::min(static_cast<std::size_t>(at) / perBlock, blocks_.size()),
                     std::memory_order_release);
    }
    if (stop.stop_requested())
        return; // cancelled: cancelOverview() says so
    ready_.store(std::min((static_cast<std::size_t>(at) + perBlock - 1) / perBlock, blocks_.size()),
                 std::memory_order_release);
    if (counts_)
        frames_.store(at, std::memory_order_release);
    took_.store((std::chrono::steady_clock::now() - started_).count());
    state_.store(State::Finished, std::memory_order_release);
}

std::int64_t RightEdge(const Track& track) {
    return track.File && !track.File->inArrays() ? track.File->frames() - 1 : track.SampleLimit;
}

TrackSound::TrackSound() = default;
TrackSound::~TrackSound() = default;
TrackSound::TrackSound(TrackSound&&) noexcept = default;
TrackSound& TrackSound::operator=(TrackSound&&) noexcept = default;

void TrackSound::TakeFormatOf(const TrackSound& other) {
    waveFormat = other.waveFormat;
    FullScale = other.FullScale;
    Coding = other.Coding;
}
