// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_wave: the program's readers against plain reads of the same files, side by side in one process,
// repetitions interleaved at random; the results are the ratios of their median times.
// - The WAV reader against libsndfile doing the same job on the same file: 500001 frames of 16-bit stereo
//   into a left and a right array.
// - An hour of 44.1 kHz stereo, 16-bit, 24-bit and float WAV: the overview of the whole file made, from the
//   read to its last block, against one plain read() of the same file into a buffer, the floor; the page
//   cache warm.
// - Ten minutes of stereo in FLAC, MP3, Ogg Vorbis (44.1 kHz) and Ogg Opus (48 kHz): the overview made
//   against a plain sf_readf_short() loop over the same file.
// - A click's scope window anywhere in an hour of MP3 and of FLAC: 200 windows of 20 ms read at random
//   frames once the overview is made, and 20 while it is being made; the mean and the worst.
// - The anonymous memory that an hour-long file of each kind takes beyond a short one, each in a process
//   of its own.
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
#include <random>
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
void Load(Track& track, const std::string& path) {
    ReadSoundFile(track, QString::fromStdString(path), [](const QString&) {});
    while (track.File->overviewRunning())
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    benchmark::DoNotOptimize(track.File->ready().data());
}
void MakeOverview(const std::string& path) {
    Track track;
    Load(track, path);
}

// A compressed file, written by libsndfile from floats (its MP3 writer gets 16-bit samples wrong).
struct Compressed {
    const char* name;
    int format;
    int rate;
    std::string path;
};

void WriteCompressed(Compressed& file, const std::filesystem::path& dir, int seconds) {
    file.path = (dir / ("bench_wave_" + std::string(file.name) + "_" + std::to_string(seconds) + "_" +
                        std::to_string(getpid())))
                    .string();
    SF_INFO info{};
    info.samplerate = file.rate;
    info.channels = 2;
    info.format = file.format;
    SNDFILE* out = sf_open(file.path.c_str(), SFM_WRITE, &info);
    if (!out)
        throw std::runtime_error(std::string("cannot write ") + file.name);
    std::vector<float> piece(2 * 65536);
    const std::int64_t frames = std::int64_t{seconds} * file.rate;
    for (std::int64_t frame = 0; frame < frames;) {
        const std::int64_t n = std::min<std::int64_t>(65536, frames - frame);
        for (std::int64_t i = 0; i < n; ++i, ++frame) {
            const double t = static_cast<double>(frame) / file.rate;
            const double v =
                0.5 * std::sin(2 * 3.141592653589793 * 440 * t) * (0.6 + 0.4 * std::sin(t * 0.7));
            piece[static_cast<std::size_t>(2 * i)] = static_cast<float>(v);
            piece[static_cast<std::size_t>(2 * i + 1)] = static_cast<float>(-v);
        }
        sf_writef_float(out, piece.data(), n);
    }
    sf_close(out);
}

// The floor of a compressed file's overview: a plain decode of the whole file.
void DecodePlain(const std::string& path) {
    SF_INFO info{};
    SNDFILE* in = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<short> piece(static_cast<std::size_t>(8192 * info.channels));
    while (sf_readf_short(in, piece.data(), 8192) > 0)
        benchmark::DoNotOptimize(piece.data());
    sf_close(in);
}

// The time of windows of 20 ms read at random frames of a long file, in ms: the mean and the worst.
std::pair<double, double> WindowTimes(const LoadedFile& file, int count) {
    std::mt19937_64 random(7);
    std::int16_t window[882];
    double sum = 0, worst = 0;
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(file.frames() - 882));
        const auto start = std::chrono::steady_clock::now();
        if (file.readFirstChannel(at, 882, window) != 882)
            throw std::runtime_error("a window came short");
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        sum += ms;
        worst = std::max(worst, ms);
    }
    return {sum / count, worst};
}

// The anonymous memory that the file takes, loaded and overviewed, beyond a short WAV file, as this program
// started anew with --anonymous FILE measures it: so that what an earlier file left to the allocator counts
// for none.
std::string self;

long AnonymousKiB(const std::string& path) {
    FILE* child = popen(("'" + self + "' --anonymous '" + path + "'").c_str(), "r");
    long grown = -1;
    if (child && std::fscanf(child, "%ld", &grown) != 1)
        grown = -1;
    if (child)
        pclose(child);
    return grown;
}

