#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// Writes WAV files byte by byte, so that tests can make the plain and the odd ones.
namespace wavfile {

inline void put16(std::string& s, std::int16_t v) {
    s += static_cast<char>(v & 0xff);
    s += static_cast<char>((v >> 8) & 0xff);
}

inline void put32(std::string& s, std::int32_t v) {
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xff);
}

inline std::string chunk(const std::string& id, const std::string& body) {
    std::string s = id;
    put32(s, static_cast<std::int32_t>(body.size()));
    return s + body;
}

inline std::string fmtBody(std::int16_t channels, std::int32_t rate, std::int16_t bits) {
    std::string s;
    const std::int16_t align = static_cast<std::int16_t>(channels * ((bits + 7) / 8));
    put16(s, 1);
    put16(s, channels);
    put32(s, rate);
    put32(s, rate * align);
    put16(s, align);
    put16(s, bits);
    return s;
}

// A whole file: the RIFF header, then the chunks as given.
inline std::string riff(const std::string& chunks) {
    std::string s = "RIFF";
    put32(s, static_cast<std::int32_t>(4 + chunks.size()));
    return s + "WAVE" + chunks;
}

// A plain 16-bit file of the given interleaved samples.
inline std::string pcm16(std::int16_t channels, std::int32_t rate, const std::vector<std::int16_t>& samples) {
    std::string data;
    for (std::int16_t v : samples)
        put16(data, v);
    return riff(chunk("fmt ", fmtBody(channels, rate, 16)) + chunk("data", data));
}

// A plain 8-bit file of the given unsigned samples.
inline std::string pcm8(std::int16_t channels, std::int32_t rate, const std::vector<std::uint8_t>& samples) {
    return riff(chunk("fmt ", fmtBody(channels, rate, 8)) + chunk("data", std::string(samples.begin(), samples.end())));
}

inline void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace wavfile
