// The real device on PortAudio against a private headless sound server (PulseAudio, or PipeWire):
// what is played comes out of the default sink, and the 440 Hz default source is recorded and saved.

#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace pikota::sound;
using namespace pikota::sound::testing;
using namespace std::chrono_literals;

namespace {

// Captures the default sink's monitor as stereo 16-bit at 44100 Hz through pacat, for as long as it lives.
// The monitor is named: pipewire-pulse 0.3.65 takes @DEFAULT_MONITOR@ for the default source. Stereo, for
// the servers mix stereo down to mono differently (PulseAudio averages, PipeWire adds at -3 dB).
class MonitorCapture {
public:
    MonitorCapture() {
        int fds[2];
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            execlp("pacat", "pacat", "--record", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                   "--latency-msec=20", "--device=pikota_out.monitor", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        fd_ = fds[0];
        reader_ = std::thread([this] {
            std::int16_t buffer[4096];
            for (;;) {
                const ssize_t n = read(fd_, buffer, sizeof buffer);
                if (n <= 0)
                    return;
                std::lock_guard lock(mutex_);
                samples_.insert(samples_.end(), buffer, buffer + n / 2);
            }
        });
    }
    ~MonitorCapture() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        reader_.join();
        close(fd_);
    }
    std::size_t frames() {
        std::lock_guard lock(mutex_);
        return samples_.size() / 2;
    }
    std::vector<std::int16_t> samples() {
        std::lock_guard lock(mutex_);
        return samples_;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<std::int16_t> samples_;
};

class SoundServer : public ::testing::Test {
protected:
    std::unique_ptr<SoundService> service = makeSoundService();
    ScratchFolder folder;
    std::string reply;

    std::int32_t send(const std::string& command) {
        char buffer[256] = {};
        const std::int32_t result = service->sendString(command.c_str(), buffer, sizeof buffer);
        if (result != 0)
            service->errorString(result, buffer, sizeof buffer);
        reply = buffer;
        return result;
    }
    std::int64_t status(const char* what) {
        EXPECT_EQ(send(std::string("status wfile ") + what), 0) << reply;
        return std::stoll(reply);
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
};

TEST_F(SoundServer, WhatIsPlayedComesOutOfTheDefaultSink) {
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "needs the sound_server fixture";
    const std::string file = folder.file("tone.wav");
    writeSound(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 66150,
               [](std::int64_t n, int) { return sine(1000, n, 44100); }); // 1.5 s
    MonitorCapture capture;
    ASSERT_TRUE(waitFor([&] { return capture.frames() > 4410; })) << "the monitor delivers nothing";

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
        positions.push_back(std::stoll(position));
        return position == length;
    }));
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_LE(positions.back(), 1500);
    const std::size_t heard = capture.frames();
    ASSERT_TRUE(waitFor([&] { return capture.frames() > heard + 13230; })); // 300 ms more
    EXPECT_EQ(send("close wfile"), 0);

    // The loud part of the capture's left channel is the tone, as long as the file and at its frequency
    // and level.
    const std::vector<std::int16_t> samples = capture.samples();
    const std::size_t frames = samples.size() / 2;
    std::size_t first = frames, last = 0;
    for (std::size_t f = 0; f < frames; ++f)
        if (std::abs(samples[2 * f]) > 3000) {
            first = std::min(first, f);
            last = f;
        }
    ASSERT_LT(first, last) << "nothing came out";
    EXPECT_NEAR(static_cast<double>(last - first) / 44100, 1.5, 0.05);
    EXPECT_NEAR(zeroCrossingFrequency(samples, 2, 0, 44100, first, last), 1000, 10);
    double energy = 0;
    for (std::size_t f = first; f < last; ++f)
        energy += static_cast<double>(samples[2 * f]) * samples[2 * f];
    EXPECT_NEAR(std::sqrt(energy / static_cast<double>(last - first)) / 32768, 0.5 / std::sqrt(2.0), 0.05);
}

TEST_F(SoundServer, RecordsTheDefaultInputForThreeSeconds) {
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "needs the sound_server fixture";
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
    // Skip what the source may deliver before the sine has reached it.
    EXPECT_NEAR(zeroCrossingFrequency(sound.samples, 2, 0, 44100, 8820), 440, 4);
    EXPECT_NEAR(zeroCrossingFrequency(sound.samples, 2, 1, 44100, 8820), 440, 4);
    EXPECT_EQ(send("close wfile"), 0);
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
