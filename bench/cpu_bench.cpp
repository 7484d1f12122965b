// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_cpu: what the sound device costs against the plain tools of the same sound server, measured side
// by side in one run, what the whole program costs while it plays, and how long the first open waits.
// Run by hand, not by ctest, under an X server for the whole program:
//
//     xvfb-run -a build/bin/bench_cpu          both private servers that scripts/sound-server starts in
//                                              build/sound/bench-pulseaudio and build/sound/bench-pipewire,
//                                              or only the server of PULSE_SERVER when that is set
//     xvfb-run -a build/bin/bench_cpu pipewire one kind of private server
//     PIKOTA_BENCH_SECONDS=8 ...               seconds of sound per measurement (6 unless set)
//
// For each server it reports
//   - the CPU time (user + system, all threads) per second of sound of `pikota-mci` playing a file
//     against `paplay` playing the same file, and of `pikota-mci` recording against `parecord`, each a
//     child process: over the whole process (start and end included, from wait4()) and over the steady
//     middle of the sound (from the tasks' schedstat); five rounds, the medians, and the ratios. The
//     recording's save (a copy to the chosen name) is shown apart;
//   - the whole program playing: `pikota` started with the same file on both tracks, ▶ of track 1
//     clicked through the X server (xdotool), and the share of one core that the process and its window
//     thread take over the steady middle, against paplay's;
//   - the whole program recording, its track showing the recording live: 録音, OK and ● of track 1
//     clicked, and the same shares, with the growth of the process's memory over that time
//     (PIKOTA_BENCH_RECORDING_SECONDS sets that time, twice the seconds of sound unless set);
//   - the first open's wait: a fresh process makes the sound service, gives it 300 ms (the window takes
//     longer than that to show), then times "open FILE type waveaudio alias wfile" + "play wfile"; the
//     same for the second open in that process; and the answer to the first open with no server there.

#include "bench/ProcessStatus.h"
#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"
#include "tests/support/SoundServerProcesses.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 5;

void writeTone(const std::string& path, double seconds) {
    pikota::test::writeSound(
        path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, static_cast<std::int64_t>(seconds * 44100),
        [](std::int64_t n, int) { return pikota::test::sine(440, n, 44100, 8000.0 / 32768); });
}

// A child process with a pipe to its standard input and one from its standard output.
class Child {
public:
    explicit Child(std::vector<std::string> argv) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            std::exit(1);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            for (int fd : {in[0], in[1], out[0], out[1], null})
                close(fd);
            std::vector<char*> args;
            for (auto& a : argv)
                args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = fdopen(out[0], "r");
    }
    ~Child() {
        if (in_ >= 0)
            close(in_);
        if (out_)
            fclose(out_);
    }
    // Sends one line and waits for the tool's answer line (pikota-mci answers every line).
    std::string ask(const std::string& line) {
        say(line);
        char buffer[512] = {};
        if (!std::fgets(buffer, sizeof buffer, out_))
            return "";
        return buffer;
    }
    void say(const std::string& line) {
        const std::string text = line + "\n";
        if (write(in_, text.data(), text.size()) < 0)
            std::exit(1);
    }
    void signal(int number) { kill(pid_, number); }
    // CPU time so far in seconds, all threads.
    double cpu() const {
        double total = 0;
        const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
        for (const auto& task : std::filesystem::directory_iterator(tasks)) {
            std::ifstream stat(task.path() / "schedstat");
            double ns = 0;
            if (stat >> ns)
                total += ns / 1e9;
        }
        return total;
    }
    // Closes its standard input, waits for it to end, and returns its CPU time in seconds.
    double finish() {
        close(in_);
        in_ = -1;
        int status = 0;
        rusage usage{};
        wait4(pid_, &status, 0, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }

private:
    pid_t pid_ = -1;
    int in_ = -1;
    FILE* out_ = nullptr;
};

