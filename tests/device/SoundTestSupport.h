// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Small helpers shared by the sound device tests: a scratch folder, WAV files written with libsndfile,
// reading files back, a frequency estimate from zero crossings, and the private sound servers that
// scripts/sound-server starts.

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace pikota::test {

class ScratchFolder {
public:
    ScratchFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("pikota-sound-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            result.push_back(entry.path().filename().string());
        return result;
    }

private:
    static int& counter() {
        static int value = 0;
        return value;
    }
    std::filesystem::path path_;
};

// Writes `frames` frames with value(frame, channel) in [-1, 1].
inline void writeSound(const std::string& path, int format, int rate, int channels, std::int64_t frames,
                       const std::function<double(std::int64_t, int)>& value) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        throw std::runtime_error("cannot write " + path);
    std::vector<double> data(static_cast<std::size_t>(frames * channels));
    for (std::int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            data[static_cast<std::size_t>(f * channels + c)] = value(f, c);
    sf_writef_double(file, data.data(), frames);
    sf_close(file);
}

inline double sine(double frequency, std::int64_t frame, int rate, double amplitude = 0.5) {
    return amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(frame) / rate);
}

struct Sound {
    SF_INFO info{};
    std::vector<short> samples; // interleaved
    bool ok = false;
};

inline Sound readSound(const std::string& path) {
    Sound sound;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sound.info);
    if (!file)
        return sound;
    sound.samples.resize(static_cast<std::size_t>(sound.info.frames * sound.info.channels));
    sf_readf_short(file, sound.samples.data(), sound.info.frames);
    sf_close(file);
    sound.ok = true;
    return sound;
}

// Frequency of one channel of interleaved samples, from the count of sign changes.
template <typename T>
double zeroCrossingFrequency(const std::vector<T>& samples, int channels, int channel, int rate,
                             std::size_t firstFrame = 0, std::size_t lastFrame = SIZE_MAX) {
    lastFrame = std::min(lastFrame, samples.size() / channels);
    std::int64_t crossings = 0;
    for (std::size_t f = firstFrame + 1; f < lastFrame; ++f) {
        const bool before = samples[(f - 1) * channels + channel] < 0;
        const bool now = samples[f * channels + channel] < 0;
        crossings += before != now;
    }
    const double seconds = static_cast<double>(lastFrame - firstFrame) / rate;
    return seconds > 0 ? crossings / 2.0 / seconds : 0;
}

// Points this process at the private server that scripts/sound-server started in `dir` (for the test's
// own server, the folder in PIKOTA_SOUND_SERVER_DIR): each NAME=VALUE line of dir/env, PULSE_SERVER and
// XDG_RUNTIME_DIR, goes into the environment. False if there is no such file.
inline bool useSoundServer(const std::string& dir) {
    std::ifstream env(dir + "/env");
    std::string line;
    bool any = false;
    while (std::getline(env, line)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        setenv(line.substr(0, equals).c_str(), line.substr(equals + 1).c_str(), 1);
        any = true;
    }
    return any;
}

} // namespace pikota::test
