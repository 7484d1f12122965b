// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_plot: drawing a full track (100001 points) with PlotWaveform against one raw
// QPainter::drawPoints of the same points into an image of the box's size in device
// pixels. Both run side by side in one process, interleaved; the result is the ratio of
// their median times. On a screen of pixel ratio 1 and of ratio 2, one after the other.
#include "bench/Scales.h"
#include "platform/toolkit/PictureBox.h"
#include "track/Plot.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace toolkit = pikota::toolkit;

namespace {

double medianOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F> double seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    if (pikota::test::RunForEachScale({"1", "2"}))
        return 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QWidget window;
    TrackControls ui;
    ui.box = new toolkit::PictureBox(&window);
    ui.box->setGeometry(0, 0, 345, 41);
    ui.box->setBackColor(Qt::white);
    ui.linPosition = &ui.box->addLine(2280, 45, 2280, 520);
    ui.color = QColor(0, 0, 255);
    window.show();

    Track track;
    track.FullScale = 65536;
    track.SampleLimit = kLastSampleIndex;
    for (int i = 0; i <= kLastSampleIndex; ++i)
        (*track.LeftSamples)[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(30000 * std::sin(i * 2 * M_PI * 440 / 44100.0));

    PlotWaveform(track, ui); // gives the box its scale; warms up both paths
    // The raw job: the same points, already in pixels (sample 0 to the last on the first column to the
    // last, +32768 to -32768 on the first row to the last), in one call.
    std::vector<QPoint> pixels;
    const QSize device = ui.box->canvas().size();
    for (int i = 0; i <= kLastSampleIndex; i += 5) {
        const double y = (32768.0 - (*track.LeftSamples)[std::size_t(i)]) * (device.height() - 1) / 65536.0;
        pixels.emplace_back(int(double(i) * (device.width() - 1) / kLastSampleIndex), int(std::floor(y)));
    }
    QImage raw(ui.box->canvas().size(), QImage::Format_RGB32);

    std::vector<double> plot, drawPoints;
    for (int round = 0; round < 41; ++round) {
        plot.push_back(seconds([&] { PlotWaveform(track, ui); }));
        drawPoints.push_back(seconds([&] {
            raw.fill(Qt::white);
            QPainter painter(&raw);
            painter.setPen(ui.color);
            painter.drawPoints(pixels.data(), int(pixels.size()));
        }));
    }
    const double a = medianOf(plot), b = medianOf(drawPoints);
    std::printf("  PlotWaveform (100001 points into %dx%d pixels): %.3f ms\n", raw.width(), raw.height(),
                a * 1e3);
    std::printf("  raw drawPoints (same points): %.3f ms\n", b * 1e3);
    std::printf("  PlotWaveform / drawPoints = %.2f\n", a / b);
    return 0;
}
