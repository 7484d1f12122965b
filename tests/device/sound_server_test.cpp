// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The real device on the libpulse engine against the private sound server of the test's fixture
// (PULSE_SERVER; PulseAudio or PipeWire): what is played comes out of the default sink when it should,
// and the 440 Hz default source is recorded and saved. The server is never killed here.

#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"
#include "tests/support/SinkMonitor.h"
#include "tests/support/SoundServerProcesses.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace pikota::sound;
using namespace pikota::test;
using namespace std::chrono_literals;
using pikota::test::SinkMonitor;

namespace {

class SoundServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "needs a sound server fixture";
    }

    std::unique_ptr<SoundService> service = makeSoundService();
    ScratchFolder folder;
    std::string reply;

    std::int32_t send(const std::string& command) {
        const CommandResult result = sendCommand(*service, command.c_str());
        reply = result.text.value_or("");
        return result.code;
    }
    std::int64_t status(const char* what) {
        EXPECT_EQ(send(std::string("status wfile ") + what), 0) << reply;
        return std::atoll(reply.c_str());
    }
    template <typename Done> static bool waitFor(Done done, std::chrono::seconds limit = 20s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }
    // The stretches of a capture that hold sound, [begin, end), at least `shortest` samples each, with
    // gaps shorter than `bridged` samples taken as part of the sound around them: the graph of a server
    // on a busy machine drops out now and then for a few milliseconds, for any client (paplay too),
    // which says nothing about the device.
    static std::vector<std::pair<std::size_t, std::size_t>>
    soundStretches(const std::vector<std::int16_t>& samples, bool (*sounds)(std::int16_t),
                   std::size_t bridged, std::size_t shortest) {
        std::vector<std::pair<std::size_t, std::size_t>> parts;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (!sounds(samples[i]))
                continue;
            if (parts.empty() || i - parts.back().second >= bridged)
                parts.emplace_back(i, i);
            parts.back().second = i + 1;
        }
        std::erase_if(parts, [shortest](auto p) { return p.second - p.first < shortest; });
        return parts;
    }
    // Whether the capture has a gap inside its sound: more stretches than the sound played, or 1 ms or
    // more of silence inside one. That is a dropout of the server's graph, not of the device.
    static bool dropoutIn(const std::vector<std::int16_t>& samples, bool (*sounds)(std::int16_t),
                          const std::vector<std::pair<std::size_t, std::size_t>>& parts, std::size_t played) {
        if (parts.size() > played)
            return true;
        for (const auto& [begin, end] : parts) {
            std::size_t quiet = 0;
            for (std::size_t i = begin; i < end; ++i)
                if ((quiet = sounds(samples[i]) ? 0 : quiet + 1) >= 44)
                    return true;
        }
        return false;
    }
    // Takes a measurement of what the sink plays. The graph of a server on a busy machine drops out now
    // and then (paplay meets that here too): a try whose capture shows such a dropout (the body says so)
    // and fails is taken again, up to three times, and says so. Any other failure is reported at once.
    template <typename Body> void measureAgainstTheSink(Body body) {
        for (int attempt = 1;; ++attempt) {
            ::testing::TestPartResultArray failures;
            bool dropout = false;
            {
                const ::testing::ScopedFakeTestPartResultReporter quiet(
                    ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
                body(dropout);
            }
            send("close wfile");
            if (failures.size() == 0)
                return;
            if (dropout && attempt < 3) {
                std::printf("[ RETRY    ] try %d: the capture shows a dropout of the server's graph, and:\n",
                            attempt);
                for (int i = 0; i < failures.size(); ++i)
                    std::printf("%s\n", failures.GetTestPartResult(i).message());
                continue;
            }
            for (int i = 0; i < failures.size(); ++i) {
                const ::testing::TestPartResult& failure = failures.GetTestPartResult(i);
                ADD_FAILURE_AT(failure.file_name() ? failure.file_name() : "?", failure.line_number())
                    << failure.message();
            }
            return;
        }
    }
    // A stereo float file at 44100 Hz whose every frame says which it is (see SinkMonitor.h).
    std::string ramp(double seconds, std::int64_t& frames) {
        frames = static_cast<std::int64_t>(seconds * 44100);
        const std::string path = folder.file("ramp.wav");
        pikota::test::writeRamp(path, 44100, frames);
        return path;
    }
};

