// Without a sound server the open itself fails quickly with a clear text; once the server is there,
// the next open finds it, in the same process.

#include "WaveAudioService.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
    auto service = makeSoundService();
    std::string reply;

    setenv("PULSE_SERVER", "unix:/nonexistent/pikota/native", 1);
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply),
              static_cast<int>(Error::NoInputDevice));
    EXPECT_NE(reply.find("サウンドサーバー"), std::string::npos) << reply;
    EXPECT_EQ(send(*service, "status wfile length", reply), static_cast<int>(Error::NotOpen));

    setenv("PULSE_SERVER", real.c_str(), 1);
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "record wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "close wfile", reply), 0) << reply;
}

} // namespace
