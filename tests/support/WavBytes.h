// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Builds WAV files byte by byte for tests and benchmarks: the plain ones, and the odd and malformed ones
// that only a hand-made file can be.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <vector>

namespace pikota::test {

inline void PutInt16(QByteArray& out, std::int16_t v) {
    const auto u = static_cast<std::uint16_t>(v);
    out.append(static_cast<char>(u & 0xFF));
    out.append(static_cast<char>(u >> 8));
}

inline void PutInt32(QByteArray& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8) {
        out.append(static_cast<char>((u >> shift) & 0xFF));
    }
}

// A chunk: 4-byte id, 32-bit size, body. The size is the body's length unless given; no pad byte is added.
inline QByteArray Chunk(const char (&id)[5], const QByteArray& body, std::int64_t size = -1) {
    QByteArray out(id, 4);
    PutInt32(out, static_cast<std::int32_t>(size < 0 ? body.size() : size));
    out.append(body);
    return out;
}

// A chunk whose declared size is given as raw 32 bits (negative sizes included).
inline QByteArray ChunkWithRawSize(const char (&id)[5], std::uint32_t size, const QByteArray& body = {}) {
    QByteArray out(id, 4);
    PutInt32(out, static_cast<std::int32_t>(size));
    out.append(body);
    return out;
}

inline QByteArray FormatBody(std::int16_t channels, std::int32_t rate, std::int16_t bits,
                             std::int16_t blockAlign, std::int16_t tag = 1) {
    QByteArray out;
    PutInt16(out, tag);
    PutInt16(out, channels);
    PutInt32(out, rate);
    PutInt32(out, rate * blockAlign);
    PutInt16(out, blockAlign);
    PutInt16(out, bits);
    return out;
}

// The extensible format's body: the record with the format tag 0xFFFE, then the valid bits, a channel mask
// and the subformat's GUID, which carries the encoding's own format tag.
inline QByteArray ExtensibleBody(std::int16_t channels, std::int32_t rate, std::int16_t bits,
                                 std::int16_t blockAlign, std::int16_t validBits, std::uint16_t tag) {
    QByteArray out = FormatBody(channels, rate, bits, blockAlign, static_cast<std::int16_t>(0xFFFE));
    PutInt16(out, 22);
    PutInt16(out, validBits);
    PutInt32(out, 0);
    PutInt16(out, static_cast<std::int16_t>(tag));
    out.append(QByteArray::fromHex("000000001000800000aa00389b71"));
    return out;
}

// The 12-byte RIFF header followed by the chunks.
inline QByteArray Riff(std::initializer_list<QByteArray> chunks) {
    QByteArray body("WAVE");
    for (const QByteArray& c : chunks) {
        body.append(c);
    }
    QByteArray out("RIFF");
    PutInt32(out, static_cast<std::int32_t>(body.size()));
    out.append(body);
    return out;
}

// A plain 16-bit file of the given interleaved samples.
inline QByteArray Pcm16(std::int16_t channels, std::int32_t rate, const std::vector<std::int16_t>& samples) {
    QByteArray data;
    data.reserve(static_cast<qsizetype>(samples.size() * 2));
    for (const std::int16_t v : samples)
        PutInt16(data, v);
    return Riff({Chunk("fmt ", FormatBody(channels, rate, 16, static_cast<std::int16_t>(2 * channels))),
                 Chunk("data", data)});
}

// A plain 8-bit file of the given unsigned samples.
inline QByteArray Pcm8(std::int16_t channels, std::int32_t rate, const std::vector<std::uint8_t>& samples) {
    return Riff({Chunk("fmt ", FormatBody(channels, rate, 8, channels)),
                 Chunk("data", QByteArray(reinterpret_cast<const char*>(samples.data()),
                                          static_cast<qsizetype>(samples.size())))});
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write test file");
    }
}

// A 16-bit file of `frames` frames of silence, written sparsely: an hour takes no room on the disk. Its
// data starts at byte 44.
inline void WriteSilence(const QString& path, std::int16_t channels, std::int32_t rate, std::int64_t frames) {
    const auto frameBytes = static_cast<std::int16_t>(2 * channels);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(Riff({Chunk("fmt ", FormatBody(channels, rate, 16, frameBytes)),
                      Chunk("data", {}, frames * frameBytes)})) != 44 ||
        !f.resize(44 + frames * frameBytes)) {
        throw std::runtime_error("cannot write test file");
    }
}

} // namespace pikota::test