TEST_F(SoundServer, WhatIsPlayedComesOutOfTheDefaultSink) {
    const std::string file = folder.file("tone.wav");
    writeSound(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 66150,
               [](std::int64_t n, int) { return sine(1000, n, 44100); }); // 1.5 s
    measureAgainstTheSink([&](bool& dropout) {
        SinkMonitor monitor;
        ASSERT_TRUE(monitor.waitForMore(4410)) << "the monitor delivers nothing";

        ASSERT_EQ(send("open " + file + " type waveaudio alias wfile"), 0) << reply;
        EXPECT_EQ(send("set wfile time format ms"), 0);
        EXPECT_EQ(status("length"), 1500);
        ASSERT_EQ(send("play wfile"), 0) << reply;
        std::vector<std::int64_t> positions;
        std::string position, length;
        ASSERT_TRUE(waitFor([&] {
            send("status wfile position");
            position = reply;
            send("status wfile length");
            length = reply;
            positions.push_back(std::atoll(position.c_str()));
            return position == length;
        }));
        EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
        EXPECT_LE(positions.back(), 1500);
        ASSERT_TRUE(monitor.waitForMore(13230)); // 300 ms more
        EXPECT_EQ(send("close wfile"), 0);

        // The loud part of the capture is the tone, as long as the file and at its frequency and level;
        // the frequency and the level are taken over the 10 ms blocks that hold the tone, leaving out a
        // dropout of the server's graph.
        const std::vector<std::int16_t> samples = monitor.samples();
        const auto loudEnough = [](std::int16_t v) { return std::abs(v) > 3000; };
        const auto parts = soundStretches(samples, loudEnough, 2205, 441);
        dropout = dropoutIn(samples, loudEnough, parts, 1);
        ASSERT_FALSE(parts.empty()) << "nothing came out";
        const std::size_t first = parts.front().first, last = parts.back().second;
        EXPECT_NEAR(static_cast<double>(last - first) / 44100, 1.5, 0.05);
        std::int64_t crossings = 0;
        std::size_t loud = 0;
        double energy = 0;
        for (std::size_t block = first; block + 441 <= last; block += 441) {
            double sum = 0;
            std::int64_t c = 0;
            for (std::size_t i = block; i < block + 441; ++i) {
                sum += static_cast<double>(samples[i]) * samples[i];
                c += i > block && (samples[i - 1] < 0) != (samples[i] < 0);
            }
            if (std::sqrt(sum / 441) / 32768 < 0.3)
                continue; // (part of) a dropout: the tone's own level is 0.35
            crossings += c;
            loud += 440;
            energy += sum;
        }
        ASSERT_GT(loud, 44100u);
        EXPECT_NEAR(crossings / 2.0 / (static_cast<double>(loud) / 44100), 1000, 10);
        EXPECT_NEAR(std::sqrt(energy / static_cast<double>(loud + loud / 440)) / 32768, 0.5 / std::sqrt(2.0),
                    0.05);
    });
}

TEST_F(SoundServer, RecordsTheDefaultInputForThreeSeconds) {
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0) << reply;
    EXPECT_EQ(send("set wfile time format ms"), 0);
    ASSERT_EQ(send("record wfile"), 0) << reply;
    ASSERT_TRUE(waitFor([&] { return status("position") >= 3000; }));
    EXPECT_EQ(send("stop wfile"), 0);
    EXPECT_EQ(send("seek wfile to start"), 0);
    const std::int64_t length = status("length");
    EXPECT_GE(length, 3000);
    const std::string saved = folder.file("three seconds.wav");
    ASSERT_EQ(send("save wfile \"" + saved + "\""), 0) << reply;

    const Sound sound = readSound(saved);
    ASSERT_TRUE(sound.ok);
    EXPECT_EQ(sound.info.samplerate, 44100);
    EXPECT_EQ(sound.info.channels, 2);
    EXPECT_EQ(sound.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(sound.info.frames * 1000 / 44100, length);
    EXPECT_GE(sound.info.frames, 3 * 44100);
    EXPECT_NEAR(zeroCrossingFrequency(sound.samples, 2, 0, 44100), 440, 4);
    EXPECT_NEAR(zeroCrossingFrequency(sound.samples, 2, 1, 44100), 440, 4);
    EXPECT_EQ(send("close wfile"), 0);
}

