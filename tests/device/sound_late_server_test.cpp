// Without a sound server the open itself fails quickly with a clear text; once the server is there,
// the next open finds it, in the same process.

#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

using namespace pikota::sound;

// The failed open makes PortAudio shut down, and ALSA then unloads its plugins, whose libraries'
// constructors allocated memory they never free. That is theirs, not ours: in sanitizer builds the
// leak check ignores allocations made by library constructors (which needs the full unwinder to see).
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:_dl_init\n"; }

namespace {

std::int32_t send(SoundService& service, const char* command, std::string& reply) {
    const CommandResult result = SendCommand(service, command);
    reply = result.text.value_or("");
    return result.code;
}

TEST(SoundLateServer, OpenFailsWithoutTheServerAndSucceedsOnceItIsThere) {
    const char* dir = std::getenv("PIKOTA_SOUND_SERVER_DIR");
    ASSERT_NE(dir, nullptr) << "needs a sound server fixture";
    auto service = makeSoundService();
    std::string reply;

    // Nowhere to go: neither the named socket nor a runtime folder with a server in it.
    pikota::sound::testing::ScratchFolder nowhere;
    setenv("PULSE_SERVER", ("unix:" + nowhere.file("native")).c_str(), 1);
    setenv("XDG_RUNTIME_DIR", nowhere.path().c_str(), 1);
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply),
              static_cast<int>(Error::NoInputDevice));
    EXPECT_NE(reply.find("サウンドサーバー"), std::string::npos) << reply;
    EXPECT_EQ(send(*service, "status wfile length", reply), static_cast<int>(Error::NotOpen));

    ASSERT_TRUE(pikota::sound::testing::useSoundServer(dir));
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "record wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "close wfile", reply), 0) << reply;
}

TEST(SoundLateServer, AServerThatDoesNotAnswerMakesOpenFailInsteadOfHanging) {
    const char* dir = std::getenv("PIKOTA_SOUND_SERVER_DIR");
    const char* kind = std::getenv("PIKOTA_SOUND_SERVER");
    ASSERT_TRUE(dir && kind) << "needs a sound server fixture";
    // A second server of the same kind, frozen whole: for PipeWire the graph as well as pipewire-pulse.
    pikota::sound::testing::ScratchFolder folder;
    const std::string frozen = folder.path().string();
    const std::string script = std::string(PIKOTA_SOURCE_DIR) + "/scripts/sound-server";
    ASSERT_EQ(std::system((script + " start " + frozen + " " + kind + " >/dev/null").c_str()), 0);
    const pid_t server = pikota::sound::testing::soundServerPid(frozen);
    const pid_t graph = pikota::sound::testing::soundServerPid(frozen, "pipewire");
    ASSERT_GT(server, 0);
    kill(server, SIGSTOP);
    if (graph > 0)
        kill(graph, SIGSTOP);

    auto service = makeSoundService();
    std::string reply;
    ASSERT_TRUE(pikota::sound::testing::useSoundServer(frozen));
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply),
              static_cast<int>(Error::DeviceNotResponding));
    EXPECT_EQ(send(*service, "status wfile length", reply), static_cast<int>(Error::NotOpen));

    // Once it answers again, the abandoned open finishes on its own and the device works again.
    if (graph > 0)
        kill(graph, SIGCONT);
    kill(server, SIGCONT);
    ASSERT_TRUE(pikota::sound::testing::useSoundServer(dir));
    EXPECT_EQ(send(*service, "open new type waveaudio alias wfile", reply), 0) << reply;
    EXPECT_EQ(send(*service, "close wfile", reply), 0) << reply;
    std::system((script + " stop " + frozen).c_str());
}

} // namespace
