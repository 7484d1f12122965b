// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wave/WaveSource.h"

#include "wave/Track.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The overview keeps a block for every 256 frames (about 2.5 MB for an hour of 44.1 kHz), or for more
// frames in a file so long that a million blocks would not cover it.
constexpr std::int64_t kBlockFrames = 256;
constexpr std::int64_t kMostBlocks = std::int64_t{1} << 20;
// One read of the overview's thread: small enough to be looked at while it is still in the cache.
constexpr std::int64_t kChunkBytes = 256 * 1024;
// The most one read of the scope takes at once.
constexpr std::size_t kScopeChunkBytes = 64 * 1024;

std::int64_t BlockFramesFor(std::int64_t frames) {
    std::int64_t perBlock = kBlockFrames;
    while ((frames + perBlock - 1) / perBlock > kMostBlocks)
        perBlock *= 2;
    return perBlock;
}

std::uint32_t UInt32At(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The top 16 bits of a little-endian signed integer of `bytes` bytes.
std::int16_t Top16(const unsigned char* p, int bytes) {
    if (bytes == 1)
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] << 8));
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[bytes - 2] | (p[bytes - 1] << 8)));
}

std::int16_t FromFloat(double x) {
    if (std::isnan(x))
        return 0;
    return static_cast<std::int16_t>(std::lrint(std::clamp(x * 32768.0, -32768.0, 32767.0)));
}

float FloatAt(const unsigned char* p) { return std::bit_cast<float>(UInt32At(p)); }

double DoubleAt(const unsigned char* p) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(UInt32At(p)) |
                                 (static_cast<std::uint64_t>(UInt32At(p + 4)) << 32));
}

// G.711 expansions to 16-bit linear samples.
std::int16_t FromMuLaw(unsigned char byte) {
    const int u = ~byte & 0xFF;
    const int t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4);
    return static_cast<std::int16_t>((u & 0x80) ? 0x84 - t : t - 0x84);
}

std::int16_t FromALaw(unsigned char byte) {
    const int a = byte ^ 0x55;
    const int segment = (a & 0x70) >> 4;
    int t = (a & 0x0F) << 4;
    if (segment == 0) {
        t += 8;
    } else {
        t += 0x108;
        if (segment > 1)
            t <<= segment - 1;
    }
    return static_cast<std::int16_t>((a & 0x80) ? t : -t);
}

template <typename Decode>
void DecodeEach(const unsigned char* p, std::size_t count, std::size_t step, std::int16_t* out,
                Decode decode) {
    for (std::size_t i = 0; i < count; ++i)
        out[i] = decode(p + i * step);
}

// The range of every `stride`-th of `samples` 16-bit samples in the machine's order at p (stride 1 or 2,
// the first sample counted): the overview's inner loop, which must keep up with reading the file.
SampleRange RangeOf(const unsigned char* p, std::size_t samples, std::size_t stride) {
    SampleRange range;
    std::size_t i = 0;
#if defined(__SSE2__)
    __m128i low = _mm_set1_epi16(range.low);
    __m128i high = _mm_set1_epi16(range.high);
    for (; i + 8 <= samples; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * i));
        low = _mm_min_epi16(low, v);
        high = _mm_max_epi16(high, v);
    }
    std::int16_t lows[8], highs[8];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lows), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(highs), high);
    // i went in steps of 8, so lane k holds samples k, k + 8, ...: the counted ones are k % stride == 0.
    for (std::size_t k = 0; k < 8; k += stride)
        range.add({lows[k], highs[k]});
#endif
    for (; i < samples; i += stride) {
        std::int16_t v;
        std::memcpy(&v, p + 2 * i, sizeof v);
        range.add({v, v});
    }
    return range;
}

} // namespace

void DecodeChannel(const SampleCoding& coding, const unsigned char* in, std::size_t count, int channel,
                   std::int16_t* out) {
    const auto step = static_cast<std::size_t>(coding.frameBytes);
    const unsigned char* p = in + static_cast<std::size_t>(channel) * static_cast<std::size_t>(coding.bytes);
    switch (coding.kind) {
    case SampleCoding::Kind::Unsigned8:
        DecodeEach(p, count, step, out, [](const unsigned char* s) { return std::int16_t{*s}; });
        break;
    case SampleCoding::Kind::Signed:
        DecodeEach(p, count, step, out,
                   [bytes = coding.bytes](const unsigned char* s) { return Top16(s, bytes); });
        break;
    case SampleCoding::Kind::Float:
        if (coding.bytes == 8)
            DecodeEach(p, count, step, out, [](const unsigned char* s) { return FromFloat(DoubleAt(s)); });
        else
            DecodeEach(p, count, step, out, [](const unsigned char* s) { return FromFloat(FloatAt(s)); });
        break;
    case SampleCoding::Kind::ALaw:
        DecodeEach(p, count, step, out, [](const unsigned char* s) { return FromALaw(*s); });
        break;
    case SampleCoding::Kind::MuLaw:
        DecodeEach(p, count, step, out, [](const unsigned char* s) { return FromMuLaw(*s); });
        break;
    }
}

