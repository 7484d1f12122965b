// A program killed while it records (kill -9: nothing of it runs any more) leaves its recording behind as a
// WAV file that plays, with all but the last second or so, and that the next start finds as unsaved. Runs
// pikota-mci against the real sound server of the test's fixture.

#include "platform/sound/RecordingsFolder.h"
#include "tests/device/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace pikota::sound;
using namespace pikota::test;
using namespace std::chrono_literals;

namespace {

TEST(RecordingCrash, AKilledRecorderLeavesAPlayableFileBehind) {
    ScratchFolder state;
    ASSERT_EQ(setenv("XDG_STATE_HOME", state.path().c_str(), 1), 0);
    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        execl(PIKOTA_MCI, PIKOTA_MCI, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    FILE* commands = fdopen(in[1], "w");
    FILE* answers = fdopen(out[0], "r");
    const auto send = [&](const char* command) {
        std::fprintf(commands, "%s\n", command);
        std::fflush(commands);
        char line[512] = {};
        EXPECT_NE(std::fgets(line, sizeof line, answers), nullptr);
        return std::string(line);
    };
    ASSERT_EQ(send("open new type waveaudio alias wfile").substr(0, 2), "0\t");
    ASSERT_EQ(send("record wfile").substr(0, 2), "0\t");
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(3500ms);
    kill(pid, SIGKILL);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    waitpid(pid, nullptr, 0);
    std::fclose(commands);
    std::fclose(answers);

    const auto unsaved = unsavedRecordings();
    ASSERT_EQ(unsaved.size(), 1u) << "the dead program's lock is gone with it";
    const Sound sound = readSound(unsaved[0]);
    ASSERT_TRUE(sound.ok);
    EXPECT_EQ(sound.info.samplerate, 44100);
    EXPECT_EQ(sound.info.channels, 2);
    const double kept = static_cast<double>(sound.info.frames) / 44100;
    EXPECT_GE(kept, elapsed - 1.5) << "kept " << kept << " s of " << elapsed << " s";
    EXPECT_LE(kept, elapsed);
    EXPECT_NEAR(zeroCrossingFrequency(sound.samples, 2, 0, 44100), 440, 2);
    unsetenv("XDG_STATE_HOME");
}

} // namespace
