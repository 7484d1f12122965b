// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wave/WaveReader.h"

#include "platform/files/RegularFile.h"
#include "wave/WaveSource.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

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
        throw WaveFileError(what);
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

// The open WAV file. Headers and samples are read at absolute positions; bytes past the end of the file
// read as 0, which is also what a chunk header read beyond the end looks like. Closing happens in the
// destructor, so the file is closed on every path out of the reader, failures included.
class InputFile {
public:
    explicit InputFile(const QString& path) {
        // Taken only if it is a plain file (or a link to one): a named pipe would block the window.
        const auto opened = pikota::files::openRegularFile(QFile::encodeName(path).toStdString());
        switch (opened.failure) {
        case pikota::files::RegularFile::Failure::None:
            break;
        case pikota::files::RegularFile::Failure::NotFound:
            throw WaveFileError("file not found", WaveFileError::Problem::NotFound);
        case pikota::files::RegularFile::Failure::NotReadable:
            throw WaveFileError("cannot open file", WaveFileError::Problem::NotReadable);
        case pikota::files::RegularFile::Failure::NotRegular:
            throw WaveFileError("not a plain file", WaveFileError::Problem::NotAFile);
        }
        fd_ = opened.fd;
        struct stat info {};
        length_ = ::fstat(fd_, &info) == 0 ? info.st_size : 0;
    }
    ~InputFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    // The descriptor, now the caller's to close.
    int release() { return std::exchange(fd_, -1); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    qint64 length() const { return length_; }

    void readAt(qint64 pos, unsigned char* dst, qint64 n) {
        qint64 got = 0;
        const qint64 want = pos < length_ ? std::min(n, length_ - pos) : 0;
        while (got < want) {
            const ssize_t r = ::pread(fd_, dst + got, static_cast<std::size_t>(want - got), pos + got);
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r < 0) {
                throw WaveFileError("cannot read file", WaveFileError::Problem::NotReadable);
            }
            if (r == 0) {
                break; // the file got shorter: the rest reads as silence
            }
            got += r;
        }
        std::memset(dst + got, 0, static_cast<std::size_t>(n - got));
    }

private:
    int fd_ = -1;
    qint64 length_ = 0;
};

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
void ReadFrames(Track& track, InputFile& file, qint64 start, qint64 size) {
    const WaveFormat& format = track.waveFormat;
    if (format.nBlockAlign == 0) {
        throw WaveFileError("block alignment is 0");
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
    file.readAt(start, buffer.data(), static_cast<qint64>(count * frameBytes));

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

// The rest of a GUID of the extensible format chunk's subformats, after the format tag in its first two
// bytes.
constexpr unsigned char kSubformatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// The format body's length that holds the extensible format's subformat.
constexpr int kExtensibleBody = 40;

QString TagName(std::uint16_t tag) {
    const QString number =
        QStringLiteral("0x") + QString::number(tag, 16).rightJustified(4, QLatin1Char('0')).toUpper();
    const char* name = nullptr;
    switch (tag) {
    case 0x0002:
        name = "Microsoft ADPCM";
        break;
    case 0x0011:
        name = "IMA ADPCM";
        break;
    case 0x0031:
        name = "GSM 6.10";
        break;
    case 0x0050:
        name = "MPEG";
        break;
    case 0x0055:
        name = "MP3";
        break;
    default:
        return QStringLiteral("不明な形式（形式番号 %1）").arg(number);
    }
    return QStringLiteral("%1（形式番号 %2）").arg(QLatin1String(name), number);
}

[[noreturn]] void RefuseEncoding(const QString& encoding) {
    throw WaveFileError("encoding that cannot be drawn",
                        QStringLiteral("%1の WAV ファイルは、ピコタでは読み込めません。").arg(encoding));
}

[[noreturn]] void RefuseValues(const WaveFormat& f) {
    throw WaveFileError("format values contradict each other",
                        QStringLiteral("WAV ファイルの形式情報が矛盾しています（%1 ビット、%2 チャンネル、"
                                       "1 フレーム %3 バイト）。")
                            .arg(f.wBitsPerSample)
                            .arg(f.nChannels)
                            .arg(f.nBlockAlign));
}

// How the samples of a format lie. `body` is the format chunk's body as far as it was read (zeros past its
// declared size). Refuses, with a message that names it, what cannot be drawn.
SampleCoding Classify(const WaveFormat& f, const unsigned char* body, std::int64_t bodySize) {
    auto tag = static_cast<std::uint16_t>(f.wFormatTag);
    if (tag == 0xFFFE) {
        // The extensible format: the subformat's GUID names the encoding.
        if (bodySize < kExtensibleBody ||
            std::memcmp(body + 26, kSubformatGuidTail, sizeof kSubformatGuidTail) != 0)
            RefuseEncoding(QStringLiteral("副形式が不明な拡張形式（WAVE_FORMAT_EXTENSIBLE）"));
        tag = static_cast<std::uint16_t>(Int16At(body + 24));
    }
    SampleCoding c;
    if (tag == 1 && (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nChannels <= 2)
        return c; // as it always was read, whatever the other fields say
    c.plainPcm = false;
    const int bits = f.wBitsPerSample;
    const bool known = tag == 1 || tag == 3 || tag == 6 || tag == 7;
    if (!known)
        RefuseEncoding(TagName(tag));
    if (tag == 1 && bits > 32)
        RefuseEncoding(QStringLiteral("整数 PCM（%1 ビット）").arg(bits));
    if (tag == 3 && bits != 32 && bits != 64)
        RefuseEncoding(QStringLiteral("浮動小数点（%1 ビット）").arg(bits));
    if (f.nChannels < 1 || f.nBlockAlign < 1 || f.nBlockAlign % f.nChannels != 0)
        RefuseValues(f);
    c.channels = f.nChannels;
    c.frameBytes = f.nBlockAlign;
    c.bytes = f.nBlockAlign / f.nChannels;
    switch (tag) {
    case 1:
        if (bits < 1 || bits > 8 * c.bytes || c.bytes > 4)
            RefuseValues(f);
        c.kind = c.bytes == 1 ? SampleCoding::Kind::Unsigned8 : SampleCoding::Kind::Signed;
        break;
    case 3:
        if (8 * c.bytes != bits)
            RefuseValues(f);
        c.kind = SampleCoding::Kind::Float;
        break;
    default: // A-law and mu-law: 8-bit
        if (bits != 8 || c.bytes != 1)
            RefuseValues(f);
        c.kind = tag == 6 ? SampleCoding::Kind::ALaw : SampleCoding::Kind::MuLaw;
        break;
    }
    return c;
}

// One format chunk, whose header is at byte `header`: its record and how its samples lie. Refuses what
// cannot be drawn.
std::pair<WaveFormat, SampleCoding> ReadFormat(InputFile& file, std::int32_t header, std::int32_t size) {
    unsigned char body[kExtensibleBody] = {};
    // Only the first 16 bytes of the format body are its record; the extensible format's subformat
    // follows. Longer bodies are stepped over by size.
    const std::int32_t wanted = std::clamp<std::int32_t>(size, 16, kExtensibleBody);
    file.readAt(qint64{header} + 8, body, wanted);
    const WaveFormat format = DecodeFormat(body);
    return {format, Classify(format, body, size)};
}

// Walks the chunks from byte 12 on without gap or pad byte, the RIFF header never looked at, and hands
// each format chunk and then the first data chunk, by header position and declared size, to the callers;
// the walk ends there. The first header is read even when the file is not that long.
template <typename OnFormat, typename OnData>
void WalkChunks(InputFile& file, OnFormat onFormat, OnData onData) {
    const qint64 length = file.length();
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
            throw WaveFileError("chunk position overflow");
        }
        // A size of -8 or less would read the same header again or walk backwards, forever. Such a file
        // ends here as if it had no more chunks.
        if (next <= header) {
            break;
        }
        header = static_cast<std::int32_t>(next);
    } while (qint64{header} + 1 < length);
}

// The frames of another encoding into the arrays: the first channel to the left array, the second (if
// any) to the right one, frames 0..count-1 read in pieces.
void DecodeFrames(Track& track, InputFile& file, qint64 start, std::int64_t count) {
    const SampleCoding& c = track.Coding;
    constexpr std::int64_t kPieceFrames = 16384;
    std::vector<unsigned char>& buffer = BulkBuffer();
    for (std::int64_t at = 0; at < count; at += kPieceFrames) {
        const std::int64_t n = std::min(kPieceFrames, count - at);
        const auto bytes = static_cast<std::size_t>(n * c.frameBytes);
        if (buffer.size() < bytes)
            buffer.resize(bytes);
        file.readAt(start + at * c.frameBytes, buffer.data(), static_cast<qint64>(bytes));
        DecodeChannel(c, buffer.data(), static_cast<std::size_t>(n), 0, track.LeftSamples->data() + at);
        if (c.channels >= 2)
            DecodeChannel(c, buffer.data(), static_cast<std::size_t>(n), 1, track.RightSamples->data() + at);
    }
}

// How the samples of a plain 8- or 16-bit file lie, for reading beyond the arrays.
SampleCoding PlainLayout(const Track& track) {
    SampleCoding c;
    c.plainPcm = false;
    const bool eightBit = track.FullScale == 256;
    c.kind = eightBit ? SampleCoding::Kind::Unsigned8 : SampleCoding::Kind::Signed;
    c.bytes = eightBit ? 1 : 2;
    c.channels = std::max<int>(track.waveFormat.nChannels, 1);
    c.frameBytes = track.waveFormat.nBlockAlign;
    return c;
}

} // namespace

