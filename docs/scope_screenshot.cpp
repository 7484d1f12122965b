// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Draws the picture of the scope overlay for the documentation: two one-second tones
// (440 Hz on track 1, 660 Hz on track 2, 44100 Hz 16-bit) written as WAV files and
// loaded through the Load buttons, a click into each waveform box, and the whole window
// grabbed to the PNG file given.
//   scope_screenshot docs/scope-overlay.png
#include "main/frmMain.h"
#include "platform/toolkit/FileDialog.h"
#include "platform/toolkit/PictureBox.h"
#include "tests/support/WavBytes.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace toolkit = pikota::toolkit;

namespace {

// A tone that swells and fades over the second, so the track's box shows its shape.
QString tone(const QTemporaryDir& dir, double hz, double amplitude) {
    constexpr std::int32_t rate = 44100;
    std::vector<std::int16_t> samples(rate);
    for (std::int32_t k = 0; k < rate; ++k) {
        const double envelope = std::sin(std::numbers::pi * k / rate);
        samples[k] =
            static_cast<std::int16_t>(amplitude * envelope * std::sin(2 * std::numbers::pi * hz * k / rate));
    }
    const QString path = dir.filePath(QStringLiteral("tone-%1Hz.wav").arg(hz));
    pikota::test::WriteFile(path, pikota::test::Pcm16(1, rate, samples));
    return path;
}

void load(QPushButton* button, const QString& path) {
    toolkit::CommonDialog::setSeam(
        [&](const toolkit::CommonDialog::Request&) { return std::optional(path); });
    QTest::mouseClick(button, Qt::LeftButton);
    toolkit::CommonDialog::setSeam({});
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.png\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    frmMain w;
    load(w.cmdRoad1, tone(dir, 440, 24000));
    load(w.cmdRoad2, tone(dir, 660, 14000));
    QTest::mouseClick(w.Picture3, Qt::LeftButton, {}, QPoint(w.Picture3->width() / 2, 10));
    QTest::mouseClick(w.Picture1, Qt::LeftButton, {}, QPoint(w.Picture1->width() / 4, 10));
    QApplication::processEvents();
    if (!w.track1.HasWaveform || !w.track2.HasWaveform) {
        std::fprintf(stderr, "the tones did not load\n");
        return 1;
    }
    if (!w.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
