// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// A program killed while it holds a recording (kill -9: nothing of it runs any more) leaves it behind in
// the recordings folder. Unsaved, it is a WAV file that plays, with all but the last second or so, and
// that the next start finds as unsaved; saved, the next start does not count it, and the next recording
// clears it away. Runs pikota-mci against the real sound server of the test's fixture.

#include "platform/sound/RecordingsFolder.h"
#include "tests/device/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace pikota::sound;
using namespace pikota::test;
using namespace std::chrono_literals;

namespace {

// pikota-mci in a process of its own, fed one command at a time.
class Tool {
public:
    Tool() {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            for (int fd : {in[0], in[1], out[0], out[1]})
                close(fd);
            execl(PIKOTA_MCI, PIKOTA_MCI, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        commands_ = fdopen(in[1], "w");
        answers_ = fdopen(out[0], "r");
    }
    ~Tool() { kill(); }
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;

    // The answer line: the code, a tab, the reply or error text.
    std::string send(const std::string& command) {
        std::fprintf(commands_, "%s\n", command.c_str());
        std::fflush(commands_);
        char line[512] = {};
        return std::fgets(line, sizeof line, answers_) ? line : "(no answer)";
    }

    // kill -9, and waits until the process is gone.
    void kill() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        std::fclose(commands_);
        std::fclose(answers_);
    }

private:
    pid_t pid_ = -1;
    std::FILE* commands_ = nullptr;
    std::FILE* answers_ = nullptr;
};

// Recordings in progress go into a state folder of the test's own.
class RecordingCrash : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(setenv("XDG_STATE_HOME", state.path().c_str(), 1), 0); }
    void TearDown() override { unsetenv("XDG_STATE_HOME"); }

    std::size_t filesInTheFolder() const {
        const std::filesystem::path folder = recordingsFolder();
        return std::filesystem::exists(folder)
                   ? static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}))
                   : 0;
    }

    ScratchFolder state;
    ScratchFolder saves;
};

TEST_F(RecordingCrash, AKilledRecorderLeavesAPlayableFileBehind) {
    Tool tool;
    ASSERT_EQ(tool.send("open new type waveaudio alias wfile").substr(0, 2), "0\t");
    ASSERT_EQ(tool.send("record wfile").substr(0, 2), "0\t");
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(3500ms);
    tool.kill();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

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
}

// What was done before the kill, and whether the next start counts the recording as unsaved. "wait"
// lets 300 ms be recorded; SAVE saves to the same file each time.
struct Story {
    const char* name;
    std::vector<std::string> commands;
    bool unsaved;
};

const std::string kSave = "save wfile \"SAVE\"";

const Story kStories[] = {
    {"saved", {"record wfile", "wait", "stop wfile", kSave}, false},
    {"recording on after a save",
     {"record wfile", "wait", "stop wfile", kSave, "record wfile", "wait"},
     true},
    {"recorded on after a save",
     {"record wfile", "wait", "stop wfile", kSave, "record wfile", "wait", "stop wfile"},
     true},
    {"saved again after recording on",
     {"record wfile", "wait", "stop wfile", kSave, "record wfile", "wait", "stop wfile", kSave},
     false},
};

TEST_F(RecordingCrash, OnlyWhatWasNeverSavedIsOfferedAndTheNextRecordingClearsAwayTheRest) {
    const std::string saved = saves.file("saved.wav");
    for (const Story& story : kStories) {
        SCOPED_TRACE(story.name);
        std::filesystem::remove_all(recordingsFolder());
        {
            Tool tool;
            ASSERT_EQ(tool.send("open new type waveaudio alias wfile").substr(0, 2), "0\t");
            for (std::string command : story.commands) {
                if (command == "wait") {
                    std::this_thread::sleep_for(300ms);
                    continue;
                }
                if (command == kSave)
                    command = "save wfile \"" + saved + "\"";
                ASSERT_EQ(tool.send(command).substr(0, 2), "0\t") << command;
            }
        }
        const auto unsaved = unsavedRecordings();
        ASSERT_EQ(unsaved.size(), story.unsaved ? 1u : 0u);
        if (story.unsaved) {
            // Nothing of it is lost: it holds at least what was saved of it.
            const Sound left = readSound(unsaved[0]);
            ASSERT_TRUE(left.ok);
            EXPECT_GE(left.info.frames, readSound(saved).info.frames);
        }

        // The next recording clears away what was saved, and only that.
        Tool next;
        ASSERT_EQ(next.send("open new type waveaudio alias wfile").substr(0, 2), "0\t");
        ASSERT_EQ(next.send("close wfile").substr(0, 2), "0\t");
        next.kill();
        EXPECT_EQ(filesInTheFolder(), story.unsaved ? 1u : 0u);
        EXPECT_EQ(unsavedRecordings(), unsaved);
    }
}

} // namespace
