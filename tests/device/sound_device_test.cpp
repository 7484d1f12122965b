// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The waveaudio device on the virtual engine: every command in every state, exact positions and
// lengths, what is played, and what is recorded and saved.

#include "platform/sound/RecordingsFolder.h"
#include "platform/sound/VirtualEngine.h"
#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pikota::sound;
using namespace pikota::test;
using namespace std::chrono_literals;

namespace {

constexpr auto code = [](Error e) { return static_cast<std::int32_t>(e); };

class SoundDevice : public ::testing::Test {
protected:
    std::shared_ptr<VirtualEngine> engine = std::make_shared<VirtualEngine>();
    std::unique_ptr<SoundService> service = makeSoundService(engine);
    ScratchFolder folder;
    std::string reply;
    // Recordings in progress go into this test's own state folder.
    ScratchFolder state;
    const bool stateSet = setenv("XDG_STATE_HOME", state.path().c_str(), 1) == 0;
    std::filesystem::path recordings = state.path() / "pikota" / "recordings";

    // Sends like the program does: a fresh 256-byte buffer, and the error text after a failure.
    std::int32_t send(const std::string& command) {
        const CommandResult result = sendCommand(*service, command.c_str());
        EXPECT_TRUE(result.text) << "no NUL in the reply to " << command;
        reply = result.text.value_or("");
        return result.code;
    }
    std::string status(const char* what) {
        EXPECT_EQ(send(std::string("status wfile ") + what), 0) << reply;
        return reply;
    }
    std::string position() { return status("position"); }
    std::string length() { return status("length"); }

    // A mono 16-bit file whose sample n is a ramp that never repeats within 20000 frames.
    std::string rampFile(int rate, std::int64_t frames, const char* name = "ramp.wav") {
        const std::string path = folder.file(name);
        writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, 1, frames,
                   [](std::int64_t f, int) { return static_cast<double>(f % 20000 - 10000) / 32768.0; });
        return path;
    }
    static int rampValue(std::int64_t frame) { return static_cast<int>(frame % 20000 - 10000); }
    // The file frame that the left channel of played frame `i` carries.
    int playedValue(std::size_t frame) const {
        return static_cast<int>(std::lround(engine->played()[frame * 2] * 32768.0));
    }

    void openFile(const std::string& path) {
        ASSERT_EQ(send("open " + path + " type waveaudio alias wfile"), 0) << reply;
        ASSERT_EQ(send("set wfile time format ms"), 0) << reply;
    }
};

TEST_F(SoundDevice, WithNothingOpenEveryCommandButOpenFails) {
    for (const char* command : {"close wfile", "set wfile time format ms", "record wfile", "play wfile",
                                "stop wfile", "seek wfile to start", "save wfile \"/tmp/x.wav\"",
                                "status wfile position", "status wfile length"}) {
        EXPECT_EQ(send(command), code(Error::NotOpen)) << command;
        EXPECT_FALSE(reply.empty());
    }
    EXPECT_EQ(send("play other"), code(Error::UnknownAlias));
    EXPECT_EQ(send("open new type waveaudio alias other"), code(Error::AliasNotAllowed));
    EXPECT_EQ(send("open new type waveaudio alias wfile\tclose"), code(Error::AliasNotAllowed));
    EXPECT_EQ(send("open  type waveaudio alias wfile"), code(Error::EmptyPath));
    EXPECT_EQ(reply, "ファイル名が指定されていません。");
    EXPECT_EQ(service->sendString(nullptr, nullptr, 0), code(Error::UnknownCommand));
}

