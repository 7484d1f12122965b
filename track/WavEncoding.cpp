// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/WavEncoding.h"

#include "track/LoadedFile.h"
#include "track/ReadError.h"
#include "track/Track.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

std::int16_t Int16At(const unsigned char* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

std::uint32_t UInt32At(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The rest of a GUID of the extensible format chunk's subformats, after the format tag in its first two
// bytes.
constexpr unsigned char kSubformatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// The format body's length that holds the extensible format's subformat.
constexpr int kExtensibleBody = 40;

// The top 16 bits of a little-endian signed integer of `bytes` bytes.
std::int16_t Top16(const unsigned char* p, int bytes) {
    if (bytes == 1)
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] << 8));
    return Int16At(p + bytes - 2);
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
// the first sample counted).
SampleRange RangeOf16(const unsigned char* p, std::size_t samples, std::size_t stride) {
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

// The range of the 16-bit integers (in the machine's order) at p, p + Loads * 2, ... of `count` of them,
// where `count * Loads * 2` bytes and the padding after them may be read from p. Eight of them lie in Loads
// loads of eight 16-bit lanes; the lanes are kept apart, and in the end those that fall on one of them are
// taken.
template <std::size_t Loads> SampleRange RangeOfStrided16(const unsigned char* p, std::size_t count) {
    constexpr std::size_t step = 2 * Loads;
    SampleRange range;
    std::size_t k = 0;
#if defined(__SSE2__)
    __m128i low[Loads], high[Loads];
    for (std::size_t r = 0; r < Loads; ++r) {
        low[r] = _mm_set1_epi16(range.low);
        high[r] = _mm_set1_epi16(range.high);
    }
    for (; k + 8 <= count; k += 8) {
        const unsigned char* group = p + k * step;
        for (std::size_t r = 0; r < Loads; ++r) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(group + 16 * r));
            low[r] = _mm_min_epi16(low[r], v);
            high[r] = _mm_max_epi16(high[r], v);
        }
    }
    // The lanes that fall on none of them are set to what changes nothing, and all lanes are folded into one.
    __m128i lowest = _mm_set1_epi16(range.low), highest = _mm_set1_epi16(range.high);
    for (std::size_t r = 0; r < Loads; ++r) {
        alignas(16) std::int16_t wanted[8];
        for (std::size_t lane = 0; lane < 8; ++lane)
            wanted[lane] = (8 * r + lane) % Loads == 0 ? -1 : 0;
        const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(wanted));
        lowest = _mm_min_epi16(lowest, _mm_or_si128(_mm_and_si128(mask, low[r]),
                                                    _mm_andnot_si128(mask, _mm_set1_epi16(range.low))));
        highest = _mm_max_epi16(highest, _mm_or_si128(_mm_and_si128(mask, high[r]),
                                                      _mm_andnot_si128(mask, _mm_set1_epi16(range.high))));
    }
    lowest = _mm_min_epi16(lowest, _mm_shuffle_epi32(lowest, 0x4E));
    highest = _mm_max_epi16(highest, _mm_shuffle_epi32(highest, 0x4E));
    lowest = _mm_min_epi16(lowest, _mm_shuffle_epi32(lowest, 0xB1));
    highest = _mm_max_epi16(highest, _mm_shuffle_epi32(highest, 0xB1));
    lowest = _mm_min_epi16(lowest, _mm_shufflelo_epi16(lowest, 0xB1));
    highest = _mm_max_epi16(highest, _mm_shufflelo_epi16(highest, 0xB1));
    range.add({static_cast<std::int16_t>(_mm_extract_epi16(lowest, 0)),
               static_cast<std::int16_t>(_mm_extract_epi16(highest, 0))});
#endif
    for (; k < count; ++k) {
        std::int16_t v;
        std::memcpy(&v, p + k * step, sizeof v);
        range.add({v, v});
    }
    return range;
}

