// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The private sound server of the test's fixture killed or frozen while the device plays, records, or is
// about to open: every command answers within the time limit with the text of the failure's own cause,
// nothing spins or floods stderr, and once the server is back the next open works in the same process.
//
// It needs the fixture's server folder, PIKOTA_SOUND_SERVER_DIR, whose pid files name the processes
// (SoundServerProcesses.h); after each case scripts/sound-server brings the server back.

#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"
#include "tests/support/SoundServerProcesses.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace pikota::sound;
using namespace pikota::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kAnswerLimit = 2500ms; // about 2 s, with room for a loaded machine

enum class Hit { Kill, Freeze };
enum class During { Play, Record, Open };

struct Case {
    Hit hit;
    During during;
    const char* name;
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Sends stderr to a file for as long as it lives and tells how much was written.
class StderrCapture {
public:
    explicit StderrCapture(const std::string& path) : path_(path) {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(file, STDERR_FILENO);
        close(file);
    }
    ~StderrCapture() { restore(); }
    long restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            dup2(saved_, STDERR_FILENO);
            close(saved_);
            saved_ = -1;
        }
        struct stat info {};
        return stat(path_.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
    }

private:
    std::string path_;
    int saved_ = -1;
};

class SoundFailure : public ::testing::TestWithParam<Case> {
protected:
    std::unique_ptr<SoundService> service;
    ScratchFolder folder;
    std::string reply;

    // Sends one command; fails the test if it takes longer than the limit.
    std::int32_t send(const std::string& command) {
        const auto start = Clock::now();
        const CommandResult result = sendCommand(*service, command.c_str());
        EXPECT_LT(Clock::now() - start, kAnswerLimit) << command << " took too long";
        reply = result.text.value_or("");
        return result.code;
    }
};

TEST_P(SoundFailure, EveryCommandAnswersWithItsCauseAndTheServerIsUsedAgainOnceBack) {
    const char* dirText = std::getenv("PIKOTA_SOUND_SERVER_DIR");
    ASSERT_TRUE(dirText && std::getenv("PIKOTA_SOUND_SERVER")) << "needs a sound server fixture";
    const std::string dir = dirText;
    const Case c = GetParam();
    std::vector<std::string> names;
    for (const auto& process : pikota::test::soundServerProcesses(dir))
        names.push_back(process.name);
    ASSERT_FALSE(names.empty());
    const std::string file = folder.file("tone.wav");
    writeSound(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 10 * 44100,
               [](std::int64_t n, int) { return sine(440, n, 44100); });

    // Each process that serves the sound: the one libpulse talks to, and behind it PipeWire's own.
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        pikota::test::ServerProcess process;
        for (const auto& running : pikota::test::soundServerProcesses(dir)) // process ids change on restart
            if (running.name == name)
                process = running;
        ASSERT_GT(process.pid, 0) << name << " does not run";
        service = pikota::sound::makeSoundService();
        StderrCapture quiet(folder.file("stderr.txt"));
        if (c.during != During::Open) {
            ASSERT_EQ(send(c.during == During::Play ? "open " + file + " type waveaudio alias wfile"
                                                    : "open new type waveaudio alias wfile"),
                      0)
                << reply;
            ASSERT_EQ(send(c.during == During::Play ? "play wfile" : "record wfile"), 0) << reply;
            std::this_thread::sleep_for(500ms);
        } else {
            std::this_thread::sleep_for(300ms); // the service has connected in the background
        }
        kill(process.pid, c.hit == Hit::Kill ? SIGKILL : SIGSTOP);
        const Error cause = c.hit == Hit::Kill ? Error::SoundServerLost : Error::DeviceNotResponding;
        const Error atOpen = c.hit == Hit::Kill ? Error::NoSoundServer : Error::DeviceNotResponding;

        if (c.during != During::Open) {
            // The failure shows within about 2 s, then every command says so.
            const auto hit = Clock::now();
            while (send("status wfile position") == 0 && Clock::now() - hit < 3s)
                std::this_thread::sleep_for(50ms);
            EXPECT_LT(Clock::now() - hit, kAnswerLimit);
            const double cpu = cpuSeconds();
            for (const char* command : {"status wfile position", "status wfile length", "play wfile",
                                        "record wfile", "stop wfile", "seek wfile to start", "close wfile"}) {
                if (std::string(command) == "record wfile" && c.during == During::Play)
                    continue; // a file cannot record whatever the server does
                EXPECT_EQ(send(command), static_cast<int>(cause)) << command << ": " << reply;
            }
            EXPECT_EQ(send("status wfile length"), static_cast<int>(Error::NotOpen)) << "close did not close";
            std::this_thread::sleep_for(1s);
            EXPECT_LT(cpuSeconds() - cpu, 0.2) << "a thread keeps working after the failure";
        }
        // The next open names the cause too: not "in use by another program". Right after PipeWire's own
        // process is killed, pipewire-pulse answers for a moment from an emptied graph (no device) before
        // it goes too; the cause is named once it has gone.
        const auto asked = Clock::now();
        std::int32_t opened = 0;
        while ((opened = send("open new type waveaudio alias wfile")) ==
                   static_cast<int>(Error::NoInputDevice) &&
               Clock::now() - asked < kAnswerLimit)
            std::this_thread::sleep_for(100ms);
        EXPECT_EQ(opened, static_cast<int>(atOpen)) << reply;
        EXPECT_EQ(send("open " + file + " type waveaudio alias wfile"), static_cast<int>(atOpen)) << reply;
        EXPECT_LT(quiet.restore(), 200) << "the libraries print to stderr";

        // Back again: the same service finds it.
        if (c.hit == Hit::Freeze)
            kill(process.pid, SIGCONT);
        ASSERT_TRUE(pikota::test::startSoundServer(std::string(PIKOTA_SOURCE_DIR) + "/scripts/sound-server",
                                                   dir, std::getenv("PIKOTA_SOUND_SERVER")));
        const auto back = Clock::now();
        while ((opened = send("open new type waveaudio alias wfile")) != 0 && Clock::now() - back < 10s)
            std::this_thread::sleep_for(100ms);
        EXPECT_EQ(opened, 0) << reply;
        EXPECT_EQ(send("record wfile"), 0) << reply;
        EXPECT_EQ(send("close wfile"), 0) << reply;
        service.reset();
        if (HasFatalFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SoundFailure,
                         ::testing::Values(Case{Hit::Kill, During::Play, "KilledWhilePlaying"},
                                           Case{Hit::Kill, During::Record, "KilledWhileRecording"},
                                           Case{Hit::Kill, During::Open, "KilledBeforeTheOpen"},
                                           Case{Hit::Freeze, During::Play, "FrozenWhilePlaying"},
                                           Case{Hit::Freeze, During::Record, "FrozenWhileRecording"},
                                           Case{Hit::Freeze, During::Open, "FrozenBeforeTheOpen"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
