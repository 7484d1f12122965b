// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/WavReader.h"

#include "track/InputFile.h"
#include "track/LoadedFile.h"
#include "track/ReadError.h"
#include "track/TimeLabel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

// The format body's length that holds the extensible format's subformat.
constexpr int kExtensibleBody = 40;

// The conversion every number of the format goes through on its way into a 32-bit field: to the nearest
// integer, halves to the even neighbour (50.5 gives 50, 51.5 gives 52), and a failure when it does not fit.
std::int32_t RoundToInt32(double x, const char* what) {
    const double below = std::floor(x);
    const double fraction = x - below; // exact for every finite double
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) {
        rounded = below + 1.0;
    }
    // NaN fails both comparisons, so test for the good range rather than the bad one.
    if (!(rounded >= kInt32Min && rounded <= kInt32Max)) {
        throw SoundFileError(what);
    }
    return static_cast<std::int32_t>(rounded);
}

std::int16_t Int16At(const unsigned char* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

std::int32_t Int32At(const unsigned char* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

// Whether the chunk id, taken as four characters of text, contains the given text anywhere. The narrow
// encoding is ASCII-compatible, so comparing the bytes finds exactly what a text search would find.
bool IdContains(const unsigned char* id, const char* text) {
    const std::size_t n = std::strlen(text);
    for (std::size_t at = 0; at + n <= 4; ++at) {
        if (std::memcmp(id + at, text, n) == 0) {
            return true;
        }
    }
    return false;
}

// The samples of a data chunk are read in one go into this buffer and decoded from memory. It is kept and
// reused, so a read allocates nothing once the buffer has reached its largest size (about 2 MB).
std::vector<unsigned char>& BulkBuffer() {
    thread_local std::vector<unsigned char> buffer;
    return buffer;
}

WaveFormat DecodeFormat(const unsigned char* r) {
    WaveFormat f;
    f.wFormatTag = Int16At(r);
    f.nChannels = Int16At(r + 2);
    f.nSamplesPerSec = Int32At(r + 4);
    f.nAvgBytesPerSec = Int32At(r + 8);
    f.nBlockAlign = Int16At(r + 12);
    f.wBitsPerSample = Int16At(r + 14);
    return f;
}

// The body of the first data chunk of 8- or 16-bit PCM, starting at byte start, size bytes long.
void ReadFrames(TrackSound& track, const InputFile& file, std::int64_t start, std::int64_t size) {
    const WaveFormat& format = track.waveFormat;
    if (format.nBlockAlign == 0) {
        throw SoundFileError("block alignment is 0");
    }
    // A size that is not a whole number of frames gives a fraction here; it is rounded only if it lowers
    // the limit, so a long file keeps the caller's 500000.
    const double frames = static_cast<double>(size) / format.nBlockAlign;
    if (track.SampleLimit > frames) {
        track.SampleLimit = RoundToInt32(frames, "frame count overflow");
    }
    // The arrays end at index 500000 whatever the caller left in SampleLimit.
    const std::int32_t last = std::min(track.SampleLimit, kLastSampleIndex);
    if (last < 0) {
        return;
    }

    // Frames are one sample (two when stereo) of one byte for 8-bit files and two bytes for everything
    // else, one after the other; the block alignment only counts them. Reading frames 0..last inclusive
    // takes one frame more than a chunk of whole frames holds, usually past the end of the file.
    const bool eightBit = track.FullScale == 256;
    const bool stereo = format.nChannels == 2;
    const std::size_t count = static_cast<std::size_t>(last) + 1;
    const std::size_t frameBytes = (eightBit ? 1 : 2) * (stereo ? 2 : 1);
    std::vector<unsigned char>& buffer = BulkBuffer();
    if (buffer.size() < count * frameBytes) {
        buffer.resize(count * frameBytes);
    }
    const unsigned char* in = buffer.data();
    file.readAt(start, buffer.data(), static_cast<std::int64_t>(count * frameBytes));

    std::int16_t* left = track.LeftSamples->data();
    std::int16_t* right = track.RightSamples->data();
    if (eightBit && stereo) {
        for (std::size_t i = 0; i < count; ++i) {
            left[i] = in[2 * i];
            right[i] = in[2 * i + 1];
        }
    } else if (eightBit) {
        for (std::size_t i = 0; i < count; ++i) {
            left[i] = in[i];
        }
    } else if (stereo) {
        for (std::size_t i = 0; i < count; ++i) {
            left[i] = Int16At(in + 4 * i);
            right[i] = Int16At(in + 4 * i + 2);
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            left[i] = Int16At(in + 2 * i);
        }
    }
}

// One format chunk, whose header is at byte `header`: its record and how its samples lie. Refuses what
// cannot be drawn.
std::pair<WaveFormat, SampleCoding> ReadFormat(const InputFile& file, std::int32_t header,
                                               std::int32_t size) {
    unsigned char body[kExtensibleBody] = {};
    // Only the first 16 bytes of the format body are its record; the extensible format's subformat
    // follows. Longer bodies are stepped over by size.
    const std::int32_t wanted = std::clamp<std::int32_t>(size, 16, kExtensibleBody);
    file.readAt(std::int64_t{header} + 8, body, wanted);
    const WaveFormat format = DecodeFormat(body);
    return {format, ClassifyWavFormat(format, body, size)};
}

// Walks the chunks from byte 12 on without gap or pad byte, the RIFF header never looked at, and hands
// each format chunk and then the first data chunk, by header position and declared size, to the callers;
// the walk ends there. The first header is read even when the file is not that long.
template <typename OnFormat, typename OnData>
void WalkChunks(const InputFile& file, OnFormat onFormat, OnData onData) {
    const std::int64_t length = file.length();
    std::int32_t header = 12;
    do {
        unsigned char chunk[8];
        file.readAt(header, chunk, sizeof chunk);
        const std::int32_t size = Int32At(chunk + 4);
        if (IdContains(chunk, "fmt"))
            onFormat(header, size);
        if (IdContains(chunk, "data")) {
            onData(header, size);
            return; // chunks after the first data chunk are never looked at
        }
        const std::int64_t next = std::int64_t{header} + size + 8;
        if (next > kInt32Max) {
            throw SoundFileError("chunk position overflow");
        }
        // A size of -8 or less would read the same header again or walk backwards, forever. Such a file
        // ends here as if it had no more chunks.
        if (next <= header) {
            break;
        }
        header = static_cast<std::int32_t>(next);
    } while (std::int64_t{header} + 1 < length);
}

// The frames of another encoding into the arrays: the first channel to the left array, the second (if
// any) to the right one, frames 0..count-1 read in pieces.
void DecodeFrames(TrackSound& track, const InputFile& file, std::int64_t start, std::int64_t count) {
    const SampleCoding& c = track.Coding;
    constexpr std::int64_t kPieceFrames = 16384;
    std::vector<unsigned char>& buffer = BulkBuffer();
    for (std::int64_t at = 0; at < count; at += kPieceFrames) {
        const std::int64_t n = std::min(kPieceFrames, count - at);
        const auto bytes = static_cast<std::size_t>(n * c.frameBytes);
        if (buffer.size() < bytes)
            buffer.resize(bytes);
        file.readAt(start + at * c.frameBytes, buffer.data(), static_cast<std::int64_t>(bytes));
        DecodeChannel(c, buffer.data(), static_cast<std::size_t>(n), 0, track.LeftSamples->data() + at);
        if (c.channels >= 2)
            DecodeChannel(c, buffer.data(), static_cast<std::size_t>(n), 1, track.RightSamples->data() + at);
    }
}

// How the samples of a plain 8- or 16-bit file lie, for reading beyond the arrays.
SampleCoding PlainLayout(const TrackSound& track) {
    SampleCoding c;
    c.plainPcm = false;
    const bool eightBit = track.FullScale == 256;
    c.kind = eightBit ? SampleCoding::Kind::Unsigned8 : SampleCoding::Kind::Signed;
    c.bytes = eightBit ? 1 : 2;
    c.channels = std::max<int>(track.waveFormat.nChannels, 1);
    c.frameBytes = track.waveFormat.nBlockAlign;
    return c;
}

// A WAV file longer than the arrays, read with pread on the descriptor opened when it was loaded.
class WavFile final : public LoadedFile {
public:
    // Takes the descriptor. The data starts at byte `dataStart` and holds `frames` whole frames.
    WavFile(const InputFile& file, int fd, const SampleCoding& coding, std::int32_t rate,
            std::int64_t dataStart, std::int64_t frames)
        : LoadedFile(file.path(), file.identity(), rate, coding.channels, frames, true), fd_(fd),
          coding_(coding), dataStart_(dataStart) {}
    ~WavFile() override {
        cancelOverview();
        ::close(fd_);
    }

    std::size_t readFirstChannel(std::int64_t first, std::size_t count, std::int16_t* out) const override {
        if (first < 0 || first >= frames())
            return 0;
        count = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(count), frames() - first));
        const auto frameBytes = static_cast<std::size_t>(coding_.frameBytes);
        const std::size_t perRead = std::max<std::size_t>(1, kScopeChunkBytes / frameBytes);
        thread_local std::vector<unsigned char> bytes;
        std::size_t done = 0;
        while (done < count) {
            const std::size_t want = std::min(perRead, count - done);
            bytes.resize(want * frameBytes);
            const std::int64_t at =
                dataStart_ + (first + static_cast<std::int64_t>(done)) * coding_.frameBytes;
            const std::size_t got = ReadAt(fd_, at, bytes.data(), want * frameBytes) / frameBytes;
            DecodeChannel(coding_, bytes.data(), got, 0, out + done);
            done += got;
            if (got < want)
                break;
        }
        return done;
    }

protected:
    std::int64_t rangesOfNext(std::span<SampleRange> blocks, std::int64_t firstFrame) override {
        const std::int64_t frameBytes = coding_.frameBytes;
        const std::int64_t perBlock = framesPerBlock();
        const std::int64_t chunkFrames =
            std::max<std::int64_t>(1, kChunkBytes / (perBlock * frameBytes)) * perBlock;
        const std::int64_t want = std::min(chunkFrames, frames() - firstFrame);
        if (want <= 0)
            return 0;
        chunk_.resize(static_cast<std::size_t>(want * frameBytes) + kRangePadding);
        const auto got = static_cast<std::int64_t>(
            ReadAt(fd_, dataStart_ + firstFrame * frameBytes, chunk_.data(), chunk_.size() - kRangePadding) /
            static_cast<std::size_t>(frameBytes));
        for (std::int64_t at = 0; at < got; at += perBlock) {
            const std::int64_t n = std::min(perBlock, got - at);
            blocks[static_cast<std::size_t>((firstFrame + at) / perBlock)].add(
                RangeOfFirstChannel(coding_, chunk_.data() + at * frameBytes, static_cast<std::size_t>(n)));
        }
        return got; // fewer than asked where the file now ends: the overview ends there
    }

private:
    // One read of the overview's thread: small enough to be looked at while it is still in the cache.
    static constexpr std::int64_t kChunkBytes = 256 * 1024;
    // The most one read of the scope takes at once.
    static constexpr std::size_t kScopeChunkBytes = 64 * 1024;

    const int fd_;
    const SampleCoding coding_;
    const std::int64_t dataStart_;
    std::vector<unsigned char> chunk_;
};

} // namespace