TEST_F(SoundDevice, OpenRefusesWhatItCannotPlayAndLeavesTheAliasClosed) {
    std::ofstream(folder.file("text.wav")) << "RIFF but not really a wave file";
    EXPECT_EQ(send("open " + folder.file("missing.wav") + " type waveaudio alias wfile"),
              code(Error::FileNotFound));
    EXPECT_EQ(send("open " + folder.file("text.wav") + " type waveaudio alias wfile"), code(Error::NotAudio));
    EXPECT_EQ(send("open " + folder.path().string() + " type waveaudio alias wfile"), code(Error::NotAudio));
    // What is not a plain file is refused at once, never waited on: a named pipe, a device.
    ASSERT_EQ(mkfifo(folder.file("pipe.wav").c_str(), 0600), 0);
    EXPECT_EQ(send("open " + folder.file("pipe.wav") + " type waveaudio alias wfile"), code(Error::NotAudio));
    EXPECT_EQ(send("open /dev/zero type waveaudio alias wfile"), code(Error::NotAudio));
    EXPECT_EQ(send("close wfile"), code(Error::NotOpen));

    const std::string file = rampFile(44100, 4410);
    engine->setOutputAvailable(false);
    EXPECT_EQ(send("open " + file + " type waveaudio alias wfile"), code(Error::NoOutputDevice));
    EXPECT_NE(reply.find("サウンドサーバー"), std::string::npos);
    engine->setInputAvailable(false);
    EXPECT_EQ(send("open new type waveaudio alias wfile"), code(Error::NoInputDevice));
    EXPECT_EQ(send("status wfile length"), code(Error::NotOpen));

    // The device is looked for again at the next open.
    engine->setOutputAvailable(true);
    EXPECT_EQ(send("open " + file + " type waveaudio alias wfile"), 0);
}

TEST_F(SoundDevice, ASecondOpenUnderTheAliasIsRefused) {
    const std::string file = rampFile(44100, 4410);
    openFile(file);
    EXPECT_EQ(send("open new type waveaudio alias wfile"), code(Error::AliasInUse));
    EXPECT_EQ(send("open " + file + " type waveaudio alias wfile"), code(Error::AliasInUse));
    EXPECT_EQ(send("close wfile"), 0);
    EXPECT_EQ(send("open new type waveaudio alias wfile"), 0);
    EXPECT_EQ(send("open " + file + " type waveaudio alias wfile"), code(Error::AliasInUse));
}