// The range of 32-bit floats at p, p + Loads * 4, ... of `count` of them, as FromFloat stores them, where
// `count * Loads * 4` bytes may be read from p: four of them lie in Loads loads of four lanes, kept apart as
// above. The extremes are converted once; a NaN, which is stored as 0, counts as 0.
template <std::size_t Loads> SampleRange RangeOfStridedFloats(const unsigned char* p, std::size_t count) {
    constexpr std::size_t step = 4 * Loads;
    SampleRange range;
    std::size_t k = 0;
#if defined(__SSE2__)
    __m128 low[Loads], high[Loads], nan[Loads];
    for (std::size_t r = 0; r < Loads; ++r) {
        low[r] = _mm_set1_ps(std::numeric_limits<float>::infinity());
        high[r] = _mm_set1_ps(-std::numeric_limits<float>::infinity());
        nan[r] = _mm_setzero_ps();
    }
    for (; k + 4 <= count; k += 4) {
        const unsigned char* group = p + k * step;
        for (std::size_t r = 0; r < Loads; ++r) {
            const __m128 v = _mm_loadu_ps(reinterpret_cast<const float*>(group + 16 * r));
            low[r] = _mm_min_ps(v, low[r]); // a NaN in v leaves the lane as it was
            high[r] = _mm_max_ps(v, high[r]);
            nan[r] = _mm_or_ps(nan[r], _mm_cmpunord_ps(v, v));
        }
    }
    for (std::size_t r = 0; r < Loads; ++r) {
        float lows[4], highs[4], nans[4];
        _mm_storeu_ps(lows, low[r]);
        _mm_storeu_ps(highs, high[r]);
        _mm_storeu_ps(nans, nan[r]);
        for (std::size_t lane = 0; lane < 4; ++lane) {
            if ((4 * r + lane) % Loads != 0)
                continue;
            if (lows[lane] <= highs[lane])
                range.add({FromFloat(lows[lane]), FromFloat(highs[lane])});
            if (std::bit_cast<std::uint32_t>(nans[lane]) != 0)
                range.add({0, 0});
        }
    }
#endif
    for (; k < count; ++k) {
        const std::int16_t v = FromFloat(FloatAt(p + k * step));
        range.add({v, v});
    }
    return range;
}

// The strided ranges for frames of up to 8 loads, the widths that files have; none (nullopt) for others.
std::optional<SampleRange> Strided16(const unsigned char* p, std::size_t count, std::size_t loads) {
    switch (loads) {
    case 3:
        return RangeOfStrided16<3>(p, count);
    case 4:
        return RangeOfStrided16<4>(p, count);
    case 6:
        return RangeOfStrided16<6>(p, count);
    case 8:
        return RangeOfStrided16<8>(p, count);
    default:
        return std::nullopt;
    }
}
std::optional<SampleRange> StridedFloats(const unsigned char* p, std::size_t count, std::size_t loads) {
    switch (loads) {
    case 1:
        return RangeOfStridedFloats<1>(p, count);
    case 2:
        return RangeOfStridedFloats<2>(p, count);
    case 4:
        return RangeOfStridedFloats<4>(p, count);
    case 6:
        return RangeOfStridedFloats<6>(p, count);
    case 8:
        return RangeOfStridedFloats<8>(p, count);
    default:
        return std::nullopt;
    }
}

// The range of the values `at` reads at p, p + step, ...: of `count` of them.
template <typename Value, typename At>
std::pair<Value, Value> Extremes(const unsigned char* p, std::size_t count, std::size_t step, At at) {
    Value low = at(p), high = low;
    for (std::size_t i = 1; i < count; ++i) {
        const Value v = at(p + i * step);
        low = v < low ? v : low;
        high = v > high ? v : high;
    }
    return {low, high};
}

