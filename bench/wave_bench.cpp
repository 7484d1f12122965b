// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_wave: the program's WAV reader against libsndfile doing the same job on the same file: 500001
// frames of 16-bit stereo into a left and a right array. And an hour of 44.1 kHz stereo, 16-bit, 24-bit
// and float: the reader's overview of the whole file made, from the read to its last block, against one
// plain read() of the same file into a buffer, the floor; the page cache warm. All run side by side in one
// process, with repetitions interleaved at random; the results are the ratios of their median times. It
// also says how much anonymous memory an hour-long file takes beyond a short one.
#include "bench/ProcessStatus.h"
#include "tests/support/WavBytes.h"
#include "track/LoadedFile.h"
#include "track/ReadSoundFile.h"

#include <QString>

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <QFile>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kFrames = kLastSampleIndex + 1;

// A plain 44-byte-header WAV file: 16-bit stereo, 44100 Hz, kFrames frames of a varied signal.
void WriteTestFile(const std::string& path) {
    std::vector<std::int16_t> samples;
    samples.reserve(2 * kFrames);
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        samples.push_back(static_cast<std::int16_t>((i * 7919u) & 0xFFFF));
        samples.push_back(static_cast<std::int16_t>((i * 104729u + 12345u) & 0xFFFF));
    }
    pikota::test::WriteFile(QString::fromStdString(path), pikota::test::Pcm16(2, 44100, samples));
}

std::string testFile;

void ReadWithReader(Track& track) {
    track.SampleLimit = kLastSampleIndex;
    ReadSoundFile(track, QString::fromLocal8Bit(testFile.c_str()),
                  [](const QString& label) { benchmark::DoNotOptimize(label.size()); });
}

void ReadWithSndfile(Track& track, std::vector<short>& interleaved) {
    SF_INFO info{};
    SNDFILE* file = sf_open(testFile.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        throw std::runtime_error("libsndfile cannot open the test file");
    }
    const sf_count_t frames = sf_readf_short(file, interleaved.data(), kFrames);
    std::int16_t* left = track.LeftSamples->data();
    std::int16_t* right = track.RightSamples->data();
    for (sf_count_t i = 0; i < frames; ++i) {
        left[i] = interleaved[static_cast<std::size_t>(2 * i)];
        right[i] = interleaved[static_cast<std::size_t>(2 * i + 1)];
    }
    sf_close(file);
}

void BM_ReadWaveFile(benchmark::State& state) {
    Track track;
    for (auto _ : state) {
        ReadWithReader(track);
        benchmark::DoNotOptimize(track.LeftSamples->data());
        benchmark::DoNotOptimize(track.RightSamples->data());
        benchmark::ClobberMemory();
    }
}

void BM_Libsndfile(benchmark::State& state) {
    Track track;
    std::vector<short> interleaved(2 * static_cast<std::size_t>(kFrames));
    for (auto _ : state) {
        ReadWithSndfile(track, interleaved);
        benchmark::DoNotOptimize(track.LeftSamples->data());
        benchmark::DoNotOptimize(track.RightSamples->data());
        benchmark::ClobberMemory();
    }
}

// An hour of stereo at 44.1 kHz in one encoding, written for real (not sparsely), 4 MB at a time.
struct HourFile {
    const char* name;
    std::int16_t tag;
    int bytes; // per sample
    std::string path;
    std::int64_t size = 0;
};

constexpr std::int64_t kHourFrames = 3600LL * 44100;

void WriteHour(HourFile& file, const std::filesystem::path& dir) {
    file.path =
        (dir / ("bench_wave_hour_" + std::string(file.name) + "_" + std::to_string(getpid()) + ".wav"))
            .string();
    const auto align = static_cast<std::int16_t>(2 * file.bytes);
    const std::int64_t dataBytes = kHourFrames * align;
    std::ofstream out(file.path, std::ios::binary);
    const QByteArray header = pikota::test::Riff(
        {pikota::test::Chunk(
             "fmt ",
             pikota::test::FormatBody(2, 44100, static_cast<std::int16_t>(8 * file.bytes), align, file.tag)),
         pikota::test::Chunk("data", {}, dataBytes)});
    out.write(header.constData(), header.size());
    std::vector<char> piece;
    for (std::int64_t frame = 0; frame < kHourFrames;) {
        piece.clear();
        for (int i = 0; i < 1 << 20 && frame < kHourFrames; ++i, ++frame) {
            const double v = 0.6 * std::sin(frame * 0.0627) + 0.3 * std::sin(frame * 0.00031);
            for (int channel = 0; channel < 2; ++channel) {
                std::uint64_t word = 0;
                if (file.tag == 3)
                    word = std::bit_cast<std::uint32_t>(static_cast<float>(channel ? -v : v));
                else
                    word = static_cast<std::uint64_t>(
                        std::llround((channel ? -v : v) * 32767 * (1 << (8 * file.bytes - 16))));
                for (int b = 0; b < file.bytes; ++b)
                    piece.push_back(static_cast<char>(word >> (8 * b)));
            }
        }
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    }
    file.size = static_cast<std::int64_t>(header.size()) + dataBytes;
}

