// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// One click into a waveform box redraws the scope box with two 883-point traces (two
// 16-bit 44100 Hz tracks). The position timer redraws the same box every 100 ms, so
// the redraw is reported as a share of that period.
#include "main/frmMain.h"
#include "platform/toolkit/PictureBox.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace toolkit = pikota::toolkit;

namespace {

constexpr double kTimerPeriodSeconds = 0.1;

frmMain* window = nullptr;

void fill(Track& t, double hz) {
    t.waveFormat.nSamplesPerSec = 44100;
    t.waveFormat.wBitsPerSample = 16;
    t.FullScale = 65536;
    for (std::size_t k = 0; k < t.LeftSamples->size(); ++k)
        (*t.LeftSamples)[k] =
            static_cast<std::int16_t>(20000 * std::sin(2 * std::numbers::pi * hz * double(k) / 44100));
    t.HasWaveform = true;
}

// Alternate between two places so that every click draws something new.
void click(int i) { window->Picture1_MouseDown(Qt::LeftButton, {}, i % 2 ? 1000.4f : 2000.6f, 0); }

void BM_ClickDrawing(benchmark::State& state) {
    int i = 0;
    for (auto _ : state)
        click(++i);
}
BENCHMARK(BM_ClickDrawing)->Unit(benchmark::kMillisecond);

// The same, and the box painted on the screen at once rather than at the next event.
void BM_ClickDrawingAndPaint(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        click(++i);
        window->Picture2->repaint();
    }
}
BENCHMARK(BM_ClickDrawingAndPaint)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const double seconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            std::printf("%s: click redraw / 100 ms = %.4f\n", run.benchmark_name().c_str(),
                        seconds / kTimerPeriodSeconds);
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    frmMain w;
    window = &w;
    fill(w.track1, 440);
    fill(w.track2, 660);
    w.Picture3_MouseDown(Qt::LeftButton, {}, 5000, 0);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
