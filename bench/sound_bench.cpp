// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_sound: how closely the real device (the libpulse engine) follows the sound, measured against a
// real sound server (PulseAudio, or PipeWire through pipewire-pulse). Run by hand, not by ctest:
//
//     build/bin/bench_sound            (starts a private server in build/sound/bench unless PULSE_SERVER
//                                       is set; PIKOTA_SOUND_SERVER=pulseaudio or pipewire picks which)
//     PIKOTA_BENCH_RECORD_SECONDS=10 build/bin/bench_sound   (shorter recording)
//     PIKOTA_BENCH_DUMP=1 build/bin/bench_sound              (also prints the first positions and callbacks)
//
// It reports
//   - the error of "status wfile position" against the stream's DAC clock: every output callback is
//     logged with the time its first frame reaches the listener, and the frame heard at any moment
//     follows from that log;
//   - the slope of position against wall time over 5 s (1.000 is right);
//   - the error of the position against what the default sink plays, from its monitor (a ramp file whose
//     every frame says which it is), and the slope of position against the sound; also across a 50 ms
//     freeze of each process of the server (SIGSTOP, SIGCONT) when the server's pid files are known
//     (PIKOTA_SOUND_SERVER_DIR, or the private server the bench starts itself);
//   - the delay from the moment the last frame is heard to the first "status" that gives position = length;
//   - frames lost while recording with both cores loaded, and the memory growth during the recording.

#include "bench/ProcessStatus.h"
#include "platform/sound/PulseEngine.h"
#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"
#include "tests/support/SinkMonitor.h"
#include "tests/support/SoundServerProcesses.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

using namespace pikota::sound;
using Clock = std::chrono::steady_clock;

namespace {

// Wraps the real engine and logs what passes through the callbacks.
class ProbeEngine final : public Engine {
public:
    struct Buffer {
        double dac;
        std::int64_t firstFrame; // frames rendered by this stream before this buffer
        std::int64_t sounding;   // frames of this buffer that are not silence (the file is never silent)
    };

    explicit ProbeEngine(std::shared_ptr<Engine> inner) : inner_(std::move(inner)), log_(1 << 20) {}

    Error openOutput(int rate, OutputSource& source, std::unique_ptr<Stream>& stream) override {
        output_.inner = &source;
        output_.engine = this;
        std::unique_ptr<Stream> inner;
        const Error error = inner_->openOutput(rate, output_, inner);
        if (error == Error::None) {
            stream = std::make_unique<ProbeStream>(std::move(inner), this);
            outputStream_ = stream.get();
        }
        return error;
    }
    Error openInput(int rate, int channels, InputSink& sink, std::unique_ptr<Stream>& stream) override {
        input_.inner = &sink;
        return inner_->openInput(rate, channels, input_, stream);
    }

    void reset() {
        count_ = 0;
        rendered_ = 0;
        input_.frames = 0;
    }
    std::vector<Buffer> log() const {
        return {log_.begin(), log_.begin() + count_.load(std::memory_order_acquire)};
    }
    double streamTime() const { return outputStream_ ? outputStream_->time() : 0; }
    std::int64_t captured() const { return input_.frames.load(); }

private:
    struct ProbeStream final : Stream {
        ProbeStream(std::unique_ptr<Stream> inner, ProbeEngine* engine)
            : inner(std::move(inner)), engine(engine) {}
        ~ProbeStream() override {
            if (engine->outputStream_ == this)
                engine->outputStream_ = nullptr;
        }
        Error start() override {
            engine->rendered_ = 0;
            return inner->start();
        }
        void stop() override { inner->stop(); }
        double time() const override { return inner->time(); }
        Error error() const override { return inner->error(); }
        Error check() override { return inner->check(); }
        std::unique_ptr<Stream> inner;
        ProbeEngine* engine;
    };
    struct OutputProbe final : OutputSource {
        void render(float* out, std::size_t frames, double dac, bool realtime) override {
            inner->render(out, frames, dac, realtime);
            std::size_t sounding = 0;
            while (sounding < frames && (out[sounding * 2] != 0.0f || out[sounding * 2 + 1] != 0.0f))
                ++sounding;
            const std::size_t at = engine->count_.load(std::memory_order_relaxed);
            if (at < engine->log_.size()) {
                engine->log_[at] = {dac, engine->rendered_, static_cast<std::int64_t>(sounding)};
                engine->count_.store(at + 1, std::memory_order_release);
            }
            engine->rendered_ += static_cast<std::int64_t>(frames);
        }
        OutputSource* inner = nullptr;
        ProbeEngine* engine = nullptr;
    };
    struct InputProbe final : InputSink {
        void capture(const std::int16_t* in, std::size_t n) override {
            frames.fetch_add(static_cast<std::int64_t>(n), std::memory_order_relaxed);
            inner->capture(in, n);
        }
        InputSink* inner = nullptr;
        std::atomic<std::int64_t> frames{0};
    };