// The first samples of a recording continue the input's sine: nothing stale, no jump, no ringing.
TEST_F(SoundServer, ARecordingStartsWithACleanSine) {
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0) << reply;
    ASSERT_EQ(send("record wfile"), 0) << reply;
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(send("stop wfile"), 0) << reply;
    const std::string saved = folder.file("start.wav");
    ASSERT_EQ(send("save wfile \"" + saved + "\""), 0) << reply;
    EXPECT_EQ(send("close wfile"), 0);

    const Sound sound = readSound(saved);
    ASSERT_TRUE(sound.ok);
    ASSERT_GE(sound.info.frames, 2205);
    // The best a sin + b cos + c at 440 Hz over the first 50 ms, and the largest distance from it.
    const double w = 2 * std::numbers::pi * 440 / 44100;
    double m[3][4] = {};
    for (int n = 0; n < 2205; ++n) {
        const double v[3] = {std::sin(w * n), std::cos(w * n), 1.0};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                m[i][j] += v[i] * v[j];
            m[i][3] += v[i] * sound.samples[static_cast<std::size_t>(n) * 2];
        }
    }
    for (int i = 0; i < 3; ++i)
        for (int r = 0; r < 3; ++r)
            if (r != i) {
                const double f = m[r][i] / m[i][i];
                for (int c = 0; c < 4; ++c)
                    m[r][c] -= f * m[i][c];
            }
    const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], c = m[2][3] / m[2][2];
    double worst = 0;
    int at = 0;
    for (int n = 0; n < 2205; ++n) {
        const double error = std::abs(sound.samples[static_cast<std::size_t>(n) * 2] -
                                      (a * std::sin(w * n) + b * std::cos(w * n) + c));
        if (error > worst) {
            worst = error;
            at = n;
        }
    }
    EXPECT_GT(std::hypot(a, b), 3000) << "no sine";
    EXPECT_LT(worst, 50) << "frame " << at << " leaves the sine";
}