TEST_F(SoundDevice, RepliesFitTheBufferOrFail) {
    openFile(rampFile(44100, 441000));
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(service->sendString("play wfile", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, ""); // no reply: the empty text, whatever the buffer held
    char tiny[4];
    EXPECT_EQ(service->sendString("status wfile length", tiny, sizeof tiny), code(Error::ReplyTooSmall));
    EXPECT_EQ(service->sendString("status wfile length", nullptr, 0), code(Error::ReplyTooSmall));
    EXPECT_EQ(service->sendString("status wfile length", buffer, 6), 0);
    EXPECT_STREQ(buffer, "10000");
}

TEST_F(SoundDevice, PlaysFromTheFileAndPositionFollowsTheClock) {
    openFile(rampFile(44100, 44100));
    EXPECT_EQ(length(), "1000");
    EXPECT_EQ(position(), "0");
    EXPECT_EQ(send("play wfile"), 0);
    engine->advance(250ms);
    EXPECT_EQ(position(), "250");
    ASSERT_EQ(engine->playedFrames(), 11025u);
    for (std::size_t f = 0; f < engine->playedFrames(); f += 997)
        ASSERT_EQ(playedValue(f), rampValue(static_cast<std::int64_t>(f)));
    EXPECT_EQ(engine->outputRate(), 44100);
    // Mono comes out on both sides.
    EXPECT_EQ(engine->played()[2 * 5000], engine->played()[2 * 5000 + 1]);

    // Stop keeps the position; play resumes from it.
    EXPECT_EQ(send("stop wfile"), 0);
    engine->advance(500ms);
    EXPECT_EQ(position(), "250");
    EXPECT_EQ(engine->playedFrames(), 11025u);
    EXPECT_EQ(send("play wfile"), 0);
    engine->advance(100ms);
    EXPECT_EQ(position(), "350");
    EXPECT_EQ(playedValue(11025), rampValue(11025));

    // Seek rewinds (and stops); play starts over.
    EXPECT_EQ(send("seek wfile to start"), 0);
    EXPECT_EQ(position(), "0");
    EXPECT_FALSE(engine->outputRunning());
    engine->clearPlayed();
    EXPECT_EQ(send("play wfile"), 0);
    engine->advance(10ms);
    EXPECT_EQ(playedValue(0), rampValue(0));
}

TEST_F(SoundDevice, AtTheEndPositionAndLengthAreTheSameTextAndPlayPlaysNothing) {
    openFile(rampFile(22050, 11025 + 7)); // 500.3 ms
    EXPECT_EQ(length(), "500");
    EXPECT_EQ(send("play wfile"), 0);
    engine->advance(400ms);
    EXPECT_EQ(position(), "400");
    engine->advance(200ms);
    EXPECT_EQ(position(), length());
    EXPECT_FALSE(engine->outputRunning());
    EXPECT_EQ(playedValue(11025 + 6), rampValue(11025 + 6));

    const std::size_t played = engine->playedFrames();
    EXPECT_EQ(send("play wfile"), 0);
    engine->advance(200ms);
    EXPECT_EQ(engine->playedFrames(), played);
    EXPECT_EQ(position(), "500");
    // Stop and seek bring it back to the start, as the position timer does.
    EXPECT_EQ(send("stop wfile"), 0);
    EXPECT_EQ(send("seek wfile to start"), 0);
    EXPECT_EQ(position(), "0");
    EXPECT_EQ(length(), "500");
}

TEST_F(SoundDevice, PositionIsTheFrameBeingHeardNotTheFrameRendered) {
    engine->setOutputLatency(20ms);
    openFile(rampFile(44100, 44100));
    EXPECT_EQ(send("play wfile"), 0);
    EXPECT_EQ(position(), "0");
    engine->advance(100ms);
    EXPECT_EQ(position(), "100");
    EXPECT_EQ(engine->playedFrames(), 44100u * 120 / 1000);
    // What was rendered but not yet heard is played again after a stop.
    EXPECT_EQ(send("stop wfile"), 0);
    EXPECT_EQ(position(), "100");
    engine->clearPlayed();
    EXPECT_EQ(send("play wfile"), 0);
    EXPECT_EQ(playedValue(0), rampValue(4410));
    // The end is reached when the last frame is heard, not when it was rendered.
    engine->advance(880ms);
    EXPECT_EQ(position(), "980");
    EXPECT_NE(position(), length());
    engine->advance(20ms);
    EXPECT_EQ(position(), length());
}

struct Format {
    const char* name;
    int format;
    int rate;
    int channels;
    double tolerance;
};

class SoundDeviceFormats : public SoundDevice, public ::testing::WithParamInterface<Format> {};

TEST_P(SoundDeviceFormats, OpensAndPlaysAnyWaveThatLibsndfileReads) {
    const Format& f = GetParam();
    const std::string path = folder.file(std::string(f.name) + ".wav");
    const std::int64_t frames = f.rate / 2;
    writeSound(path, f.format, f.rate, f.channels, frames,
               [&](std::int64_t n, int c) { return sine(c == 1 ? 500 : 1000, n, f.rate, 0.25 + 0.25 * c); });
    openFile(path);
    EXPECT_EQ(length(), std::to_string(frames * 1000 / f.rate));
    EXPECT_EQ(send("play wfile"), 0);
    engine->advance(600ms);
    EXPECT_EQ(position(), length());
    ASSERT_GE(engine->playedFrames(), static_cast<std::size_t>(frames));
    EXPECT_EQ(engine->outputRate(), f.rate);
    for (std::int64_t n = 0; n < frames; n += 101) {
        const int right = f.channels > 1 ? 1 : 0;
        ASSERT_NEAR(engine->played()[n * 2], sine(1000, n, f.rate, 0.25), f.tolerance) << n;
        ASSERT_NEAR(engine->played()[n * 2 + 1], sine(right ? 500 : 1000, n, f.rate, right ? 0.5 : 0.25),
                    f.tolerance)
            << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SoundDeviceFormats,
    ::testing::Values(Format{"u8_mono_11025", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 1, 0.01},
                      Format{"s16_stereo_44100", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1e-4},
                      Format{"s24_stereo_48000", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 1e-6},
                      Format{"s32_mono_8000", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 8000, 1, 1e-6},
                      Format{"float_stereo_22050", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 2, 1e-6},
                      Format{"extensible_3ch_44100", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 44100, 3, 1e-4},
                      Format{"s16_4ch_44100", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 4, 1e-4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SoundDevice, FileCommandsThatOnlyARecordingAllows) {
    openFile(rampFile(44100, 4410));
    EXPECT_EQ(send("record wfile"), code(Error::CannotRecordIntoFile));
    EXPECT_EQ(send("save wfile \"" + folder.file("x.wav") + "\""), code(Error::NotARecording));
    EXPECT_TRUE(folder.names().size() == 1);
}

TEST_F(SoundDevice, RecordsTheInputSavesItAndKeepsIt) {
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0) << reply;
    EXPECT_EQ(send("set wfile time format ms"), 0);
    EXPECT_EQ(length(), "0");
    EXPECT_EQ(position(), "0");
    EXPECT_EQ(send("record wfile"), 0);
    EXPECT_TRUE(engine->inputRunning());
    engine->advance(1000ms);
    EXPECT_EQ(position(), "1000");
    EXPECT_EQ(length(), "1000");

    // While it records, nothing may read or play it.
    EXPECT_EQ(send("save wfile \"" + folder.file("early.wav") + "\""), code(Error::RecordingRunning));
    EXPECT_EQ(send("play wfile"), code(Error::RecordingRunning));
    EXPECT_EQ(send("record wfile"), 0);

    EXPECT_EQ(send("stop wfile"), 0);
    EXPECT_FALSE(engine->inputRunning());
    engine->advance(300ms);
    EXPECT_EQ(length(), "1000");
    EXPECT_EQ(send("seek wfile to start"), 0);
    EXPECT_EQ(position(), "0");

    const std::string saved = folder.file("my recording.wav");
    ASSERT_EQ(send("save wfile \"" + saved + "\""), 0) << reply;
    const Sound sound = readSound(saved);
    ASSERT_TRUE(sound.ok);
    EXPECT_EQ(sound.info.samplerate, 44100);
    EXPECT_EQ(sound.info.channels, 2);
    EXPECT_EQ(sound.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(sound.info.frames, 44100);
    EXPECT_EQ(std::filesystem::file_size(saved), 44u + 44100u * 4);
    for (std::int64_t n = 0; n < 44100; n += 37)
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ(sound.samples[n * 2 + c], std::lround(sine(440, n, 44100) * 32767)) << n;

    // The recording stays open: it saves again, over an existing file too, and goes on recording.
    std::ofstream(folder.file("old.wav")) << "old";
    ASSERT_EQ(send("save wfile \"" + folder.file("old.wav") + "\""), 0);
    EXPECT_EQ(readSound(folder.file("old.wav")).info.frames, 44100);
    EXPECT_EQ(send("record wfile"), 0);
    engine->advance(500ms);
    EXPECT_EQ(send("stop wfile"), 0);
    EXPECT_EQ(length(), "1500");

    // Close discards it.
    EXPECT_EQ(send("close wfile"), 0);
    EXPECT_EQ(send("save wfile \"" + folder.file("late.wav") + "\""), code(Error::NotOpen));
    EXPECT_FALSE(std::filesystem::exists(folder.file("late.wav")));
}

// The live view's envelope: the left channel's lowest and highest sample per 10 ms block, from the frame
// asked for on, merged when more came than a reply holds; asking again gives the same answer.
TEST_F(SoundDevice, TheEnvelopeSaysWhatArrivedFromTheFrameAskedFor) {
    // Block b of the left channel runs from 1000 (b % 10) to 1000 (b % 10) + 440; the right channel is
    // its mirror, never seen in the envelope.
    engine->setInputSignal([](double seconds, int channel) {
        const std::int64_t frame = std::lround(seconds * 44100);
        const double left = static_cast<double>(frame % 441 + 1000 * (frame / 441 % 10));
        return (channel == 0 ? left : -left - 1) / 32767.0;
    });
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0);
    const std::tuple<std::chrono::milliseconds, int, std::string> story[] = {
        {0ms, 0, "0 441 44100"}, // nothing yet
        {100ms, 0,
         "0 441 44100 0 440 1000 1440 2000 2440 3000 3440 4000 4440 5000 5440 6000 6440 7000 7440 "
         "8000 8440 9000 9440"},
        {0ms, 0,
         "0 441 44100 0 440 1000 1440 2000 2440 3000 3440 4000 4440 5000 5440 6000 6440 7000 7440 "
         "8000 8440 9000 9440"}, // the same again
        {0ms, 4410, "4410 441 44100"},
        // A second not asked for: 100 blocks in 12 whole steps of 8, and the 4 left over at the next ask.
        {1000ms, 4410,
         "4410 3528 44100 0 7440 0 9440 0 9440 0 9440 2000 9440 0 7440 0 9440 0 9440 0 9440 2000 9440 "
         "0 7440 0 9440"},
        {0ms, 46746, "46746 441 44100 6000 6440 7000 7440 8000 8440 9000 9440"},
        {5ms, 48510, "48510 441 44100"}, // no block complete yet
        {10ms, 48510, "48510 441 44100 0 440"},
    };
    ASSERT_EQ(send("record wfile"), 0);
    for (const auto& [time, from, envelope] : story) {
        engine->advance(time);
        EXPECT_EQ(status(("envelope " + std::to_string(from)).c_str()), envelope)
            << "after " << time.count() << " ms more";
        EXPECT_LT(reply.size(), 256u);
    }
    EXPECT_EQ(send("close wfile"), 0);

    ASSERT_EQ(send("open " + rampFile(44100, 100) + " type waveaudio alias wfile"), 0);
    EXPECT_EQ(send("status wfile envelope"), code(Error::NotARecording));
}

TEST_F(SoundDevice, ARecordingPlaysBackFromWhereItStands) {
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0);
    EXPECT_EQ(send("record wfile"), 0);
    engine->advance(200ms);
    EXPECT_EQ(send("stop wfile"), 0);
    EXPECT_EQ(send("play wfile"), 0); // at the end: nothing
    engine->advance(50ms);
    EXPECT_EQ(engine->playedFrames(), 0u);
    EXPECT_EQ(send("seek wfile to start"), 0);
    EXPECT_EQ(send("play wfile"), 0);
    EXPECT_EQ(send("record wfile"), code(Error::PlaybackRunning));
    engine->advance(100ms);
    EXPECT_EQ(position(), "100");
    engine->advance(150ms);
    EXPECT_EQ(position(), length());
    ASSERT_GE(engine->playedFrames(), 8820u);
    for (std::int64_t n = 0; n < 8820; n += 13)
        ASSERT_NEAR(engine->played()[n * 2], sine(440, n, 44100), 1.0 / 16000) << n;
}

TEST_F(SoundDevice, AFailedSaveLeavesNothingBehindAndKeepsTheRecording) {
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0);
    EXPECT_EQ(send("record wfile"), 0);
    engine->advance(100ms);
    EXPECT_EQ(send("stop wfile"), 0);

    std::ofstream(folder.file("plain file")) << "not a folder";
    std::filesystem::create_directory(folder.file("a folder"));
    struct Case {
        std::string path;
        Error error;
    };
    const Case cases[] = {
        {folder.file("missing/x.wav"), Error::SaveFolderMissing},
        {folder.file("plain file/x.wav"), Error::SaveFolderMissing},
        {folder.file("a folder"), Error::SaveTargetIsFolder},
        // sysfs refuses new files even to root: a folder nobody can write into.
        {"/sys/pikota-sound-test.wav", Error::SaveFolderNotWritable},
        {folder.file("a\"b.wav"), Error::BadQuote},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(send("save wfile \"" + c.path + "\""), code(c.error)) << c.path;
        EXPECT_FALSE(reply.empty());
    }
    EXPECT_FALSE(std::filesystem::exists("/sys/pikota-sound-test.wav"));
    auto names = folder.names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a folder", "plain file"}));
    EXPECT_TRUE(std::filesystem::is_empty(folder.file("a folder")));

    if (geteuid() != 0) {
        std::filesystem::create_directory(folder.file("locked"));
        chmod(folder.file("locked").c_str(), 0555);
        EXPECT_EQ(send("save wfile \"" + folder.file("locked/x.wav") + "\""),
                  code(Error::SaveFolderNotWritable));
    }

    ASSERT_EQ(send("save wfile \"" + folder.file("after all.wav") + "\""), 0) << reply;
    EXPECT_EQ(readSound(folder.file("after all.wav")).info.frames, 4410);
}

TEST_F(SoundDevice, CloseStopsWhateverRunsAndTheNextOpenStartsAfresh) {
    openFile(rampFile(44100, 44100));
    EXPECT_EQ(send("play wfile"), 0);
    engine->advance(100ms);
    EXPECT_EQ(send("close wfile"), 0);
    EXPECT_FALSE(engine->outputRunning());
    EXPECT_EQ(send("close wfile"), code(Error::NotOpen));

    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0);
    EXPECT_EQ(send("record wfile"), 0);
    engine->advance(100ms);
    EXPECT_EQ(send("close wfile"), 0);
    EXPECT_FALSE(engine->inputRunning());
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0);
    EXPECT_EQ(length(), "0");
}