    std::shared_ptr<Engine> inner_;
    std::vector<Buffer> log_;
    std::atomic<std::size_t> count_{0};
    std::int64_t rendered_ = 0;
    OutputProbe output_;
    InputProbe input_;
    Stream* outputStream_ = nullptr;
};

std::string send(SoundService& service, const std::string& command) {
    const CommandResult result = sendCommand(service, command.c_str());
    if (result.code != 0) {
        std::fprintf(stderr, "%s: %d %s\n", command.c_str(), result.code, result.text.value_or("").c_str());
        std::exit(1);
    }
    return result.text.value_or("");
}

long rssKiB() { return pikota::test::StatusKiB("VmRSS"); }

// A tone that never passes through zero, so silence in the output means "no file data".
// A 1000 Hz tone around 0.25, never silent, as float.
void writeTone(const std::string& path, double seconds) {
    pikota::test::writeSound(
        path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, static_cast<std::int64_t>(seconds * 44100),
        [](std::int64_t n, int) { return 0.25 + pikota::test::sine(1000, n, 44100, 0.2); });
}

// The frame heard at stream time t according to the callbacks' DAC times.
double dacFrame(const std::vector<ProbeEngine::Buffer>& log, double t) {
    const ProbeEngine::Buffer* at = nullptr;
    for (const auto& b : log)
        if (b.dac <= t)
            at = &b;
    if (!at)
        return 0;
    return static_cast<double>(at->firstFrame) +
           std::min<double>((t - at->dac) * 44100, static_cast<double>(at->sounding));
}

void positionAndSlope(SoundService& service, ProbeEngine& probe, const std::string& tone) {
    probe.reset();
    send(service, "open " + tone + " type waveaudio alias wfile");
    send(service, "set wfile time format ms");
    struct Sample {
        double stream;
        double wallMs;
        long positionMs;
    };
    std::vector<Sample> samples;
    const auto start = Clock::now();
    send(service, "play wfile");
    while (Clock::now() - start < std::chrono::milliseconds(5600)) {
        std::this_thread::sleep_for(std::chrono::microseconds(7000 + std::rand() % 6000));
        const double before = probe.streamTime();
        const long position = std::stol(send(service, "status wfile position"));
        const double after = probe.streamTime();
        samples.push_back({(before + after) / 2,
                           std::chrono::duration<double, std::milli>(Clock::now() - start).count(),
                           position});
    }
    send(service, "close wfile");
    const auto log = probe.log();

    std::vector<double> errors;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (const Sample& s : samples) {
        const double expected = dacFrame(log, s.stream) * 1000 / 44100;
        if (expected > 50)
            errors.push_back(static_cast<double>(s.positionMs) - expected);
        if (s.wallMs >= 500 && s.wallMs <= 5500) {
            sx += s.wallMs;
            sy += static_cast<double>(s.positionMs);
            sxx += s.wallMs * s.wallMs;
            sxy += s.wallMs * static_cast<double>(s.positionMs);
            ++n;
        }
    }
    if (std::getenv("PIKOTA_BENCH_DUMP"))
        for (std::size_t i = 0; i < samples.size() && i < 60; ++i)
            std::printf("  %8.1f ms  position %5ld  DAC %8.1f  stream %.4f\n", samples[i].wallMs,
                        samples[i].positionMs, dacFrame(log, samples[i].stream) * 1000 / 44100,
                        samples[i].stream);
    if (std::getenv("PIKOTA_BENCH_DUMP"))
        for (std::size_t i = 0; i < log.size() && i < 30; ++i)
            std::printf("  buffer %zu dac %.4f first %lld sounding %lld\n", i, log[i].dac,
                        static_cast<long long>(log[i].firstFrame), static_cast<long long>(log[i].sounding));
    std::vector<double> absolute;
    double mean = 0;
    for (double e : errors) {
        mean += e;
        absolute.push_back(std::abs(e));
    }
    mean /= static_cast<double>(errors.size());
    std::sort(absolute.begin(), absolute.end());
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double intercept = (sy - slope * sx) / n;
    double earlyResidual = 0, lateResidual = 0;
    for (const Sample& s : samples) {
        const double residual = std::abs(static_cast<double>(s.positionMs) - (intercept + slope * s.wallMs));
        (s.wallMs < 500 ? earlyResidual : lateResidual) =
            std::max(s.wallMs < 500 ? earlyResidual : lateResidual, residual);
    }
    std::printf("position vs DAC clock      %zu samples: mean %+.2f ms, p95 |e| %.2f ms, max |e| %.2f ms\n",
                errors.size(), mean, absolute[absolute.size() * 95 / 100], absolute.back());
    std::printf(
        "position vs wall time      slope %.4f over 5 s (%d samples); largest distance from that line: "
        "%.1f ms in the first 0.5 s, %.1f ms after\n",
        slope, n, earlyResidual, lateResidual);
    std::printf("output callbacks           %zu, first heard %.1f ms after play\n", log.size(),
                log.empty() ? 0.0
                            : (log.front().dac - samples.front().stream) * 1000 + samples.front().wallMs);
}

struct Stats {
    double mean = 0, p95 = 0, max = 0;
    std::size_t count = 0;
};

Stats stats(const std::vector<double>& errors) {
    Stats s;
    s.count = errors.size();
    if (errors.empty())
        return s;
    std::vector<double> absolute;
    for (double e : errors) {
        s.mean += e;
        absolute.push_back(std::abs(e));
    }
    s.mean /= static_cast<double>(errors.size());
    std::sort(absolute.begin(), absolute.end());
    s.p95 = absolute[absolute.size() * 95 / 100];
    s.max = absolute.back();
    return s;
}

// Plays the ramp, asks for the position every 7-13 ms, and compares it with what the sink's monitor heard
// at that moment. With `freezeName`, that process of the server is stopped for 50 ms at 2 s.
void sinkPosition(SoundService& service, const std::string& ramp, std::int64_t rampFrames,
                  const pikota::test::ServerProcess* frozen) {
    pikota::test::SinkMonitor monitor;
    monitor.waitForMore(4410);
    send(service, "open " + ramp + " type waveaudio alias wfile");
    send(service, "set wfile time format ms");
    const long length = std::stol(send(service, "status wfile length"));
    struct Sample {
        Clock::time_point when;
        double wallMs;
        long positionMs;
        double monitorSample; // the capture's sample the sink plays, by the server's account
    };
    std::vector<Sample> samples;
    const auto start = Clock::now();
    send(service, "play wfile");
    bool froze = false;
    double frozeAtMs = 0;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::microseconds(7000 + std::rand() % 6000));
        const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (frozen && !froze && wall >= 2000) {
            frozeAtMs = wall;
            pikota::test::freeze(frozen->pid, std::chrono::milliseconds(50));
            froze = true;
        }
        const auto before = Clock::now();
        const double playing1 = monitor.playingNow();
        const long position = std::stol(send(service, "status wfile position"));
        const double playing2 = monitor.playingNow();
        const auto after = Clock::now();
        samples.push_back({before + (after - before) / 2,
                           std::chrono::duration<double, std::milli>(after - start).count(), position,
                           (playing1 + playing2) / 2});
        if (position >= length || wall > 20000)
            break;
    }
    monitor.waitForMore(4410);
    send(service, "close wfile");
    const auto captured = monitor.samples();
    const auto chunks = monitor.chunks();

    // The frame the sink plays by the server's clock of the monitor, and by the moments chunks arrived.
    const auto byClock = [&](const Sample& s) {
        const auto at = static_cast<std::size_t>(std::max(0.0, s.monitorSample));
        return s.monitorSample < 0 || at >= captured.size()
                   ? -1.0
                   : pikota::test::rampFrame(captured[at], rampFrames);
    };
    // Errors against both references, before the freeze (or all) and from 100 ms after it; the slope of
    // position against the sound by the arrivals (the server's clock of the monitor is upset when the
    // process that serves it is the one frozen).
    std::vector<double> clockBefore, clockAfter, arrivalBefore, arrivalAfter;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (const Sample& s : samples) {
        const double played = byClock(s);
        const double arrived = pikota::test::playedAt(captured, chunks, s.when, rampFrames, 44100);
        if (played < 0 || arrived < 0 || s.wallMs < 500 || s.positionMs >= length - 100)
            continue;
        const bool before = !frozen || s.wallMs < frozeAtMs;
        if (!before && s.wallMs < frozeAtMs + 100)
            continue;
        const double position = static_cast<double>(s.positionMs);
        const double arrivedMs = arrived * 1000 / 44100;
        (before ? clockBefore : clockAfter).push_back(position - played * 1000 / 44100);
        (before ? arrivalBefore : arrivalAfter).push_back(position - arrivedMs);
        sx += arrivedMs;
        sy += position;
        sxx += arrivedMs * arrivedMs;
        sxy += arrivedMs * position;
        ++n;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    if (std::getenv("PIKOTA_BENCH_DUMP"))
        for (const Sample& s : samples)
            std::printf("  %8.1f ms  position %5ld  sink %8.1f  arrived %8.1f\n", s.wallMs, s.positionMs,
                        byClock(s) * 1000 / 44100,
                        pikota::test::playedAt(captured, chunks, s.when, rampFrames, 44100) * 1000 / 44100);
    const Stats c = stats(clockBefore), a = stats(arrivalBefore);
    if (!frozen) {
        std::printf(
            "position vs sink monitor   %zu samples: by the server's clock of the monitor mean %+.1f ms, "
            "p95 |e| %.1f ms, max |e| %.1f ms;\n"
            "                           by the monitor's arrivals mean %+.1f ms, max |e| %.1f ms; "
            "slope against the sound %.4f\n",
            c.count, c.mean, c.p95, c.max, a.mean, a.max, slope);
    } else {
        const Stats ca = stats(clockAfter), aa = stats(arrivalAfter);
        std::printf(
            "%-14s frozen 50 ms at 2 s: by clock before mean %+.1f max %.1f, after mean %+.1f max %.1f; "
            "by arrivals before mean %+.1f max %.1f, after mean %+.1f max %.1f ms; slope %.4f\n",
            frozen->name.c_str(), c.mean, c.max, ca.mean, ca.max, a.mean, a.max, aa.mean, aa.max, slope);
    }
}

