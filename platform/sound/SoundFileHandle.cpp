// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/SoundFileHandle.h"

#include <cerrno>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace pikota::sound {

// A handle's place in the file it shares.
struct SoundFilePlace {
    std::shared_ptr<const Descriptor> fd;
    sf_count_t length = 0;
    sf_count_t offset = 0;
};

namespace {

// libsndfile's view of the file: reads at the handle's own place, with pread, on the shared descriptor.
struct PlaceIo {
    using Place = SoundFilePlace;
    static sf_count_t length(void* place) { return static_cast<Place*>(place)->length; }
    static sf_count_t seek(sf_count_t offset, int whence, void* user) {
        Place& p = *static_cast<Place*>(user);
        const sf_count_t base = whence == SEEK_CUR ? p.offset : whence == SEEK_END ? p.length : 0;
        if (base + offset < 0)
            return -1;
        p.offset = base + offset;
        return p.offset;
    }
    static sf_count_t read(void* buffer, sf_count_t count, void* user) {
        Place& p = *static_cast<Place*>(user);
        sf_count_t got = 0;
        while (got < count) {
            const ssize_t r = ::pread(p.fd->fd(), static_cast<char*>(buffer) + got,
                                      static_cast<std::size_t>(count - got), p.offset + got);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break; // the end of the file as it is now, or a file that can no longer be read
            got += r;
        }
        p.offset += got;
        return got;
    }
    static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t tell(void* user) { return static_cast<Place*>(user)->offset; }
};

} // namespace

Descriptor::~Descriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::unique_ptr<SoundFileHandle> SoundFileHandle::open(std::shared_ptr<const Descriptor> fd, int* error,
                                                       std::string* why) {
    std::unique_ptr<SoundFileHandle> handle(new SoundFileHandle);
    struct stat info {};
    const sf_count_t length = fd && ::fstat(fd->fd(), &info) == 0 ? info.st_size : 0;
    handle->place_ = std::make_unique<SoundFilePlace>(SoundFilePlace{std::move(fd), length, 0});
    SF_VIRTUAL_IO io{&PlaceIo::length, &PlaceIo::seek, &PlaceIo::read, &PlaceIo::write, &PlaceIo::tell};
    handle->file_ = sf_open_virtual(&io, SFM_READ, &handle->info_, handle->place_.get());
    if (!handle->file_) {
        if (error)
            *error = sf_error(nullptr);
        if (why)
            *why = sf_strerror(nullptr);
        return nullptr;
    }
    // Samples beyond full scale (a float file, an MP3 decoded loud) are clipped, not wrapped round.
    sf_command(handle->file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return handle;
}

SoundFileHandle::SoundFileHandle() = default;

SoundFileHandle::~SoundFileHandle() {
    if (file_)
        sf_close(file_);
}

int SoundFileHandle::fd() const { return place_->fd ? place_->fd->fd() : -1; }

std::int64_t SoundFileHandle::bytesRead() const { return place_->offset; }

std::unique_ptr<SoundFileHandle> SoundFileHandle::another() const { return open(place_->fd); }

bool SoundFileHandle::countUntrusted() const {
    if (info_.frames <= 0 || info_.frames == SF_COUNT_MAX ||
        (info_.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC)
        return true;
    switch (info_.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III:
    case SF_FORMAT_ALAC_16:
    case SF_FORMAT_ALAC_20:
    case SF_FORMAT_ALAC_24:
    case SF_FORMAT_ALAC_32:
        return true;
    default:
        return false;
    }
}

std::int64_t countFrames(SoundFileHandle& handle, std::atomic<std::int64_t>* counted, std::stop_token stop) {
    constexpr sf_count_t kPiece = 8192;
    std::vector<float> piece(static_cast<std::size_t>(kPiece * handle.info().channels));
    std::int64_t frames = 0;
    for (;;) {
        if (stop.stop_requested())
            return -1;
        const sf_count_t got = sf_readf_float(handle.get(), piece.data(), kPiece);
        if (got <= 0)
            return frames;
        frames += got;
        if (counted)
            counted->store(frames);
    }
}

} // namespace pikota::sound
