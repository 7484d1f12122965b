// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <sndfile.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>

namespace pikota::sound {

// A descriptor of an open file, closed with the last handle that reads it.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return fd_; }

private:
    const int fd_;
};

struct SoundFilePlace;

// A sound file read through libsndfile from a descriptor that any number of handles share: each reads with
// pread at a place of its own, so that one can decode from the start on a thread while another seeks to
// the frames being shown, and a file replaced or deleted meanwhile still reads as the one opened.
class SoundFileHandle {
public:
    // A handle at the start of the file, or null when libsndfile cannot read it; then `error` holds
    // libsndfile's code (SF_ERR_UNRECOGNISED_FORMAT for a file it does not know at all) and `why` its words.
    static std::unique_ptr<SoundFileHandle> open(std::shared_ptr<const Descriptor> fd, int* error = nullptr,
                                                 std::string* why = nullptr);
    ~SoundFileHandle();
    SoundFileHandle(const SoundFileHandle&) = delete;
    SoundFileHandle& operator=(const SoundFileHandle&) = delete;

    SNDFILE* get() const { return file_; }
    const SF_INFO& info() const { return info_; }
    // The descriptor it reads.
    int fd() const;
    // How far into the file libsndfile has read, in bytes.
    std::int64_t bytesRead() const;
    // Another handle of the same file, at its start; null if it cannot be opened again.
    std::unique_ptr<SoundFileHandle> another() const;
    // Whether the header's frame count can be wrong: libsndfile 1.2.0 estimates an MP3 file's length from
    // its size when no frame count is written in it (cover art counts as sound then), and the header of a
    // compressed file cut short still says how long it was. The frames it holds are then only known by
    // decoding them; libsndfile never decodes past the count it gave, so the count is at most that.
    bool countUntrusted() const;

private:
    SoundFileHandle();

    std::unique_ptr<SoundFilePlace> place_; // where libsndfile reads
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
};

// Decodes the file from where the handle stands to its end or to the first error, and says how many frames
// that was; `counted` (if given) is told the count as it grows. Stops early, returning -1, when asked to.
std::int64_t countFrames(SoundFileHandle& handle, std::atomic<std::int64_t>* counted = nullptr,
                         std::stop_token stop = {});

} // namespace pikota::sound