QString TimeLabelText(const Track& track, const QString& path) {
    return TimeLabelText(path, track.SampleLimit, track.waveFormat.nSamplesPerSec);
}

QString TimeLabelText(const QString& name, std::int64_t units, std::int32_t perSecond) {
    if (perSecond == 0) {
        throw WaveFileError("sample rate is 0");
    }
    // One decimal, halves upward.
    const double seconds = std::floor(static_cast<double>(units) / perSecond * 10.0 + 0.5) / 10.0;

    // The shortest text that reads back as the same number, never in exponent form and always with "."
    // (to_chars ignores the locale): 10 gives "10", 2.5 gives "2.5", 0.5 gives "0.5".
    char digits[64];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, seconds, std::chars_format::fixed);
    if (ec != std::errc()) {
        throw WaveFileError("length does not fit the label");
    }
    QString number = QString::fromLatin1(digits, end - digits);
    if (!number.startsWith(QLatin1Char('-'))) {
        number.prepend(QLatin1Char(' '));
    }

    const QChar ideographicSpace(0x3000);
    const QChar secondsMark(0x79D2); // 秒
    return name + ideographicSpace + ideographicSpace + number + secondsMark;
}

void ReadWaveFile(Track& track, const QString& path,
                  const std::function<void(const QString& label)>& setLabel) {
    InputFile file(path);
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
        track.Source.reset();
        const qint64 start = qint64{header} + 8;
        // A size larger than what the file holds (0xFFFFFFFF from a writer that streamed, or a copy cut
        // short) means what the file holds.
        const qint64 bytes = std::clamp<qint64>(file.length() - start, 0, static_cast<std::uint32_t>(size));
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
        if (frames <= kLastSampleIndex + 1 || layout.frameBytes < layout.bytes) {
            setLabel(TimeLabelText(track, path));
            return;
        }
        // Longer than the arrays: labelled with its whole length, and kept open to be drawn whole.
        const QString label = TimeLabelText(path, frames, track.waveFormat.nSamplesPerSec);
        auto source = std::make_shared<WaveSource>(file.release(), layout, start, frames);
        source->label = label;
        source->startOverview();
        track.Source = std::move(source);
        setLabel(label);
    };
    WalkChunks(file, onFormat, onData);
}

QString EncodingRefusal(const QString& path) {
    try {
        InputFile file(path);
        WalkChunks(
            file, [&](std::int32_t header, std::int32_t size) { ReadFormat(file, header, size); },
            [](std::int32_t, std::int32_t) {});
    } catch (const WaveFileError& error) {
        return error.message();
    }
    return {};
}
