// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A file whose overview the test holds back: it reads nothing until released, then 64 blocks at a time,
// each from -100 to 100, and counts what it reads. onReady runs once when the blocks are next taken: as if
// the overview moved on while they were drawn.

#include "track/LoadedFile.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace pikota::test {

class FakeLoadedFile final : public LoadedFile {
public:
    explicit FakeLoadedFile(std::int64_t frames, const QString& path = QStringLiteral("fake.wav"))
        : LoadedFile(path, {}, 44100, 1, frames, true) {}
    ~FakeLoadedFile() override {
        release();
        cancelOverview();
    }

    void release() { released_ = true; }
    std::int64_t framesRead() const { return read_.load(); }
    mutable std::function<void()> onReady;

    std::span<const SampleRange> ready() const override {
        const auto blocks = LoadedFile::ready();
        if (auto act = std::exchange(onReady, nullptr))
            act();
        return blocks;
    }

protected:
    std::int64_t rangesOfNext(std::span<SampleRange> blocks, std::int64_t first) override {
        while (!released_ && !overviewStopping())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        const std::int64_t n = std::min<std::int64_t>(64 * framesPerBlock(), frames() - first);
        for (std::int64_t f = first; f < first + n; f += framesPerBlock())
            blocks[static_cast<std::size_t>(f / framesPerBlock())].add({-100, 100});
        read_ += std::max<std::int64_t>(n, 0);
        return std::max<std::int64_t>(n, 0);
    }

private:
    std::atomic<bool> released_{false};
    std::atomic<std::int64_t> read_{0};
};

} // namespace pikota::test
