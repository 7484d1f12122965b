// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/Recorder.h"

#include "platform/sound/RecordingsFolder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pikota::sound {

static_assert(std::endian::native == std::endian::little, "samples are written in the machine's byte order");

namespace {

constexpr std::size_t kRingSamples = std::size_t{1} << 20; // 11.9 s of 44.1 kHz stereo
constexpr std::size_t kChunkSamples = 16384;
constexpr std::int64_t kBytesPerFrame = Recorder::kChannels * Recorder::kBits / 8;
// The plain PCM WAV header, and what of it the RIFF chunk's size counts: all but the chunk's id and size.
constexpr std::int64_t kHeaderBytes = 44;
constexpr std::int64_t kRiffCountedHeaderBytes = kHeaderBytes - 8;
using WaveHeader = std::array<unsigned char, kHeaderBytes>;
// The most data a WAV file can describe, in whole frames.
constexpr std::int64_t kMostDataBytes =
    (std::int64_t{0xFFFFFFFF} - kRiffCountedHeaderBytes) / kBytesPerFrame * kBytesPerFrame;
// How often the writer empties the ring, brings the header up to date and flushes the file to the disk.
constexpr auto kWriterPeriod = std::chrono::seconds(1);

// Writes as much as it can; the bytes written, with `error` set when that is not all.
std::size_t writeSome(int fd, const void* data, std::size_t size, off_t offset, int& error) {
    const char* p = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, p + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool writeAll(int fd, const void* data, std::size_t size, off_t offset) {
    int error = 0;
    return writeSome(fd, data, size, offset, error) == size;
}

Error writeFailure(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return Error::RecordingDiskFull;
    case EFBIG:
        return Error::RecordingTooLarge;
    default:
        return Error::RecordingWriteFailed;
    }
}

void put16(WaveHeader& h, std::size_t at, std::uint32_t v) {
    h[at] = static_cast<unsigned char>(v & 0xff);
    h[at + 1] = static_cast<unsigned char>((v >> 8) & 0xff);
}
void put32(WaveHeader& h, std::size_t at, std::uint32_t v) {
    put16(h, at, v & 0xffff);
    put16(h, at + 2, v >> 16);
}

WaveHeader waveHeader(std::uint32_t dataBytes) {
    WaveHeader h{};
    std::memcpy(&h[0], "RIFF", 4);
    put32(h, 4, static_cast<std::uint32_t>(kRiffCountedHeaderBytes) + dataBytes);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    put32(h, 16, 16);
    put16(h, 20, 1); // PCM
    put16(h, 22, Recorder::kChannels);
    put32(h, 24, Recorder::kRate);
    put32(h, 28, Recorder::kRate * kBytesPerFrame);
    put16(h, 32, static_cast<std::uint32_t>(kBytesPerFrame));
    put16(h, 34, Recorder::kBits);
    std::memcpy(&h[36], "data", 4);
    put32(h, 40, dataBytes);
    return h;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Brings the folder's names to the disk: a rename in it survives a power cut once this is done.
bool syncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

Error folderError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Error::SaveFolderMissing;
    case EACCES:
    case EPERM:
    case EROFS:
        return Error::SaveFolderNotWritable;
    default:
        return Error::SaveWriteFailed;
    }
}

} // namespace

Recorder::Recorder()
    : chunk_(kChunkSamples), ring_(kRingSamples), kept_(std::numeric_limits<std::int64_t>::max()) {}

Recorder::~Recorder() {
    writer_.stop();
    if (fd_ >= 0) {
        // Discarded: the recording goes with its recorder. Only a crash leaves it behind.
        removeRecording(fd_, path_);
        close(fd_);
    }
}

Error Recorder::create() {
    fd_ = createRecordingFile(path_);
    if (fd_ < 0)
        return Error::RecordingFileFailed;
    if (!writeAll(fd_, waveHeader(0).data(), kHeaderBytes, 0)) {
        removeRecording(fd_, path_);
        close(fd_);
        fd_ = -1;
        return Error::RecordingFileFailed;
    }
    return Error::None;
}

std::int64_t Recorder::frames() const {
    return std::min(captured_.load(std::memory_order_acquire), kept_.load(std::memory_order_acquire));
}

Error Recorder::start(Stream& stream) {
    if (failure() != Error::None)
        return failure(); // a recording with a hole in it is never continued
    if (saved_) {
        // What comes now is in no save: the file's name says so again, on the disk, before anything
        // is recorded, or a crash would leave it to be cleared away as saved.
        if (!markUnsaved(fd_, path_) || !syncFolder(folderOf(path_)))
            return Error::RecordingFileFailed;
        saved_ = false;
    }
    ring_.clear();
    writer_.start([this] { writeLoop(); });
    running_ = true;
    const Error error = stream.start();
    if (error != Error::None)
        stop(stream);
    return error;
}

void Recorder::stop(Stream& stream) {
    if (!running_)
        return;
    stream.stop();
    writer_.stop(); // the writer drains what is left before it ends
    running_ = false;
}