// Pause and resume: the sink hears the file once, in order, with no gap worth the name; on PulseAudio
// also when the server is slow to answer the pause (frozen for 40 ms meanwhile, its sink then catches
// up). On PipeWire the process that answers clients also feeds the graph, so freezing it starves the
// sink: a dropout, not a slow answer.
//
// The capture is what the sink played. A resume that starts before the last frame heard shows in it as
// the ramp going back: frames heard twice, the device's fault. What goes wrong in the capture itself (a
// dropout of the server's graph, data the monitor lost) can only make frames look left out, never heard
// twice, and is told apart by dropoutIn.
TEST_F(SoundServer, ResumeAfterPausePlaysNoFrameTwice) {
    const char* serverDir = std::getenv("PIKOTA_SOUND_SERVER_DIR");
    ASSERT_NE(serverDir, nullptr) << "needs the sound server's folder of pid files";
    const auto processes = pikota::test::soundServerProcesses(serverDir);
    ASSERT_FALSE(processes.empty());
    std::int64_t frames = 0;
    const std::string file = ramp(3, frames);
    std::vector<bool> cases{false};
    if (processes.front().name == "pulseaudio")
        cases.push_back(true);
    for (const bool slow : cases) {
        SCOPED_TRACE(slow ? "the server slow to answer the pause" : "the server quick to answer");
        measureAgainstTheSink([&](bool& dropout) {
            SinkMonitor monitor;
            ASSERT_TRUE(monitor.waitForMore(4410));
            ASSERT_EQ(send("open " + file + " type waveaudio alias wfile"), 0) << reply;
            ASSERT_EQ(send("set wfile time format ms"), 0);
            ASSERT_EQ(send("play wfile"), 0) << reply;
            std::this_thread::sleep_for(1000ms);
            std::thread freezer;
            if (slow) {
                freezer = std::thread([&] { pikota::test::freeze(processes.front().pid, 40ms); });
                std::this_thread::sleep_for(5ms);
            }
            const std::int32_t stopped = send("stop wfile");
            if (freezer.joinable())
                freezer.join();
            ASSERT_EQ(stopped, 0) << reply;
            const std::int64_t paused = status("position");
            std::this_thread::sleep_for(300ms);
            ASSERT_EQ(send("play wfile"), 0) << reply;
            std::this_thread::sleep_for(800ms);
            EXPECT_EQ(send("close wfile"), 0);
            ASSERT_TRUE(monitor.waitForMore(4410));

            // The frames heard, in order; silence between the two parts.
            const std::vector<std::int16_t> captured = monitor.samples();
            const auto ramping = [](std::int16_t v) { return v >= pikota::test::kRampLow / 2 * 32768; };
            const auto parts = soundStretches(captured, ramping, 2205, 2205);
            dropout = dropoutIn(captured, ramping, parts, 2);
            ASSERT_EQ(parts.size(), 2u) << "expected sound, a pause, and sound";
            // Away from the edges of the sound (where a resampler may ring), its own and those of a dropout
            // of the server's graph, every frame follows the one before.
            std::vector<std::size_t> silentBefore(captured.size() + 1, 0); // silent samples before each
            for (std::size_t i = 0; i < captured.size(); ++i)
                silentBefore[i + 1] = silentBefore[i] + (pikota::test::rampFrame(captured[i], frames) < 0);
            for (const auto& [begin, end] : parts) {
                double before = -1;
                for (std::size_t i = begin + 64; i < end - 64; ++i) {
                    if (silentBefore[i + 65] != silentBefore[i - 64])
                        continue;
                    const double frame = pikota::test::rampFrame(captured[i], frames);
                    ASSERT_GT(frame, before - 20) << "the sound goes back at " << i;
                    before = frame;
                }
            }
            const double lastBefore = pikota::test::rampFrame(captured[parts[0].second - 64], frames) + 64;
            const double firstAfter = pikota::test::rampFrame(captured[parts[1].first + 64], frames) - 64;
            EXPECT_GT(firstAfter - lastBefore, -20) << "frames heard twice";
            EXPECT_LT(firstAfter - lastBefore, 0.005 * 44100) << "frames left out";
            EXPECT_NEAR(paused, lastBefore * 1000 / 44100, 5)
                << "the position at the pause is not the last frame heard";
        });
    }
}

// A dropout (each process of the server stopped for 50 ms): the position keeps with the sound.
TEST_F(SoundServer, PositionKeepsWithTheSoundAcrossADropout) {
    const char* serverDir = std::getenv("PIKOTA_SOUND_SERVER_DIR");
    ASSERT_NE(serverDir, nullptr) << "needs the sound server's folder of pid files";
    const auto processes = pikota::test::soundServerProcesses(serverDir);
    ASSERT_FALSE(processes.empty());
    std::int64_t frames = 0;
    const std::string file = ramp(3, frames);
    for (const auto& process : processes) {
        SCOPED_TRACE(process.name);
        SinkMonitor monitor;
        ASSERT_TRUE(monitor.waitForMore(4410));
        ASSERT_EQ(send("open " + file + " type waveaudio alias wfile"), 0) << reply;
        ASSERT_EQ(send("set wfile time format ms"), 0);
        struct Sample {
            SinkMonitor::Clock::time_point when;
            double seconds;
            std::int64_t position;
        };
        std::vector<Sample> samples;
        const auto start = SinkMonitor::Clock::now();
        ASSERT_EQ(send("play wfile"), 0) << reply;
        bool frozen = false;
        for (;;) {
            std::this_thread::sleep_for(15ms);
            const auto now = SinkMonitor::Clock::now();
            const double seconds = std::chrono::duration<double>(now - start).count();
            if (!frozen && seconds > 1.0) {
                pikota::test::freeze(process.pid, 50ms);
                frozen = true;
                continue;
            }
            if (seconds > 2.6)
                break;
            ASSERT_EQ(send("status wfile position"), 0) << reply;
            samples.push_back({now, seconds, std::atoll(reply.c_str())});
        }
        ASSERT_TRUE(monitor.waitForMore(4410));
        EXPECT_EQ(send("close wfile"), 0);
        const auto captured = monitor.samples();
        const auto chunks = monitor.chunks();
        // How far the position is ahead of the sound, before and after the dropout (median, in ms).
        std::vector<double> before, after;
        for (const Sample& s : samples) {
            const double played = pikota::test::playedAt(captured, chunks, s.when, frames, 44100);
            if (played < 0)
                continue;
            const double ahead = static_cast<double>(s.position) - played * 1000 / 44100;
            if (s.seconds > 0.4 && s.seconds < 0.95)
                before.push_back(ahead);
            else if (s.seconds > 1.3)
                after.push_back(ahead);
        }
        ASSERT_GT(before.size(), 10u);
        ASSERT_GT(after.size(), 10u);
        std::nth_element(before.begin(), before.begin() + before.size() / 2, before.end());
        std::nth_element(after.begin(), after.begin() + after.size() / 2, after.end());
        const double a = before[before.size() / 2], b = after[after.size() / 2];
        EXPECT_NEAR(b, a, 10) << "ahead of the sound by " << a << " ms before the dropout, " << b
                              << " ms after";
        EXPECT_LT(std::abs(a), 25) << "ahead of the sound by " << a << " ms";
    }
}