TEST_F(SoundDevice, ClosingTheServiceWhilePlayingOrRecordingIsClean) {
    openFile(rampFile(44100, 44100));
    EXPECT_EQ(send("play wfile"), 0);
    engine->advance(10ms);
    service.reset();
    EXPECT_FALSE(engine->outputRunning());
    service = makeSoundService(engine);
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0);
    EXPECT_EQ(send("record wfile"), 0);
    engine->advance(10ms);
    service.reset();
    EXPECT_FALSE(engine->inputRunning());
}

// The recording lives in the state folder as a WAV file that is whole once stopped, locked while it is
// held, and deleted by close.
TEST_F(SoundDevice, ARecordingIsAWaveFileInTheStateFolderUntilClosed) {
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0) << reply;
    EXPECT_EQ(send("record wfile"), 0);
    engine->advance(700ms);
    EXPECT_EQ(send("stop wfile"), 0);
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(recordings))
        files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].extension(), ".wav");
    const Sound sound = readSound(files[0].string());
    ASSERT_TRUE(sound.ok);
    EXPECT_EQ(sound.info.frames, 30870);
    EXPECT_EQ(sound.samples[2 * 1000], std::lround(sine(440, 1000, 44100) * 32767));
    EXPECT_TRUE(unsavedRecordings().empty()) << "a recording that is held is nobody's orphan";
    EXPECT_EQ(send("close wfile"), 0);
    EXPECT_FALSE(std::filesystem::exists(files[0]));

    // A saved recording is renamed (recording_crash_test tells why), and close deletes it all the same.
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0) << reply;
    EXPECT_EQ(send("record wfile"), 0);
    engine->advance(100ms);
    EXPECT_EQ(send("stop wfile"), 0);
    ASSERT_EQ(send("save wfile \"" + folder.file("saved.wav") + "\""), 0) << reply;
    EXPECT_EQ(send("close wfile"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(recordings));
}