void endDelay(SoundService& service, ProbeEngine& probe, const std::string& tone) {
    std::vector<double> delays;
    for (int round = 0; round < 5; ++round) {
        probe.reset();
        send(service, "open " + tone + " type waveaudio alias wfile");
        const std::string length = send(service, "status wfile length");
        send(service, "play wfile");
        double seen = 0;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            // The clock is read before the status: the one that finds the end also stops the stream,
            // and a stopped stream's clock stands at the last frame handed to the sink.
            const double now = probe.streamTime();
            if (send(service, "status wfile position") == length) {
                seen = now;
                break;
            }
        }
        const auto log = probe.log();
        double lastHeard = 0;
        for (const auto& b : log)
            if (b.sounding > 0)
                lastHeard = b.dac + static_cast<double>(b.sounding) / 44100;
        send(service, "close wfile");
        delays.push_back((seen - lastHeard) * 1000);
    }
    std::sort(delays.begin(), delays.end());
    std::printf(
        "end: last frame heard ->   position = length after %.2f / %.2f / %.2f ms (min / median / max, "
        "polled every 0.5 ms)\n",
        delays.front(), delays[delays.size() / 2], delays.back());
}

// Plays a file of `minutes` at 8000 Hz, 8-bit mono for two seconds; returns the RSS growth in KiB.
long playLong(SoundService& service, const std::string& folder, int minutes, std::string& length) {
    const std::string path = folder + "/long.wav";
    {
        SF_INFO info{};
        info.samplerate = 8000;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        std::vector<short> minute(8000 * 60);
        for (std::size_t n = 0; n < minute.size(); ++n)
            minute[n] = static_cast<short>(
                8000 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(n) / 8000));
        for (int m = 0; m < minutes; ++m)
            sf_writef_short(file, minute.data(), static_cast<sf_count_t>(minute.size()));
        sf_close(file);
    }
    const long before = rssKiB();
    send(service, "open " + path + " type waveaudio alias wfile");
    length = send(service, "status wfile length");
    send(service, "play wfile");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long growth = rssKiB() - before;
    send(service, "close wfile");
    std::filesystem::remove(path);
    return growth;
}

