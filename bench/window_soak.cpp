// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_soak: the whole window through a long, mixed session, as a user who leaves it open all day: files
// loaded through the real file dialog (3 s, 2 s and 15 s of stereo, ten minutes of 24-bit stereo, a minute
// of 4-channel float, a minute of MP3), played, paused and stopped, clicks into both boxes, 波形のクリア,
// and recordings of 1 to 4 s saved through the real save dialog, some over an older take, some cancelled
// first; the private sound server killed and started again every 40 to 80 s. Every 30 s and at the end it
// prints the minutes gone, resident and anonymous memory, and the allocator's heap (in use and free), and
// at the end how far resident memory varied from minute 5 on. What is open at a sample moves the heap by
// a few MB (a long file's overview, a short file's points, the device's rings while playing), so every
// 5 minutes the same state is also made and measured: the 3 s file on track 1 and the 2 s file on track 2,
// loaded again through the dialog, the first played a moment and stopped (so that it is the file the
// device holds open); the range of those settled samples is the growth, apart from what is open.
//
//     xvfb-run -a build/bin/bench_soak [MINUTES [pulseaudio|pipewire]]     (30 minutes on PulseAudio)
//
// It is run by hand: half an hour is no test for every run. Under a heap profiler as well:
//     xvfb-run -a heaptrack build/bin/bench_soak 30
#include "bench/ProcessStatus.h"
#include "device/Module1.h"
#include "main/frmMain.h"
#include "platform/sound/WaveAudioService.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/PictureBox.h"
#include "tests/device/SoundTestSupport.h"
#include "tests/support/SoundServerProcesses.h"
#include "tests/support/WavBytes.h"
#include "track/Track.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A sound file of `seconds` written through libsndfile: a tone that moves, so that every file is drawn.
QString WriteSound(const QString& path, int format, int channels, double seconds) {
    pikota::test::writeSound(path.toStdString(), format, 44100, channels,
                             static_cast<std::int64_t>(seconds * 44100), [](std::int64_t frame, int c) {
                                 const auto t = static_cast<double>(frame);
                                 return 0.4 * std::sin(t * (0.02 + 0.01 * c)) * std::sin(t * 1e-5);
                             });
    return path;
}

// What the next dialog or message box that comes up is answered with.
struct Answers {
    QString path;  // the file dialog's: a name to type, or empty to cancel
    int shown = 0; // ticks the current modal window has been up
    QWidget* last = nullptr;
};

void Answer(Answers& answers) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != answers.last) {
        answers.last = modal;
        answers.shown = 0;
    }
    if (!modal || ++answers.shown < 10) // up for a while, its folder listed, as a user sees it
        return;
    answers.shown = 0;
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        if (answers.path.isEmpty()) {
            dialog->reject();
            return;
        }
        // The name put into the name field, and accepted as its Enter key accepts it.
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(answers.path);
        QMetaObject::invokeMethod(dialog, "accept");
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        // Replacing an older take: yes. Opening the folder of recordings left behind: no. Anything else: OK.
        if (box->text().contains(QStringLiteral("フォルダーを開きますか")))
            box->button(QMessageBox::No)->click();
        else if (QAbstractButton* yes = box->button(QMessageBox::Yes))
            yes->click();
        else
            box->button(QMessageBox::Ok)->click();
    }
}

struct Sample {
    double minutes;
    long resident, anonymous;
    std::size_t heapUsed, heapFree;
};

Sample Measure(Clock::time_point start) {
    const struct mallinfo2 heap = mallinfo2();
    return {std::chrono::duration<double>(Clock::now() - start).count() / 60,
            pikota::test::StatusKiB("VmRSS"), pikota::test::StatusKiB("RssAnon"), heap.uordblks + heap.hblkhd,
            heap.fordblks};
}

