// Without a sound server the program still starts and the open fails quickly with a clear text; once
// the server is there, the next open finds it, in the same process. A server that takes connections but
// does not answer makes the open fail in time instead of hanging.

#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace pikota::sound;

namespace {

std::int32_t send(SoundService& service, const char* command, std::string& reply) {
    char buffer[256] = {};
    const std::int32_t result = service.sendString(command, buffer, sizeof buffer);
    if (result != 0)
        service.errorString(result, buffer, sizeof buffer);
    reply = buffer;
    return result;
}

TEST(SoundLateServer, OpenFailsWithoutTheServerAndSucceedsOnceItIsThere) {
    const char* server = std::getenv("PULSE_SERVER");
    ASSERT_NE(server, nullptr) << "needs the sound_server fixture";
    const std::string real = server;
    // The service starts connecting when it is made: to nothing here.
    setenv("PULSE_SERVER", "unix:/nonexistent/pikota/native", 1);
    auto service = makeSoundService();
    std::string reply;

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply),
              static_cast<int>(Error::NoSoundServer));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "no server must be quick";
    EXPECT_NE(reply.find("サウンドサーバー"), std::string::npos) << reply;
    EXPECT_EQ(send(*service, "status wfile length", reply), static_cast<int>(Error::NotOpen));

    setenv("PULSE_SERVER", real.c_str(), 1);
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "record wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "close wfile", reply), 0) << reply;
}

TEST(SoundLateServer, AServerThatDoesNotAnswerMakesOpenFailInsteadOfHanging) {
    const std::string real = std::getenv("PULSE_SERVER");
    pikota::sound::testing::ScratchFolder folder;
    const std::string script = std::string(PIKOTA_SOURCE_DIR) + "/scripts/sound-server";
    ASSERT_EQ(std::system((script + " start " + folder.path().string()).c_str()), 0);
    pid_t daemon = 0;
    std::ifstream(folder.file("daemon.pid")) >> daemon;
    ASSERT_GT(daemon, 0);
    kill(daemon, SIGSTOP);

    setenv("PULSE_SERVER", ("unix:" + folder.file("native")).c_str(), 1);
    auto service = makeSoundService();
    std::string reply;
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply),
              static_cast<int>(Error::DeviceNotResponding));
    EXPECT_EQ(send(*service, "status wfile length", reply), static_cast<int>(Error::NotOpen));

    // The server that answers is found by the next open.
    kill(daemon, SIGCONT);
    setenv("PULSE_SERVER", real.c_str(), 1);
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "close wfile", reply), 0) << reply;
    std::system((script + " stop " + folder.path().string()).c_str());
}

} // namespace
