// libFuzzer target: any bytes as a WAV file, read into a track the way Load does it.
#include "wave/WaveReader.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// One file per fuzzing process, rewritten for every input and removed at exit.
char inputPath[] = "/tmp/fuzz_wave_reader_XXXXXX";

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
    const char* path = InputPath();
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
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
    try {
        ReadWaveFile(track, QString::fromLocal8Bit(path), [](const QString& label) {
            if (label.isEmpty()) {
                std::abort();
            }
        });
    } catch (const WaveFileError&) {
        // A rejected file is an ordinary outcome.
    }
    if (track.SampleLimit > kLastSampleIndex) {
        std::abort();
    }
    return 0;
}
