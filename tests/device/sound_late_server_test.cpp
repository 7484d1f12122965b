// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Without a sound server the open itself fails quickly with a clear text; once the server is there,
// the next open finds it, in the same process.

#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"
#include "tests/support/SoundServerProcesses.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>

using namespace pikota::sound;

namespace {

std::int32_t send(SoundService& service, const char* command, std::string& reply) {
    const CommandResult result = sendCommand(service, command);
    reply = result.text.value_or("");
    return result.code;
}

TEST(SoundLateServer, OpenFailsWithoutTheServerAndSucceedsOnceItIsThere) {
    const char* dir = std::getenv("PIKOTA_SOUND_SERVER_DIR");
    ASSERT_NE(dir, nullptr) << "needs a sound server fixture";
    // Nowhere to go: neither the named socket nor a runtime folder with a server in it. The service
    // starts connecting when it is made: to nothing here.
    pikota::test::ScratchFolder nowhere;
    setenv("PULSE_SERVER", ("unix:" + nowhere.file("native")).c_str(), 1);
    setenv("XDG_RUNTIME_DIR", nowhere.path().c_str(), 1);
    auto service = makeSoundService();
    std::string reply;

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply),
              static_cast<int>(Error::NoSoundServer));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "no server must be quick";
    EXPECT_NE(reply.find("サウンドサーバー"), std::string::npos) << reply;
    EXPECT_EQ(send(*service, "status wfile length", reply), static_cast<int>(Error::NotOpen));

    ASSERT_TRUE(pikota::test::useSoundServer(dir));
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "record wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "close wfile", reply), 0) << reply;
}

TEST(SoundLateServer, AServerThatDoesNotAnswerMakesOpenFailInsteadOfHanging) {
    const char* dir = std::getenv("PIKOTA_SOUND_SERVER_DIR");
    const char* kind = std::getenv("PIKOTA_SOUND_SERVER");
    ASSERT_TRUE(dir && kind) << "needs a sound server fixture";
    // A second server of the same kind, frozen whole: for PipeWire the graph as well as pipewire-pulse.
    pikota::test::ScratchFolder folder;
    const std::string frozen = folder.path().string();
    const std::string script = std::string(PIKOTA_SOURCE_DIR) + "/scripts/sound-server";
    ASSERT_TRUE(pikota::test::startSoundServer(script, frozen, kind));
    const auto processes = pikota::test::soundServerProcesses(frozen);
    ASSERT_FALSE(processes.empty());
    for (const auto& process : processes)
        kill(process.pid, SIGSTOP);

    ASSERT_TRUE(pikota::test::useSoundServer(frozen));
    auto service = makeSoundService();
    std::string reply;
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply),
              static_cast<int>(Error::DeviceNotResponding));
    EXPECT_EQ(send(*service, "status wfile length", reply), static_cast<int>(Error::NotOpen));

    // The server that answers is found by the next open.
    for (const auto& process : processes)
        kill(process.pid, SIGCONT);
    ASSERT_TRUE(pikota::test::useSoundServer(dir));
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "close wfile", reply), 0) << reply;
    std::system(("'" + script + "' stop '" + frozen + "'").c_str());
}

} // namespace