void longFile(SoundService& service, const std::string& folder) {
    std::string shortLength, longLength;
    const long shortGrowth = playLong(service, folder, 1, shortLength);
    const long longGrowth = playLong(service, folder, 120, longLength);
    std::printf("memory while playing       1-minute file (%s ms) %+ld KiB, two-hour file (%s ms, 57.6 MB) "
                "%+ld KiB\n",
                shortLength.c_str(), shortGrowth, longLength.c_str(), longGrowth);
}

void recording(SoundService& service, ProbeEngine& probe, const std::string& folder, int seconds) {
    std::atomic<bool> busy{true};
    std::vector<std::thread> load;
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
        load.emplace_back([&busy] {
            volatile double x = 1;
            while (busy.load(std::memory_order_relaxed))
                x = std::sqrt(x + 1.0);
        });
    probe.reset();
    send(service, "open new type waveaudio alias wfile");
    const long rssOpen = rssKiB();
    long rss5 = 0;
    const auto start = Clock::now();
    send(service, "record wfile");
    for (int s = 1; s <= seconds; ++s) {
        std::this_thread::sleep_until(start + std::chrono::seconds(s));
        if (s == 5)
            rss5 = rssKiB();
    }
    const long rssEnd = rssKiB();
    send(service, "stop wfile");
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    busy = false;
    for (auto& t : load)
        t.join();
    const long length = std::stol(send(service, "status wfile length"));
    const std::string path = folder + "/bench recording.wav";
    send(service, "save wfile \"" + path + "\"");
    send(service, "close wfile");

    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<short> samples(static_cast<std::size_t>(info.frames) * 2);
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    // Every half period of the 440 Hz input is 50.1 frames; a dropout or a doubled buffer breaks one.
    std::int64_t broken = 0, last = -1;
    for (std::int64_t n = 4410; n < info.frames; ++n) {
        if ((samples[(n - 1) * 2] < 0) != (samples[n * 2] < 0)) {
            if (last >= 0 && std::abs(static_cast<double>(n - last) - 44100.0 / 880) > 3)
                ++broken;
            last = n;
        }
    }
    std::printf(
        "recording %d s, %u busy threads: callback frames %lld, saved %lld (lost %lld), length %ld ms,\n"
        "                           wall %.3f s = %lld frames, broken half periods %lld\n",
        seconds, std::max(2u, std::thread::hardware_concurrency()), static_cast<long long>(probe.captured()),
        static_cast<long long>(info.frames), static_cast<long long>(probe.captured() - info.frames), length,
        wall, static_cast<long long>(wall * 44100), static_cast<long long>(broken));
    std::printf(
        "memory while recording     RSS at open %ld KiB, after 5 s %ld KiB, after %d s %ld KiB (growth "
        "5 s -> end %+ld KiB)\n",
        rssOpen, rss5, seconds, rssEnd, rssEnd - rss5);
}

} // namespace