void Print(const Sample& s) {
    std::printf("%6.1f min  resident %7ld KiB  anonymous %7ld KiB  heap in use %7zu KiB, free %6zu KiB\n",
                s.minutes, s.resident, s.anonymous, s.heapUsed / 1024, s.heapFree / 1024);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 30;
    const std::string kind = argc > 2 ? argv[2] : "pulseaudio";
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "bench_soak: run it under xvfb-run -a\n");
        return 2;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    const std::string script = std::string(PIKOTA_SOURCE_DIR) + "/scripts/sound-server";
    const std::string serverDir = std::string(PIKOTA_BINARY_DIR) + "/sound/soak-" + kind;
    if (!pikota::test::startSoundServer(script, serverDir, kind) ||
        !pikota::test::useSoundServer(serverDir)) {
        std::fprintf(stderr, "bench_soak: the private %s server does not start\n", kind.c_str());
        return 1;
    }
    QApplication app(argc, argv);
    pikota::toolkit::InitApplication(app);
    QTemporaryDir dir;
    for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
        qputenv(variable, dir.filePath(QString::fromLatin1(variable)).toLocal8Bit());
    const auto file = [&](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    const int pcm16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const QString files[] = {
        WriteSound(file("three.wav"), pcm16, 2, 3),
        WriteSound(file("two.wav"), pcm16, 2, 2),
        WriteSound(file("fifteen.wav"), pcm16, 2, 15),
        WriteSound(file("ten minutes 24-bit.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 600),
        WriteSound(file("a minute of four channels.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 4, 60),
        WriteSound(file("a minute.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, 60),
    };
    QDir(dir.path()).mkdir(QStringLiteral("takes"));

    const auto sound = pikota::sound::makeSoundService();
    SetSoundService(sound.get());
    std::vector<Sample> samples, settled;
    {
        frmMain form;
        Answers answers;
        QTimer answering;
        QObject::connect(&answering, &QTimer::timeout, [&] { Answer(answers); });
        answering.start(10);

        std::mt19937 random(12345);
        const auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
        const auto wait = [&](int fromMs, int toMs) {
            QTest::qWait(fromMs + static_cast<int>(random() % static_cast<unsigned>(toMs - fromMs + 1)));
        };
        const auto clickIf = [](QPushButton* button) {
            if (button->isVisible() && button->isEnabled())
                button->click();
        };
        struct Side {
            Track& track;
            TrackControls& ui;
        };
        Side sides[] = {{form.track1, form.ui1}, {form.track2, form.ui2}};
        int takes = 0;

        const auto start = Clock::now();
        auto nextSample = start;
        auto nextRestart = start + std::chrono::seconds(40 + random() % 41);
        auto nextSettle = start + std::chrono::minutes(5);
        while (Clock::now() - start < std::chrono::duration<double>(minutes * 60)) {
            if (Clock::now() >= nextSample) {
                samples.push_back(Measure(start));
                Print(samples.back());
                nextSample += std::chrono::seconds(30);
            }
            if (Clock::now() >= nextRestart) {
                for (const auto& process : pikota::test::soundServerProcesses(serverDir))
                    ::kill(process.pid, SIGKILL);
                pikota::test::startSoundServer(script, serverDir, kind);
                nextRestart = Clock::now() + std::chrono::seconds(40 + random() % 41);
            }
            Side& side = sides[random() % 2];
            // A recording whose save was cancelled is saved first: nothing else can be pressed meanwhile.
            for (Side& s : sides)
                if (s.track.RecordMode && s.ui.cmdStop->isEnabled() && !s.ui.cmdRec->isEnabled()) {
                    answers.path = dir.filePath(QStringLiteral("takes/take %1.wav").arg(takes++ % 5));
                    s.ui.cmdStop->click();
                }
            if (Clock::now() >= nextSettle) {
                // Both stopped first: while either plays, neither can load.
                for (Side& s : sides)
                    clickIf(s.ui.cmdStop);
                bool same = true;
                for (int i = 0; i < 2; ++i) {
                    answers.path = files[i];
                    clickIf(sides[i].ui.cmdRoad);
                    same = same && sides[i].track.FilePath.contains(QFileInfo(files[i]).fileName());
                }
                // The device keeps the file it played last open, with its decoder: the 3 s file.
                clickIf(sides[0].ui.cmdPlay);
                QTest::qWait(300);
                clickIf(sides[0].ui.cmdStop);
                QTest::qWait(2000);
                settled.push_back(Measure(start));
                std::printf(same ? "settled: " : "not settled (a file did not load): ");
                Print(settled.back());
                nextSettle += std::chrono::minutes(5);
            }
            const int action = static_cast<int>(random() % 100);
            if (action < 25) {
                answers.path = files[random() % std::size(files)];
                clickIf(side.ui.cmdRoad);
            } else if (action < 45) {
                clickIf(side.ui.cmdPlay);
                wait(300, 3000);
                if (chance(40)) {
                    clickIf(side.ui.cmdPause);
                    wait(100, 800);
                    clickIf(side.ui.cmdPlay);
                    wait(100, 1500);
                }
                if (chance(70))
                    clickIf(side.ui.cmdStop);
            } else if (action < 65) {
                QTest::mouseClick(
                    side.ui.box, Qt::LeftButton, {},
                    QPoint(static_cast<int>(random() % static_cast<unsigned>(side.ui.box->width())),
                           side.ui.box->height() / 2));
            } else if (action < 70) {
                form.cmdClear->click();
            } else if (action < 80 && side.ui.cmdSave->isEnabled()) {
                side.ui.cmdSave->click(); // the ready message is answered
                if (side.ui.cmdRec->isVisible()) {
                    side.ui.cmdRec->click();
                    wait(1000, 4000);
                    answers.path = chance(20)
                                       ? QString()
                                       : dir.filePath(QStringLiteral("takes/take %1.wav").arg(takes++ % 5));
                    side.ui.cmdStop->click();
                }
            }
            wait(200, 1200);
        }
        samples.push_back(Measure(start));
        Print(samples.back());
        answering.stop();
        form.hide();
    }
    SetSoundService(nullptr);
    std::system(("'" + script + "' stop '" + serverDir + "'").c_str());

    const auto range = [](const std::vector<Sample>& of, const char* what) {
        long low = -1, high = -1;
        for (const Sample& s : of)
            if (s.minutes >= 5) {
                low = low < 0 ? s.resident : std::min(low, s.resident);
                high = std::max(high, s.resident);
            }
        if (low >= 0)
            std::printf("resident memory from minute 5 to the end%s: %ld to %ld KiB, a range of %ld KiB\n",
                        what, low, high, high - low);
    };
    range(samples, "");
    range(settled, ", settled");
    return 0;
}