// One plain read() of the whole file into a buffer that is already the process's.
void ReadWhole(const HourFile& file, std::vector<char>& buffer) {
    const int fd = open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t got = read(fd, buffer.data(), static_cast<std::size_t>(file.size));
    close(fd);
    if (got != file.size)
        throw std::runtime_error("short read");
}

// What a load of the file does before it is drawn whole: the read, and the overview of the whole file.
void MakeOverview(const HourFile& file) {
    Track track;
    ReadSoundFile(track, QString::fromStdString(file.path), [](const QString&) {});
    while (!track.File->overviewFinished())
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    benchmark::DoNotOptimize(track.File->ready().data());
}

// Keeps the per-repetition real times of each benchmark while printing as usual.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    static double Median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    }

    std::map<std::string, std::vector<double>> times;
};

} // namespace

int main(int argc, char** argv) {
    const auto dir = std::filesystem::temp_directory_path();
    testFile = (dir / ("bench_wave_" + std::to_string(getpid()) + ".wav")).string();
    WriteTestFile(testFile);
    HourFile hours[] = {{"16-bit", 1, 2, {}}, {"24-bit", 1, 3, {}}, {"float", 3, 4, {}}};
    for (HourFile& hour : hours)
        WriteHour(hour, dir);
    const auto removeFiles = [&] {
        std::filesystem::remove(testFile);
        for (const HourFile& hour : hours)
            std::filesystem::remove(hour.path);
    };

    // Anonymous memory, first, while the allocator holds nothing it could hand out again: a track that holds
    // a short file, then the hour-long 16-bit one with its overview (the drawing not counted).
    long shortFile = 0, hourFile = 0;
    {
        Track track;
        ReadWithReader(track);
        shortFile = pikota::test::StatusKiB("RssAnon");
        ReadSoundFile(track, QString::fromStdString(hours[0].path), [](const QString&) {});
        while (!track.File->overviewFinished())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        hourFile = pikota::test::StatusKiB("RssAnon");
    }

    // Both must fill the arrays identically, or the comparison means nothing.
    {
        Track a;
        Track b;
        std::vector<short> interleaved(2 * static_cast<std::size_t>(kFrames));
        ReadWithReader(a);
        ReadWithSndfile(b, interleaved);
        if (a.SampleLimit != kLastSampleIndex || *a.LeftSamples != *b.LeftSamples ||
            *a.RightSamples != *b.RightSamples) {
            std::fprintf(stderr, "the reader and libsndfile disagree on the test file\n");
            removeFiles();
            return 1;
        }
    }

    // Defaults first, so flags given on the command line override them.
    std::vector<char*> args{argv[0]};
    std::string repetitions = "--benchmark_repetitions=9";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.push_back(repetitions.data());
    args.push_back(interleave.data());
    args.insert(args.end(), argv + 1, argv + argc);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    benchmark::RegisterBenchmark("ReadWaveFile", BM_ReadWaveFile)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("libsndfile", BM_Libsndfile)->Unit(benchmark::kMicrosecond);
    std::vector<char> buffer(static_cast<std::size_t>(hours[2].size)); // the largest, touched once
    ReadWhole(hours[2], buffer);
    for (const HourFile& hour : hours) {
        ReadWhole(hour, buffer); // the page cache warm
        benchmark::RegisterBenchmark((std::string("hour overview ") + hour.name).c_str(),
                                     [&hour](benchmark::State& state) {
                                         for (auto _ : state)
                                             MakeOverview(hour);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2);
        benchmark::RegisterBenchmark((std::string("hour read() ") + hour.name).c_str(),
                                     [&hour, &buffer](benchmark::State& state) {
                                         for (auto _ : state)
                                             ReadWhole(hour, buffer);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    removeFiles();

    const double reader = RatioReporter::Median(reporter.times["ReadWaveFile"]);
    const double sndfile = RatioReporter::Median(reporter.times["libsndfile"]);
    if (reader > 0.0 && sndfile > 0.0) {
        std::printf("reader/libsndfile = %.2f (median %.0f us vs %.0f us)\n", reader / sndfile, reader,
                    sndfile);
    }
    for (const HourFile& hour : hours) {
        const double overview =
            RatioReporter::Median(reporter.times[std::string("hour overview ") + hour.name]);
        const double floor = RatioReporter::Median(reporter.times[std::string("hour read() ") + hour.name]);
        if (overview > 0.0 && floor > 0.0)
            std::printf("hour overview %s / read() = %.2f (median %.0f ms vs %.0f ms, %.0f MB)\n", hour.name,
                        overview / floor, overview, floor, static_cast<double>(hour.size) / 1e6);
    }
    std::printf("anonymous memory with the hour-long 16-bit file loaded: %+ld KiB over a short one\n",
                hourFile - shortFile);
    return 0;
}
