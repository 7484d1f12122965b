// bench_tick: one tick of the position timer while a 16-bit 44100 Hz file plays on
// the virtual engine (two status commands, the line, the scope box rescaled, erased
// and redrawn with an 883-point trace), as a share of the timer's 100 ms period: the
// handler alone, and with the window's repaint that follows it. On a screen of pixel
// ratio 1 and of ratio 2, one after the other.
#include "bench/Scales.h"
#include "device/Module1.h"
#include "main/frmMain.h"
#include "platform/sound/VirtualEngine.h"
#include "platform/sound/WaveAudioService.h"
#include "platform/toolkit/PictureBox.h"
#include "tests/support/WavBytes.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace toolkit = pikota::toolkit;

int main(int argc, char** argv) {
    if (pikota::test::RunForEachScale({"1", "2"}))
        return 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto engine = std::make_shared<pikota::sound::VirtualEngine>();
    const auto service = pikota::sound::makeSoundService(engine);
    SetSoundService(service.get());

    QTemporaryDir dir;
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
    form.cmdPlay1_Click();

    std::vector<double> ticks, painted;
    for (int i = 0; i < 150; ++i) {
        engine->advance(std::chrono::milliseconds(100));
        const auto start = std::chrono::steady_clock::now();
        form.tmrPosition1_Timer();
        const auto handled = std::chrono::steady_clock::now();
        QCoreApplication::processEvents(); // the repaint of what the tick changed
        const auto end = std::chrono::steady_clock::now();
        ticks.push_back(std::chrono::duration<double>(handled - start).count());
        painted.push_back(std::chrono::duration<double>(end - start).count());
    }
    for (auto* v : {&ticks, &painted})
        std::sort(v->begin(), v->end());
    const double median = ticks[ticks.size() / 2], withPaint = painted[painted.size() / 2];
    std::printf(
        "  one tick: median %.3f ms, slowest %.3f ms; with its repaint: median %.3f ms, slowest %.3f ms\n",
        median * 1e3, ticks.back() * 1e3, withPaint * 1e3, painted.back() * 1e3);
    std::printf("  tick / 100 ms = %.4f; with its repaint %.4f\n", median / 0.1, withPaint / 0.1);
    SetSoundService(nullptr);
    return 0;
}
