// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// libFuzzer target: any bytes as a sound file, read into a track the way Load does it: through the WAV
// reader, or through libsndfile for every other format (the seeds hold a small file of each, and some cut
// short). An input that begins with 'G' (no sound file does) is the rest of its bytes grown sparsely to
// 1.5 MB, so that a data chunk that says more than it holds (0xFFFFFFFF) reaches the long-file road: the
// overview made whole and the scope's windows read from the file.
#include "track/LoadedFile.h"
#include "track/ReadError.h"
#include "track/ReadSoundFile.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {

constexpr long kGrownSize = 1500000;

// One file per fuzzing process, rewritten for every input and removed at exit.
char inputPath[] = "/tmp/fuzz_sound_reader_XXXXXX";

void RemoveInput() { unlink(inputPath); }

const char* InputPath() {
    static const bool created = [] {
        const int fd = mkstemp(inputPath);
        if (fd < 0) {
            std::abort();
        }
        close(fd);
        std::atexit(RemoveInput);
        return true;
    }();
    (void)created;
    return inputPath;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const bool grown = size > 0 && data[0] == 'G';
    if (grown) {
        ++data;
        --size;
    }
    const char* path = InputPath();
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        std::abort();
    }
    if (grown && truncate(path, std::max(kGrownSize, static_cast<long>(size))) != 0) {
        std::abort();
    }

    // The track lives across inputs like a window's track does, so the format of an earlier file may serve
    // a later one without a format chunk.
    static Track track;
    // Zero what the previous input may have stored (frames 0..SampleLimit), as Load zeroes the arrays.
    const std::size_t written =
        static_cast<std::size_t>(std::clamp(track.SampleLimit + 1, 0, kLastSampleIndex + 1));
    std::fill_n(track.LeftSamples->begin(), written, std::int16_t{0});
    std::fill_n(track.RightSamples->begin(), written, std::int16_t{0});
    track.SampleLimit = kLastSampleIndex;
    track.File.reset();
    try {
        ReadSoundFile(track, QString::fromLocal8Bit(path), [](const QString& label) {
            if (label.isEmpty()) {
                std::abort();
            }
        });
    } catch (const SoundFileError&) {
        // A rejected file is an ordinary outcome.
    }
    if (track.SampleLimit > kLastSampleIndex) {
        std::abort();
    }
    if (track.File && !track.File->inArrays()) {
        const LoadedFile& source = *track.File;
        while (source.overviewRunning()) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        if (source.ready().size() * source.framesPerBlock() < static_cast<std::size_t>(source.frames())) {
            std::abort(); // a file that stays whole is made whole
        }
        std::int16_t window[883];
        for (const std::int64_t at : {std::int64_t{0}, source.frames() / 2, source.frames() - 100}) {
            if (source.readFirstChannel(at, std::size(window), window) > std::size(window)) {
                std::abort();
            }
        }
    }
    return 0;
}
