#include "platform/sound/Recorder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pikota::sound {

static_assert(std::endian::native == std::endian::little, "samples are written in the machine's byte order");

namespace {

constexpr std::size_t kRingSamples = std::size_t{1} << 20; // 11.9 s of 44.1 kHz stereo
constexpr std::size_t kChunkSamples = 16384;
constexpr auto kWriterPeriod = std::chrono::seconds(2);
constexpr std::int64_t kBytesPerFrame = Recorder::kChannels * Recorder::kBits / 8;

bool writeAll(int fd, const void* data, std::size_t size, off_t offset) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = pwrite(fd, p, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

void put16(std::array<unsigned char, 44>& h, std::size_t at, std::uint32_t v) {
    h[at] = static_cast<unsigned char>(v & 0xff);
    h[at + 1] = static_cast<unsigned char>((v >> 8) & 0xff);
}
void put32(std::array<unsigned char, 44>& h, std::size_t at, std::uint32_t v) {
    put16(h, at, v & 0xffff);
    put16(h, at + 2, v >> 16);
}

std::array<unsigned char, 44> waveHeader(std::uint32_t dataBytes) {
    std::array<unsigned char, 44> h{};
    std::memcpy(&h[0], "RIFF", 4);
    put32(h, 4, 36 + dataBytes);
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

Recorder::Recorder() : chunk_(kChunkSamples), ring_(kRingSamples) {}

Recorder::~Recorder() {
    endWriter();
    if (fd_ >= 0)
        close(fd_);
}

Error Recorder::create() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && *tmp ? tmp : "/tmp";
    fd_ = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        // Filesystems without O_TMPFILE: a named file, unlinked at once.
        std::string name = folder + "/pikota-recording-XXXXXX";
        fd_ = mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0)
            unlink(name.c_str());
    }
    return fd_ >= 0 ? Error::None : Error::TempFileFailed;
}

Error Recorder::start(Stream& stream) {
    ring_.clear();
    quit_ = false;
    writer_ = std::thread([this] { writeLoop(); });
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
    endWriter(); // the writer drains what is left before it ends
    running_ = false;
}

void Recorder::endWriter() {
    {
        std::lock_guard lock(wakeMutex_);
        quit_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable())
        writer_.join();
}

void Recorder::capture(const std::int16_t* in, std::size_t frames) {
    // Whole frames only, so the ring never holds half a frame.
    const std::size_t fits = std::min(frames, ring_.writable() / kChannels);
    const std::size_t pushed = ring_.push(in, fits * kChannels) / kChannels;
    captured_.fetch_add(static_cast<std::int64_t>(pushed), std::memory_order_release);
    if (pushed < frames)
        lost_.fetch_add(static_cast<std::int64_t>(frames - pushed), std::memory_order_relaxed);
}

bool Recorder::drain() {
    std::vector<std::int16_t>& chunk = chunk_;
    bool any = false;
    for (;;) {
        const std::size_t n = ring_.pop(chunk.data(), chunk.size() - chunk.size() % kChannels);
        if (n == 0)
            return any;
        any = true;
        // Samples are little-endian in the file; this is a little-endian machine's layout already.
        if (!writeAll(fd_, chunk.data(), n * sizeof(std::int16_t), fileBytes_))
            writeFailed_ = true;
        else
            fileBytes_ += static_cast<std::int64_t>(n * sizeof(std::int16_t));
    }
}

void Recorder::writeLoop() {
    while (!quit_.load(std::memory_order_acquire)) {
        drain();
        std::unique_lock lock(wakeMutex_);
        wake_.wait_for(lock, kWriterPeriod, [this] { return quit_.load(std::memory_order_acquire); });
    }
    drain();
}

Error Recorder::save(const std::string& path) const {
    const std::int64_t dataBytes = std::min(frames() * kBytesPerFrame, fileBytes_);
    if (dataBytes > std::int64_t{0xFFFFFFFF} - 36)
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

    bool ok = writeAll(out, waveHeader(static_cast<std::uint32_t>(dataBytes)).data(), 44, 0);
    std::vector<char> buffer(1 << 16);
    for (std::int64_t done = 0; ok && done < dataBytes;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::int64_t>(buffer.size(), dataBytes - done));
        const ssize_t n = pread(fd_, buffer.data(), want, done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0 && writeAll(out, buffer.data(), static_cast<std::size_t>(n), 44 + done);
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
    return Error::None;
}

int Recorder::openForReading() const {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    return open(self.c_str(), O_RDONLY | O_CLOEXEC);
}

} // namespace pikota::sound