WaveSource::WaveSource(int fd, const SampleCoding& coding, std::int64_t dataStart, std::int64_t frames)
    : fd_(fd), coding_(coding), dataStart_(dataStart), frames_(std::max<std::int64_t>(frames, 0)),
      framesPerBlock_(BlockFramesFor(frames_)),
      blocks_(static_cast<std::size_t>((frames_ + framesPerBlock_ - 1) / framesPerBlock_)) {}

WaveSource::~WaveSource() {
    cancelOverview();
    ::close(fd_);
}

std::size_t WaveSource::readAt(std::int64_t pos, unsigned char* dst, std::size_t n) const {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd_, dst + got, n - got, static_cast<off_t>(pos) + static_cast<off_t>(got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break; // the end of the file as it is now, or a file that can no longer be read
        got += static_cast<std::size_t>(r);
    }
    return got;
}

std::size_t WaveSource::readFirstChannel(std::int64_t first, std::size_t count, std::int16_t* out) const {
    if (first < 0 || first >= frames_)
        return 0;
    count =
        static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), frames_ - first));
    const auto frameBytes = static_cast<std::size_t>(coding_.frameBytes);
    const std::size_t perRead = std::max<std::size_t>(1, kScopeChunkBytes / frameBytes);
    thread_local std::vector<unsigned char> bytes;
    std::size_t done = 0;
    while (done < count) {
        const std::size_t want = std::min(perRead, count - done);
        bytes.resize(want * frameBytes);
        const std::int64_t at = dataStart_ + (first + static_cast<std::int64_t>(done)) * coding_.frameBytes;
        const std::size_t got = readAt(at, bytes.data(), want * frameBytes) / frameBytes;
        DecodeChannel(coding_, bytes.data(), got, 0, out + done);
        done += got;
        if (got < want)
            break;
    }
    return done;
}

void WaveSource::startOverview() {
    started_ = std::chrono::steady_clock::now();
    builder_ = std::jthread([this](std::stop_token stop) { build(stop); });
}

void WaveSource::cancelOverview() {
    if (builder_.joinable()) {
        builder_.request_stop();
        builder_.join();
    }
    finished_.store(true, std::memory_order_release);
}

double WaveSource::progress() const {
    return blocks_.empty() ? 1.0 : static_cast<double>(ready().size()) / static_cast<double>(blocks_.size());
}

double WaveSource::secondsSinceStart() const {
    const auto took = took_.load();
    const auto elapsed =
        took >= 0 ? std::chrono::steady_clock::duration(took) : std::chrono::steady_clock::now() - started_;
    return std::chrono::duration<double>(elapsed).count();
}

void WaveSource::build(std::stop_token stop) {
    const std::int64_t frameBytes = coding_.frameBytes;
    const std::int64_t chunkFrames =
        std::max<std::int64_t>(1, kChunkBytes / (framesPerBlock_ * frameBytes)) * framesPerBlock_;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(chunkFrames * frameBytes));
    std::vector<std::int16_t> decoded;
    // 16-bit samples one or two to a frame are looked at where they lie, on a machine of their byte order;
    // anything else is decoded first.
    const bool raw = std::endian::native == std::endian::little &&
                     coding_.kind == SampleCoding::Kind::Signed && coding_.bytes == 2 &&
                     (frameBytes == 2 || frameBytes == 4);
    const auto stride = static_cast<std::size_t>(frameBytes / 2);

    std::size_t block = 0;
    for (std::int64_t first = 0; first < frames_ && !stop.stop_requested(); first += chunkFrames) {
        const std::int64_t want = std::min(chunkFrames, frames_ - first);
        const auto got = static_cast<std::int64_t>(readAt(dataStart_ + first * frameBytes, bytes.data(),
                                                          static_cast<std::size_t>(want * frameBytes)) /
                                                   static_cast<std::size_t>(frameBytes));
        if (!raw) {
            decoded.resize(static_cast<std::size_t>(got));
            DecodeChannel(coding_, bytes.data(), decoded.size(), 0, decoded.data());
        }
        for (std::int64_t at = 0; at < got; at += framesPerBlock_, ++block) {
            const auto n = static_cast<std::size_t>(std::min(framesPerBlock_, got - at));
            if (raw) {
                blocks_[block] = RangeOf(bytes.data() + at * frameBytes, n * stride, stride);
            } else {
                blocks_[block] = RangeOf(reinterpret_cast<const unsigned char*>(decoded.data() + at), n, 1);
            }
        }
        ready_.store(block, std::memory_order_release);
        if (got < want)
            break; // the file ends early now: the overview ends where it does
    }
    took_.store((std::chrono::steady_clock::now() - started_).count());
    finished_.store(true, std::memory_order_release);
}

std::int64_t RightEdge(const Track& track) {
    return track.Source ? track.Source->frames() - 1 : track.SampleLimit;
}
