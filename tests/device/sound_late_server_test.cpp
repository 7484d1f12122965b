// Without a sound server the open itself fails quickly with a clear text; once the server is there,
// the next open finds it, in the same process.

#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace pikota::sound;

// The failed open makes PortAudio shut down, and ALSA then unloads its plugins, whose libraries'
// constructors allocated memory they never free. That is theirs, not ours: in sanitizer builds the
// leak check ignores allocations made by library constructors (which needs the full unwinder to see).
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:_dl_init\n"; }

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

TEST(SoundLateServer, AServerThatDoesNotAnswerMakesOpenFailInsteadOfHanging) {
    const std::string real = std::getenv("PULSE_SERVER");
    pikota::sound::testing::ScratchFolder folder;
    const std::string script = std::string(PIKOTA_SOURCE_DIR) + "/scripts/sound-server";
    ASSERT_EQ(std::system((script + " start " + folder.path().string()).c_str()), 0);
    pid_t daemon = 0;
    std::ifstream(folder.file("daemon.pid")) >> daemon;
    ASSERT_GT(daemon, 0);
    kill(daemon, SIGSTOP);

    auto service = makeSoundService();
    std::string reply;
    setenv("PULSE_SERVER", ("unix:" + folder.file("native")).c_str(), 1);
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply),
              static_cast<int>(Error::DeviceNotResponding));
    EXPECT_EQ(send(*service, "status wfile length", reply), static_cast<int>(Error::NotOpen));

    // Once it answers again, the abandoned open finishes on its own and the device works again.
    kill(daemon, SIGCONT);
    setenv("PULSE_SERVER", real.c_str(), 1);
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "close wfile", reply), 0) << reply;
    std::system((script + " stop " + folder.path().string()).c_str());
}

} // namespace