// Floats: the extremes first, converted once. A NaN, which is stored as 0, counts as 0.
template <typename Real, typename At>
SampleRange FloatRange(const unsigned char* p, std::size_t count, std::size_t step, At at) {
    bool nan = false;
    Real low = 0, high = 0;
    bool any = false;
    for (std::size_t i = 0; i < count; ++i) {
        const Real v = at(p + i * step);
        if (v != v) {
            nan = true;
            continue;
        }
        low = !any || v < low ? v : low;
        high = !any || v > high ? v : high;
        any = true;
    }
    SampleRange range;
    if (any)
        range.add({FromFloat(low), FromFloat(high)});
    if (nan)
        range.add({0, 0});
    return range;
}

} // namespace

std::int16_t FromFloat(double x) {
    if (std::isnan(x))
        return 0;
    return static_cast<std::int16_t>(std::lrint(std::clamp(x * 32768.0, -32768.0, 32767.0)));
}

SampleCoding ClassifyWavFormat(const WaveFormat& f, const unsigned char* body, std::int64_t bodySize) {
    auto tag = static_cast<std::uint16_t>(f.wFormatTag);
    if (tag == 0xFFFE) {
        // The extensible format: the subformat's GUID names the encoding.
        if (bodySize < kExtensibleBody ||
            std::memcmp(body + 26, kSubformatGuidTail, sizeof kSubformatGuidTail) != 0)
            RefuseUnknownSubformat();
        tag = static_cast<std::uint16_t>(Int16At(body + 24));
    }
    SampleCoding c;
    if (tag == 1 && (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nChannels <= 2)
        return c; // as it always was read, whatever the other fields say
    c.plainPcm = false;
    const int bits = f.wBitsPerSample;
    const bool known = tag == 1 || tag == 3 || tag == 6 || tag == 7;
    if (!known)
        RefuseWavTag(tag);
    if (tag == 1 && bits > 32)
        RefuseIntegerBits(bits);
    if (tag == 3 && bits != 32 && bits != 64)
        RefuseFloatBits(bits);
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

SampleRange RangeOfFirstChannel(const SampleCoding& coding, const unsigned char* in, std::size_t count) {
    SampleRange range;
    if (count == 0)
        return range;
    const auto step = static_cast<std::size_t>(coding.frameBytes);
    switch (coding.kind) {
    case SampleCoding::Kind::Signed:
        if (coding.bytes == 2 && (step == 2 || step == 4) && std::endian::native == std::endian::little)
            return RangeOf16(in, count * step / 2, step / 2);
        if (coding.bytes >= 2) {
            // The top 16 bits of each sample are a 16-bit integer where they lie.
            if (const auto strided = step % 2 == 0 && std::endian::native == std::endian::little
                                         ? Strided16(in + coding.bytes - 2, count, step / 2)
                                         : std::nullopt)
                return *strided;
            const auto [low, high] = Extremes<std::int16_t>(in + coding.bytes - 2, count, step, Int16At);
            range.add({low, high});
            return range;
        }
        break;
    case SampleCoding::Kind::Float:
        if (coding.bytes == 4 && step % 4 == 0 && std::endian::native == std::endian::little)
            if (const auto strided = StridedFloats(in, count, step / 4))
                return *strided;
        return coding.bytes == 8 ? FloatRange<double>(in, count, step, DoubleAt)
                                 : FloatRange<float>(in, count, step, FloatAt);
    case SampleCoding::Kind::Unsigned8: {
        const auto [low, high] =
            Extremes<unsigned char>(in, count, step, [](const unsigned char* s) { return *s; });
        range.add({std::int16_t{low}, std::int16_t{high}});
        return range;
    }
    case SampleCoding::Kind::ALaw:
    case SampleCoding::Kind::MuLaw:
        break;
    }
    // What has no order of its own (G.711 codes): each decoded.
    for (std::size_t i = 0; i < count; ++i) {
        std::int16_t v;
        DecodeChannel(coding, in + i * step, 1, 0, &v);
        range.add({v, v});
    }
    return range;
}