int MeasureAnonymous(const std::string& path) {
    Track track;
    ReadWithReader(track);
    const long before = pikota::test::StatusKiB("RssAnon");
    Load(track, path);
    std::printf("%ld\n", pikota::test::StatusKiB("RssAnon") - before);
    return 0;
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
    if (argc == 3 && std::string(argv[1]) == "--anonymous") {
        const int result = MeasureAnonymous(argv[2]);
        std::filesystem::remove(testFile);
        return result;
    }
    self = std::filesystem::canonical("/proc/self/exe").string();
    HourFile hours[] = {{"16-bit", 1, 2, {}}, {"24-bit", 1, 3, {}}, {"float", 3, 4, {}}};
    for (HourFile& hour : hours)
        WriteHour(hour, dir);
    Compressed tens[] = {{"FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, {}},
                         {"MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, {}},
                         {"Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, {}},
                         {"Opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, {}}};
    for (Compressed& ten : tens)
        WriteCompressed(ten, dir, 600);
    Compressed longOnes[] = {{"MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, {}},
                             {"FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, {}}};
    for (Compressed& hour : longOnes)
        WriteCompressed(hour, dir, 3600);
    const auto removeFiles = [&] {
        std::filesystem::remove(testFile);
        for (const HourFile& hour : hours)
            std::filesystem::remove(hour.path);
        for (const Compressed& file : tens)
            std::filesystem::remove(file.path);
        for (const Compressed& file : longOnes)
            std::filesystem::remove(file.path);
    };

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

    // Windows of the hour-long compressed files: while the overview is being made (a handle of their own),
    // and once it is made (the handle that decoded the whole file).
    std::vector<std::string> windows;
    for (const Compressed& hour : longOnes) {
        Track track;
        ReadSoundFile(track, QString::fromStdString(hour.path), [](const QString&) {});
        const auto [meanMaking, worstMaking] = WindowTimes(*track.File, 20);
        while (track.File->overviewRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto [mean, worst] = WindowTimes(*track.File, 200);
        char line[256];
        std::snprintf(line, sizeof line,
                      "a click's window in an hour of %s: mean %.2f ms, worst %.2f ms (while the overview is "
                      "made: mean %.2f ms, worst %.2f ms)\n",
                      hour.name, mean, worst, meanMaking, worstMaking);
        windows.emplace_back(line);
    }

    // Defaults first, so flags given on the command line override them.
    std::vector<char*> args{argv[0]};
    std::string repetitions = "--benchmark_repetitions=5";
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
    const auto pair = [](const std::string& name, auto measured, auto floor) {
        benchmark::RegisterBenchmark(("overview " + name).c_str(),
                                     [measured](benchmark::State& state) {
                                         for (auto _ : state)
                                             measured();
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
        benchmark::RegisterBenchmark(("floor " + name).c_str(),
                                     [floor](benchmark::State& state) {
                                         for (auto _ : state)
                                             floor();
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    };
    for (const HourFile& hour : hours) {
        ReadWhole(hour, buffer); // the page cache warm
        pair(
            std::string("hour ") + hour.name, [&hour] { MakeOverview(hour.path); },
            [&hour, &buffer] { ReadWhole(hour, buffer); });
    }
    for (const Compressed& ten : tens)
        pair(
            std::string("ten minutes ") + ten.name, [&ten] { MakeOverview(ten.path); },
            [&ten] { DecodePlain(ten.path); });
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double reader = RatioReporter::Median(reporter.times["ReadWaveFile"]);
    const double sndfile = RatioReporter::Median(reporter.times["libsndfile"]);
    if (reader > 0.0 && sndfile > 0.0) {
        std::printf("reader/libsndfile = %.2f (median %.0f us vs %.0f us)\n", reader / sndfile, reader,
                    sndfile);
    }
    const auto ratio = [&](const std::string& name, const char* floor) {
        const double overview = RatioReporter::Median(reporter.times["overview " + name]);
        const double plain = RatioReporter::Median(reporter.times["floor " + name]);
        if (overview > 0.0 && plain > 0.0)
            std::printf("%s overview / %s = %.2f (median %.0f ms vs %.0f ms)\n", name.c_str(), floor,
                        overview / plain, overview, plain);
    };
    for (const HourFile& hour : hours)
        ratio(std::string("hour ") + hour.name, "read()");
    for (const Compressed& ten : tens)
        ratio(std::string("ten minutes ") + ten.name, "sf_readf_short loop");
    for (const std::string& line : windows)
        std::fputs(line.c_str(), stdout);
    for (const HourFile& hour : hours)
        std::printf("anonymous memory with an hour of %s WAV loaded: %+ld KiB over a short file\n", hour.name,
                    AnonymousKiB(hour.path));
    for (const Compressed& hour : longOnes)
        std::printf("anonymous memory with an hour of %s loaded: %+ld KiB over a short file\n", hour.name,
                    AnonymousKiB(hour.path));
    removeFiles();
    return 0;
}