// A write that fails (here: the file-size limit of the process) stops the recording where it failed,
// keeps what came before, and says so on stop and on the next save, which writes nothing; after that,
// what was kept saves like any recording.
TEST_F(SoundDevice, ARecordingCutShortKeepsWhatCameBeforeAndSaysSo) {
    ASSERT_EQ(send("open new type waveaudio alias wfile"), 0) << reply;
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit limit = before;
    limit.rlim_cur = 44 + 44100 * 4 + 2; // one second and half a frame
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    EXPECT_EQ(send("record wfile"), 0);
    engine->advance(2500ms);
    const std::int32_t stopped = send("stop wfile");
    setrlimit(RLIMIT_FSIZE, &before);
    ASSERT_EQ(stopped, code(Error::RecordingTooLarge));
    EXPECT_NE(reply.find("1.0 秒"), std::string::npos) << reply;
    EXPECT_EQ(length(), "1000");
    EXPECT_EQ(send("record wfile"), code(Error::RecordingTooLarge)) << "never recorded on after a hole";

    const std::string saved = folder.file("kept.wav");
    EXPECT_EQ(send("save wfile \"" + saved + "\""), code(Error::RecordingTooLarge));
    EXPECT_FALSE(std::filesystem::exists(saved));
    ASSERT_EQ(send("save wfile \"" + saved + "\""), 0) << reply;
    const Sound sound = readSound(saved);
    ASSERT_EQ(sound.info.frames, 44100);
    EXPECT_EQ(sound.samples[2 * 44099], std::lround(sine(440, 44099, 44100) * 32767));
}

} // namespace