WavHeaders WalkWavHeaders(const InputFile& file) {
    WavHeaders found;
    try {
        WalkChunks(
            file,
            [&](std::int32_t header, std::int32_t size) {
                found.format = true;
                ReadFormat(file, header, size);
            },
            [&](std::int32_t, std::int32_t) { found.data = true; });
    } catch (const SoundFileError& error) {
        if (error.problem() == SoundFileError::Problem::Encoding)
            found.refusal = error.reason();
        else
            found.failed = true;
    }
    return found;
}

void ReadWav(TrackSound& track, InputFile& file, const std::function<void(const QString& label)>& setLabel) {
    const auto onFormat = [&](std::int32_t header, std::int32_t size) {
        const auto [format, coding] = ReadFormat(file, header, size);
        track.waveFormat = format;
        track.Coding = coding;
        if (coding.plainPcm)
            track.FullScale =
                RoundToInt32(std::ldexp(1.0, track.waveFormat.wBitsPerSample), "bits per sample overflow");
        else
            track.FullScale = coding.kind == SampleCoding::Kind::Unsigned8 ? 256 : 65536;
    };
    const auto onData = [&](std::int32_t header, std::int32_t size) {
        track.File.reset();
        const std::int64_t start = std::int64_t{header} + 8;
        // A size larger than what the file holds (0xFFFFFFFF from a writer that streamed, or a copy cut
        // short) means what the file holds.
        const std::int64_t bytes =
            std::clamp<std::int64_t>(file.length() - start, 0, static_cast<std::uint32_t>(size));
        const SampleCoding& coding = track.Coding;
        std::int64_t frames = 0; // whole frames in the file
        if (coding.plainPcm) {
            ReadFrames(track, file, start, bytes);
            frames = bytes / track.waveFormat.nBlockAlign; // not 0: ReadFrames refuses that
        } else {
            frames = bytes / coding.frameBytes;
            if (track.SampleLimit > frames)
                track.SampleLimit = static_cast<std::int32_t>(frames);
            DecodeFrames(track, file, start, std::min<std::int64_t>(frames, kLastSampleIndex + 1));
        }
        const SampleCoding layout = coding.plainPcm ? PlainLayout(track) : coding;
        const std::int32_t rate = track.waveFormat.nSamplesPerSec;
        if (frames <= kLastSampleIndex + 1 || layout.frameBytes < layout.bytes) {
            setLabel(TimeLabelText(track, file.path()));
            track.File = FileInArrays(file.path(), file.identity(), rate, layout.channels, frames);
            return;
        }
        // Longer than the arrays: labelled with its whole length, and kept open to be drawn whole.
        auto loaded = std::make_unique<WavFile>(file, file.release(), layout, rate, start, frames);
        const QString label = loaded->label();
        loaded->startOverview();
        track.File = std::move(loaded);
        setLabel(label);
    };
    WalkChunks(file, onFormat, onData);
}