void sleepSeconds(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// What one run of a tool cost: CPU seconds per second of sound over the whole process (its start and
// end included), and over the steady middle (from 1 s into the sound to 1 s before its end).
struct Cost {
    double whole = 0;
    double steady = 0;
};

// Samples the tool's CPU 1 s into the sound and `seconds` - 2 s later.
double steadyPart(Child& tool, double seconds) {
    sleepSeconds(1);
    const double before = tool.cpu();
    sleepSeconds(seconds - 2);
    return (tool.cpu() - before) / (seconds - 2);
}

Cost paplay(const std::string& file, double seconds) {
    Child tool({"paplay", file});
    Cost cost;
    cost.steady = steadyPart(tool, seconds);
    cost.whole = tool.finish() / seconds;
    return cost;
}

Cost devicePlay(const std::string& file, double seconds) {
    Child tool({PIKOTA_MCI});
    tool.ask("open " + file + " type waveaudio alias wfile");
    tool.ask("play wfile");
    Cost cost;
    cost.steady = steadyPart(tool, seconds);
    sleepSeconds(1.2);
    tool.ask("close wfile");
    cost.whole = tool.finish() / seconds;
    return cost;
}

Cost parecord(const std::string& file, double seconds) {
    Child tool({"parecord", "--file-format=wav", "--rate=44100", "--channels=2", "--format=s16le", file});
    Cost cost;
    cost.steady = steadyPart(tool, seconds);
    sleepSeconds(1);
    tool.signal(SIGINT);
    cost.whole = tool.finish() / seconds;
    return cost;
}

// The recording itself, without saving it: parecord does not copy its file to a name chosen afterwards.
// What the save costs is returned in `save`.
Cost deviceRecord(const std::string& file, double seconds, double& save) {
    Child tool({PIKOTA_MCI});
    tool.ask("open new type waveaudio alias wfile");
    tool.ask("record wfile");
    Cost cost;
    cost.steady = steadyPart(tool, seconds);
    sleepSeconds(1);
    tool.ask("stop wfile");
    const double before = tool.cpu();
    tool.ask("save wfile \"" + file + "\"");
    save = tool.cpu() - before;
    tool.ask("close wfile");
    cost.whole = (tool.finish() - save) / seconds;
    return cost;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string serverName() {
    FILE* info = popen("pactl info 2>/dev/null", "r");
    std::string name = "?";
    char line[512];
    while (info && std::fgets(line, sizeof line, info))
        if (std::strncmp(line, "Server Name: ", 13) == 0) {
            name = line + 13;
            name.erase(name.find_last_not_of("\n") + 1);
        }
    if (info)
        pclose(info);
    return name;
}

// In a fresh process: the service made, 300 ms given, then the first and the second "open" + "play".
int firstOpen(const std::string& file) {
    auto service = pikota::sound::makeSoundService();
    sleepSeconds(0.3);
    double waits[2] = {};
    int codes[2] = {};
    for (int i = 0; i < 2; ++i) {
        const auto start = Clock::now();
        codes[i] =
            pikota::sound::sendCommand(*service, ("open " + file + " type waveaudio alias wfile").c_str())
                .code;
        if (codes[i] == 0)
            codes[i] = pikota::sound::sendCommand(*service, "play wfile").code;
        waits[i] = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        pikota::sound::sendCommand(*service, "close wfile");
    }
    std::printf("%.2f %.2f %d %d\n", waits[0], waits[1], codes[0], codes[1]);
    return 0;
}

void measureFirstOpen(const std::string& self, const std::string& file, bool noServer) {
    std::vector<double> first, second;
    int code = 0;
    for (int round = 0; round < 5; ++round) {
        std::string command = self + " --first-open '" + file + "'";
        if (noServer)
            command = "PULSE_SERVER=unix:/nonexistent/pikota/native " + command;
        FILE* child = popen(command.c_str(), "r");
        double a = 0, b = 0;
        int c0 = 0, c1 = 0;
        if (!child || std::fscanf(child, "%lf %lf %d %d", &a, &b, &c0, &c1) != 4)
            std::exit(1);
        pclose(child);
        first.push_back(a);
        second.push_back(b);
        code = c0;
    }
    std::sort(first.begin(), first.end());
    if (noServer)
        std::printf("  no server: the first open answers (code %d) after %.1f ms (median of 5, max %.1f)\n",
                    code, median(first), first.back());
    else
        std::printf(
            "  first open + play answers after %.1f ms (median of 5, max %.1f); the second after %.1f ms\n",
            median(first), first.back(), median(second));
}

// CPU seconds so far of the process (all threads) and of its main thread, from the tasks' schedstat.
std::pair<double, double> processCpu(pid_t pid) {
    const auto onCpu = [](const std::filesystem::path& task) {
        std::ifstream stat(task / "schedstat");
        double ns = 0;
        stat >> ns;
        return ns / 1e9;
    };
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    double all = 0;
    for (const auto& task : std::filesystem::directory_iterator(tasks))
        all += onCpu(task.path());
    return {all, onCpu(tasks / std::to_string(pid))};
}

std::string shell(const std::string& command) {
    FILE* out = popen(command.c_str(), "r");
    std::string text;
    char buffer[256];
    while (out && std::fgets(buffer, sizeof buffer, out))
        text += buffer;
    if (out)
        pclose(out);
    return text;
}

// The resident memory of a process, in KiB.
long residentKiB(pid_t pid) { return pikota::test::StatusKiB("VmRSS", std::to_string(pid)); }

enum class Road { Playing, Recording };

// The whole program playing or recording, as a share of one core: the process and its window thread.
// Needs an X server (DISPLAY) and xdotool; says so and measures nothing without them.
void measureWindow(const std::string& folder, double seconds, Road road) {
    const char* what = road == Road::Playing ? "playing" : "recording";
    if (!std::getenv("DISPLAY") || shell("command -v xdotool").empty()) {
        std::printf("  whole program %s: not measured (needs an X server and xdotool: run under xvfb-run)\n",
                    what);
        return;
    }
    const char* recordingSeconds = std::getenv("PIKOTA_BENCH_RECORDING_SECONDS");
    const double measured =
        road == Road::Recording && recordingSeconds ? std::atof(recordingSeconds) : 2 * seconds;
    // Long enough for a steady middle of twice the other measurements' sound.
    const std::string tone = folder + "/window-tone.wav";
    writeTone(tone, 2 * seconds + 4);
    std::vector<double> process, window, grown;
    static int started = 0;
    for (int round = 0; round < 3; ++round) {
        const std::string state = folder + "/state-" + std::to_string(++started);
        const pid_t pid = fork();
        if (pid == 0) {
            // Its own settings and recordings folder, and quiet.
            setenv("HOME", (folder + "/home").c_str(), 1);
            setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
            // A state folder of its own each time, on every server: a recording an earlier round's kill
            // left behind would be reported at the start, and the question would take the clicks.
            setenv("XDG_STATE_HOME", state.c_str(), 1);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            if (road == Road::Playing)
                execl(PIKOTA_PROGRAM, PIKOTA_PROGRAM, tone.c_str(), tone.c_str(),
                      static_cast<char*>(nullptr));
            else
                execl(PIKOTA_PROGRAM, PIKOTA_PROGRAM, static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string found = shell("timeout 20 xdotool search --sync --onlyvisible --pid " +
                                        std::to_string(pid) + " --name '^ピコタ$' | head -1");
        const std::string id = found.substr(0, found.find('\n'));
        if (id.empty()) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            std::printf("  whole program %s: its window did not show\n", what);
            return;
        }
        sleepSeconds(1.5);
        // Track 1's buttons, in the client area below the menu bar (the form is 573 pixels high without
        // it), by the middle of their layout place: ▶; or 録音, Enter for the ready message, and ●.
        const int height =
            std::atoi(shell("xdotool getwindowgeometry --shell " + id + " | sed -n 's/^HEIGHT=//p'").c_str());
        const int y = (120 + 1560 + 187) / 15 + height - 573;
        const auto click = [&](int left, int width) {
            shell("xdotool mousemove --window " + id + " " + std::to_string((120 + left + width / 2) / 15) +
                  " " + std::to_string(y) + " click 1");
        };
        if (road == Road::Playing) {
            click(3285, 615);
        } else {
            click(1440, 735);
            // The ready message: answered once it is up, and gone before ● is clicked.
            const std::string windows =
                "xdotool search --onlyvisible --pid " + std::to_string(pid) + " | wc -l";
            for (int i = 0; i < 50 && std::atoi(shell(windows).c_str()) < 2; ++i)
                sleepSeconds(0.2);
            shell("xdotool key Return");
            for (int i = 0; i < 50 && std::atoi(shell(windows).c_str()) > 1; ++i)
                sleepSeconds(0.2);
            click(2640, 615);
        }
        sleepSeconds(1.5);
        const auto before = processCpu(pid);
        const long memoryBefore = residentKiB(pid);
        const auto start = Clock::now();
        sleepSeconds(measured);
        const auto after = processCpu(pid);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        process.push_back((after.first - before.first) / wall);
        window.push_back((after.second - before.second) / wall);
        grown.push_back(static_cast<double>(residentKiB(pid) - memoryBefore));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::printf(
        "  whole program %s (%s): %.2f %% of one core, its window thread %.2f %% over %.0f s; memory "
        "%+.0f KiB (medians of 3)\n",
        what, road == Road::Playing ? "both tracks loaded, track 1 playing" : "track 1 recording, shown live",
        median(process) * 100, median(window) * 100, measured, median(grown));
}

void measureServer(const std::string& self, const std::string& folder, double seconds) {
    std::printf("%s (%s)\n", std::getenv("PULSE_SERVER"), serverName().c_str());
    const std::string tone = folder + "/tone.wav";
    writeTone(tone, seconds);
    std::vector<Cost> plain, device, plainRec, deviceRec;
    std::vector<double> saves;
    for (int round = 0; round < kRounds; ++round) {
        plain.push_back(paplay(tone, seconds));
        device.push_back(devicePlay(tone, seconds));
        plainRec.push_back(parecord(folder + "/parecord.wav", seconds));
        double save = 0;
        deviceRec.push_back(deviceRecord(folder + "/device.wav", seconds, save));
        saves.push_back(save);
    }
    const auto show = [](const char* what, const char* tool, const std::vector<Cost>& ours,
                         const std::vector<Cost>& theirs) {
        std::vector<double> a, b, c, d;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            a.push_back(ours[i].whole);
            b.push_back(theirs[i].whole);
            c.push_back(ours[i].steady);
            d.push_back(theirs[i].steady);
        }
        std::printf("  %-10s pikota-mci %5.2f ms of CPU per second of sound, %-8s %5.2f ms: %.2fx  "
                    "(steady middle: %.2f against %.2f ms: %.2fx)\n",
                    what, median(a) * 1000, tool, median(b) * 1000, median(a) / median(b), median(c) * 1000,
                    median(d) * 1000, median(c) / median(d));
    };
    show("playing:", "paplay", device, plain);
    std::printf("  paplay playing: %.2f %% of one core (steady middle)\n",
                median([&] {
                    std::vector<double> steady;
                    for (const Cost& cost : plain)
                        steady.push_back(cost.steady);
                    return steady;
                }()) *
                    100);
    measureWindow(folder, seconds, Road::Playing);
    show("recording:", "parecord", deviceRec, plainRec);
    measureWindow(folder, seconds, Road::Recording);
    std::printf("  saving the recording afterwards: %.2f ms\n", median(saves) * 1000);
    measureFirstOpen(self, tone, false);
    measureFirstOpen(self, tone, true);
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::strcmp(argv[1], "--first-open") == 0)
        return firstOpen(argv[2]);
    const std::string self = std::filesystem::canonical("/proc/self/exe");
    std::vector<std::string> kinds(argv + 1, argv + argc);
    if (kinds.empty() && !std::getenv("PULSE_SERVER"))
        kinds = {"pulseaudio", "pipewire"};
    const char* secondsText = std::getenv("PIKOTA_BENCH_SECONDS");
    const double seconds = secondsText ? std::max(4.0, std::atof(secondsText)) : 6.0;
    const std::string folder =
        std::filesystem::temp_directory_path() / ("pikota-bench-cpu-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::printf("bench_cpu: %.0f s of sound per measurement\n", seconds);
    if (kinds.empty())
        measureServer(self, folder, seconds);
    for (const std::string& kind : kinds) {
        const std::string dir = std::string(PIKOTA_BINARY_DIR) + "/sound/bench-" + kind;
        if (!pikota::test::startSoundServer(std::string(PIKOTA_SOURCE_DIR) + "/scripts/sound-server", dir,
                                            kind) ||
            !pikota::test::useSoundServer(dir)) {
            std::printf("%s: the private server does not start\n", kind.c_str());
            continue;
        }
        measureServer(self, folder, seconds);
        std::system(("'" PIKOTA_SOURCE_DIR "/scripts/sound-server' stop '" + dir + "'").c_str());
    }
    std::filesystem::remove_all(folder);
    return 0;
}