// The desktop's mixer can place both streams: each says which program it is (its name, its icon and its
// id, which is its desktop entry's) and what kind of sound it is.
TEST_F(SoundServer, StreamsSayWhichProgramAndWhatKindOfSound) {
    const auto listed = [](const char* what) {
        std::string text;
        if (std::FILE* pactl = popen((std::string("pactl list ") + what).c_str(), "r")) {
            char line[512];
            while (std::fgets(line, sizeof line, pactl))
                text += line;
            pclose(pactl);
        }
        return text;
    };
    const std::string file = folder.file("tone.wav");
    writeSound(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 88200,
               [](std::int64_t n, int) { return sine(440, n, 44100); });
    ASSERT_EQ(send("open " + file + " type waveaudio alias wfile"), 0) << reply;
    ASSERT_EQ(send("play wfile"), 0) << reply;
    const std::string playing = listed("sink-inputs");
    send("close wfile");
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0) << reply;
    ASSERT_EQ(send("record wfile"), 0) << reply;
    const std::string recording = listed("source-outputs");
    send("close wfile");
    for (const std::string& streams : {playing, recording})
        for (const char* property :
             {"media.role = \"production\"", "application.name = \"ピコタ\"",
              "application.id = \"org.example.pikota\"", "application.icon_name = \"pikota\""})
            EXPECT_NE(streams.find(property), std::string::npos) << property << " in\n" << streams;
}

TEST_F(SoundServer, TheCommandLineToolPlaysRecordsAndSaves) {
    const std::string saved = folder.file("tool.wav");
    const std::string script = folder.file("commands.txt");
    {
        std::FILE* f = std::fopen(script.c_str(), "w");
        std::fprintf(
            f,
            "open new type waveaudio alias wfile\nrecord wfile\nstatus wfile mode\nstop wfile\n"
            "save wfile \"%s\"\nclose wfile\nopen %s type waveaudio alias wfile\nstatus wfile length\n",
            saved.c_str(), saved.c_str());
        std::fclose(f);
    }
    std::FILE* tool = popen((std::string(PIKOTA_MCI) + " < '" + script + "'").c_str(), "r");
    ASSERT_NE(tool, nullptr);
    std::vector<std::string> lines;
    char line[512];
    while (std::fgets(line, sizeof line, tool))
        lines.emplace_back(line);
    EXPECT_EQ(pclose(tool), 0);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "0\t\n");
    EXPECT_EQ(lines[1], "0\t\n");
    EXPECT_EQ(lines[2], std::to_string(static_cast<int>(Error::BadKeyword)) +
                            "\tコマンドの中に使えない語があります。\n");
    EXPECT_EQ(lines[4], "0\t\n");
    EXPECT_EQ(lines[6], "0\t\n");
    EXPECT_EQ(lines[7].substr(0, 2), "0\t");
    EXPECT_TRUE(readSound(saved).ok);
}

} // namespace
