// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_tick: one tick of the position timer while a 16-bit 44100 Hz file plays on
// the virtual engine (two status commands, the line, the scope box rescaled, erased
// and redrawn with an 883-point trace), the same while an hour-long file plays (its
// trace read from the file), and one tick of the live view while a track
// records (two status commands, the track box redrawn, the label), as shares of the
// timers' 100 ms period: the handler alone, and with the window's repaint that follows
// it; and the live view ten minutes into a recording. On a screen of pixel ratio 1 and
// of ratio 2, one after the other.
#include "bench/Scales.h"
#include "device/Module1.h"
#include "main/frmMain.h"
#include "platform/sound/VirtualEngine.h"
#include "platform/sound/WaveAudioService.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/PictureBox.h"
#include "tests/support/WavBytes.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <vector>

namespace toolkit = pikota::toolkit;

namespace {

// The median and the slowest of 100 ticks, alone and with the repaint that follows each, as shares of
// the 100 ms period. `advance` moves the sound on by 100 ms before each tick.
template <typename Advance, typename Tick> void measure(const char* what, Advance advance, Tick tick) {
    std::vector<double> ticks, painted;
    for (int i = 0; i < 100; ++i) {
        advance();
        const auto start = std::chrono::steady_clock::now();
        tick();
        const auto handled = std::chrono::steady_clock::now();
        QCoreApplication::processEvents(); // the repaint of what the tick changed
        const auto end = std::chrono::steady_clock::now();
        ticks.push_back(std::chrono::duration<double>(handled - start).count());
        painted.push_back(std::chrono::duration<double>(end - start).count());
    }
    for (auto* v : {&ticks, &painted})
        std::sort(v->begin(), v->end());
    const double median = ticks[ticks.size() / 2], withPaint = painted[painted.size() / 2];
    std::printf("  %s: median %.3f ms, slowest %.3f ms; with its repaint: median %.3f ms, slowest %.3f ms\n",
                what, median * 1e3, ticks.back() * 1e3, withPaint * 1e3, painted.back() * 1e3);
    std::printf("    tick / 100 ms = %.4f; with its repaint %.4f\n", median / 0.1, withPaint / 0.1);
}

} // namespace

int main(int argc, char** argv) {
    if (pikota::test::RunForEachScale({"1", "2"}))
        return 0;
    std::signal(SIGXFSZ, SIG_IGN); // as the program's main() does for its recordings
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto engine = std::make_shared<pikota::sound::VirtualEngine>();
    const auto service = pikota::sound::makeSoundService(engine);
    SetSoundService(service.get());
    toolkit::setMsgBoxSeam([](const toolkit::MsgRequest&) { return toolkit::MsgAnswer::OK; });

    QTemporaryDir dir;
    qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toLocal8Bit());
    const QString path = dir.filePath(QStringLiteral("tone.wav"));
    std::vector<std::int16_t> samples(44100 * 20);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(20000 * std::sin(2 * M_PI * 440 * double(i) / 44100));
    pikota::test::WriteFile(path, pikota::test::Pcm16(1, 44100, samples));

    frmMain form;
    QCoreApplication::processEvents();
    form.track1.waveFormat.nSamplesPerSec = 44100;
    form.track1.FullScale = 65536;
    form.track1.SampleLimit = 500000;
    form.track1.FilePath = path;
    const auto advance = [&] { engine->advance(std::chrono::milliseconds(100)); };
    form.cmdPlay1_Click();
    measure("position tick while playing", advance, [&] { form.tmrPosition1_Timer(); });
    form.cmdStop1_Click();

    // An hour-long file, whose scope is read from the file at the frame being heard.
    const QString hour = dir.filePath(QStringLiteral("hour.wav"));
    pikota::test::WriteSilence(hour, 2, 44100, 3600LL * 44100);
    form.OpenFiles({hour});
    while (form.ui1.tmrOverview->isActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    form.cmdPlay1_Click();
    measure("position tick while an hour-long file plays", advance, [&] { form.tmrPosition1_Timer(); });
    form.cmdStop1_Click();

    // Recording on the virtual engine: 10 s, within what the recorder's ring holds between two of its
    // writer's wakes (it wakes by the real clock, and these ticks take far less than 10 s).
    form.cmdSave1_Click();
    form.cmdRec1_Click();
    measure("live tick while recording", advance, [&] { form.tmrRecord1_Timer(); });

    // The live view alone, 10 minutes into a recording: a tick costs what it cost at the start.
    LiveView view;
    view.Start(form.ui1);
    std::int64_t frames = 600LL * 44100;
    const auto step = [&] {
        QString envelope = QStringLiteral("%1 441 44100").arg(frames);
        for (int i = 0; i < 10; ++i)
            envelope += QStringLiteral(" -16000 16000");
        frames += 4410;
        return envelope;
    };
    view.Update(form.ui1, 600000, step()); // the scale for 10 minutes
    measure(
        "live view 10 minutes into a recording", [] {}, [&] { view.Update(form.ui1, 600000, step()); });
    SetSoundService(nullptr);
    toolkit::setMsgBoxSeam({});
    return 0;
}