int main() {
    std::signal(SIGXFSZ, SIG_IGN); // as the program's main() does for its recordings
    std::string serverDir =
        std::getenv("PIKOTA_SOUND_SERVER_DIR") ? std::getenv("PIKOTA_SOUND_SERVER_DIR") : "";
    const bool ownServer = !std::getenv("PULSE_SERVER");
    if (ownServer) {
        const char* kind = std::getenv("PIKOTA_SOUND_SERVER");
        const std::string dir = std::string(PIKOTA_BINARY_DIR) + "/sound/bench";
        serverDir = dir;
        if (!pikota::test::startSoundServer(std::string(PIKOTA_SOURCE_DIR) + "/scripts/sound-server", dir,
                                            kind ? kind : "") ||
            !pikota::test::useSoundServer(dir))
            return 1;
    }
    const char* secondsText = std::getenv("PIKOTA_BENCH_RECORD_SECONDS");
    const int seconds = secondsText ? std::max(6, std::atoi(secondsText)) : 60;

    const std::string folder =
        std::filesystem::temp_directory_path() / ("pikota-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    writeTone(folder + "/tone6.wav", 6.0);
    writeTone(folder + "/tone1.wav", 1.0);
    constexpr std::int64_t kRampFrames = 4 * 44100;
    pikota::test::writeRamp(folder + "/ramp.wav", 44100, kRampFrames);

    auto probe = std::make_shared<ProbeEngine>(makePulseEngine());
    auto service = makeSoundService(probe);
    std::printf("bench_sound on %s\n", std::getenv("PULSE_SERVER"));
    positionAndSlope(*service, *probe, folder + "/tone6.wav");
    sinkPosition(*service, folder + "/ramp.wav", kRampFrames, nullptr);
    for (const auto& process : pikota::test::soundServerProcesses(serverDir))
        sinkPosition(*service, folder + "/ramp.wav", kRampFrames, &process);
    endDelay(*service, *probe, folder + "/tone1.wav");
    longFile(*service, folder);
    recording(*service, *probe, folder, seconds);
    std::filesystem::remove_all(folder);
    service.reset();
    // A private server this run started goes with it, as bench_cpu's do.
    if (ownServer)
        std::system(("'" PIKOTA_SOURCE_DIR "/scripts/sound-server' stop '" + serverDir + "'").c_str());
    return 0;
}
