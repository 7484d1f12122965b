// bench_wave: the program's WAV reader against libsndfile doing the same job on the same file: 500001
// frames of 16-bit stereo into a left and a right array. Both run side by side in one process, with
// repetitions interleaved at random; the result is the ratio of their median times.
#include "tests/support/WavBytes.h"
#include "wave/WaveReader.h"

#include <QString>

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

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
    ReadWaveFile(track, QString::fromLocal8Bit(testFile.c_str()),
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
            std::filesystem::remove(testFile);
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
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove(testFile);

    const double reader = RatioReporter::Median(reporter.times["ReadWaveFile"]);
    const double sndfile = RatioReporter::Median(reporter.times["libsndfile"]);
    if (reader > 0.0 && sndfile > 0.0) {
        std::printf("reader/libsndfile = %.2f (median %.0f us vs %.0f us)\n", reader / sndfile, reader,
                    sndfile);
    }
    return 0;
}
