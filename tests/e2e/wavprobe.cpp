// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// A small helper of the end-to-end tests:
//   wavprobe tone FILE HZ SECONDS   writes a 16-bit mono 44100 Hz sine at half of full scale
//   wavprobe info FILE              prints "rate channels seconds loud_seconds hz peak" of the first
//                                   channel: loud means above 1/20 of full scale (in 10 ms blocks),
//                                   hz counts zero crossings over the loud blocks, and peak is the
//                                   largest sample, in 16-bit units
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int tone(const char* path, double hz, double seconds) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path, SFM_WRITE, &info);
    if (!f)
        return 1;
    const auto frames = static_cast<std::size_t>(seconds * info.samplerate);
    std::vector<short> samples(frames);
    for (std::size_t i = 0; i < frames; ++i)
        samples[i] =
            static_cast<short>(16000 * std::sin(2 * M_PI * hz * static_cast<double>(i) / info.samplerate));
    sf_write_short(f, samples.data(), static_cast<sf_count_t>(frames));
    sf_close(f);
    return 0;
}

int info(const char* path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path, SFM_READ, &info);
    if (!f) {
        std::fprintf(stderr, "wavprobe: %s\n", sf_strerror(nullptr));
        return 1;
    }
    std::vector<float> all(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, all.data(), info.frames);
    sf_close(f);
    const auto block = static_cast<std::size_t>(info.samplerate / 100);
    std::size_t loudBlocks = 0, crossings = 0;
    float peak = 0;
    for (std::size_t start = 0; start + block <= static_cast<std::size_t>(info.frames); start += block) {
        double sum = 0;
        std::size_t c = 0;
        for (std::size_t i = start; i < start + block; ++i) {
            const float v = all[i * static_cast<std::size_t>(info.channels)];
            sum += v * v;
            peak = std::max(peak, std::abs(v));
            if (i > 0) {
                const float u = all[(i - 1) * static_cast<std::size_t>(info.channels)];
                c += (u < 0) != (v < 0);
            }
        }
        if (std::sqrt(sum / static_cast<double>(block)) > 0.05) {
            ++loudBlocks;
            crossings += c;
        }
    }
    const double loudSeconds = static_cast<double>(loudBlocks * block) / info.samplerate;
    const double hz = loudSeconds > 0 ? static_cast<double>(crossings) / 2 / loudSeconds : 0;
    std::printf("%d %d %.3f %.3f %.1f %.0f\n", info.samplerate, info.channels,
                static_cast<double>(info.frames) / info.samplerate, loudSeconds, hz, peak * 32768.0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "tone") == 0)
        return tone(argv[2], std::atof(argv[3]), std::atof(argv[4]));
    if (argc == 3 && std::strcmp(argv[1], "info") == 0)
        return info(argv[2]);
    std::fprintf(stderr, "usage: wavprobe tone FILE HZ SECONDS | wavprobe info FILE\n");
    return 2;
}