void Recorder::fail(Error reason) {
    std::int32_t none = 0;
    failure_.compare_exchange_strong(none, static_cast<std::int32_t>(reason), std::memory_order_acq_rel);
}

void Recorder::capture(const std::int16_t* in, std::size_t frames) {
    if (failure() != Error::None)
        return;
    // Whole frames only, so the ring never holds half a frame.
    const std::size_t fits = std::min(frames, ring_.writable() / kChannels);
    const std::size_t pushed = ring_.push(in, fits * kChannels) / kChannels;
    captured_.fetch_add(static_cast<std::int64_t>(pushed), std::memory_order_release);
    envelope_.add(in, pushed, kChannels);
    if (pushed < frames)
        fail(Error::RecordingFellBehind); // what came before is kept; a hole is never recorded over
}

void Recorder::writeHeader() {
    // A header that cannot be written leaves the data as it is; saving reads the data, not the header.
    writeAll(fd_, waveHeader(static_cast<std::uint32_t>(dataBytes_)).data(), kHeaderBytes, 0);
    fdatasync(fd_);
}

bool Recorder::drain() {
    std::vector<std::int16_t>& chunk = chunk_;
    bool any = false;
    for (;;) {
        const std::size_t n = ring_.pop(chunk.data(), chunk.size() - chunk.size() % kChannels);
        if (n == 0 || kept_.load(std::memory_order_relaxed) != std::numeric_limits<std::int64_t>::max())
            return any;
        any = true;
        // Samples are little-endian in the file; this is a little-endian machine's layout already.
        std::size_t bytes = n * sizeof(std::int16_t);
        bool tooLarge = false;
        if (dataBytes_ + static_cast<std::int64_t>(bytes) > kMostDataBytes) {
            bytes = static_cast<std::size_t>(kMostDataBytes - dataBytes_);
            tooLarge = true;
        }
        int error = 0;
        const std::size_t written = writeSome(fd_, chunk.data(), bytes, kHeaderBytes + dataBytes_, error);
        dataBytes_ += static_cast<std::int64_t>(written) / kBytesPerFrame * kBytesPerFrame;
        if (written < bytes || tooLarge) {
            // Stop at the last whole frame written; nothing after it is captured any more.
            fail(tooLarge ? Error::RecordingTooLarge : writeFailure(error));
            kept_.store(dataBytes_ / kBytesPerFrame, std::memory_order_release);
            writeHeader();
            return any;
        }
    }
}

void Recorder::writeLoop() {
    // Once a second: what the ring holds goes to the file, and the header counts it.
    while (!writer_.stopping()) {
        if (drain())
            writeHeader();
        writer_.sleepFor(kWriterPeriod);
    }
    drain();
    writeHeader();
}

Error Recorder::save(const std::string& path) {
    const std::int64_t dataBytes = std::min(frames() * kBytesPerFrame, dataBytes_);
    if (dataBytes > kMostDataBytes)
        return Error::SaveTooLong;

    struct stat target {};
    if (stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
        return Error::SaveTargetIsFolder;
    const std::string folder = folderOf(path);
    struct stat folderStat {};
    if (stat(folder.c_str(), &folderStat) != 0)
        return folderError(errno);
    if (!S_ISDIR(folderStat.st_mode))
        return Error::SaveFolderMissing;

    // The new file is made with the usual permissions (0666 less the umask), under a name nobody uses.
    std::random_device random;
    std::string temp;
    int out = -1;
    for (int attempt = 0; attempt < 16 && out < 0; ++attempt) {
        temp = folder + "/.pikota-save-" + std::to_string(random()) + ".tmp";
        out = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out < 0 && errno != EEXIST)
            return folderError(errno);
    }
    if (out < 0)
        return Error::SaveWriteFailed;

    bool ok = writeAll(out, waveHeader(static_cast<std::uint32_t>(dataBytes)).data(), kHeaderBytes, 0);
    std::vector<char> buffer(1 << 16);
    for (std::int64_t done = 0; ok && done < dataBytes;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::int64_t>(buffer.size(), dataBytes - done));
        const ssize_t n = pread(fd_, buffer.data(), want, kHeaderBytes + done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0 && writeAll(out, buffer.data(), static_cast<std::size_t>(n), kHeaderBytes + done);
        done += n > 0 ? n : 0;
    }
    ok = ok && fsync(out) == 0;
    ok = close(out) == 0 && ok;
    if (!ok) {
        unlink(temp.c_str());
        return Error::SaveWriteFailed;
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        return error == EISDIR ? Error::SaveTargetIsFolder : folderError(error);
    }
    // The recording's file is named saved only once the save's own name is on the disk: a crash must
    // never leave a recording named saved beside a save that was lost. If that cannot be made sure, the
    // save stands and the recording stays unsaved.
    if (!saved_ && syncFolder(folder))
        saved_ = markSaved(fd_, path_);
    return Error::None;
}

int Recorder::openForReading() const {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_); // the file even if it was moved
    return open(self.c_str(), O_RDONLY | O_CLOEXEC);
}

} // namespace pikota::sound
