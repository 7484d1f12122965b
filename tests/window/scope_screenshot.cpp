// Draws the picture of the scope overlay for the documentation: two one-second tones
// (440 Hz on track 1, 660 Hz on track 2, 44100 Hz 16-bit) put straight into the tracks,
// a click into each waveform box, and the whole window grabbed to the PNG file given.
//   scope_screenshot docs/scope-overlay.png
#include "PictureBox.h"
#include "frmMain.h"

#include <QApplication>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

void fill(Track& t, const TrackControls& ui, double hz, double amplitude) {
    constexpr std::int32_t rate = 44100;
    t.waveFormat = {1, 1, rate, rate * 2, 2, 16};
    t.FullScale = 65536;
    t.SampleLimit = rate - 1;
    for (std::int32_t k = 0; k <= t.SampleLimit; ++k) {
        // A tone that swells and fades over the second, so the track's box shows its shape.
        const double envelope = std::sin(std::numbers::pi * k / rate);
        (*t.LeftSamples)[k] =
            static_cast<std::int16_t>(amplitude * envelope * std::sin(2 * std::numbers::pi * hz * k / rate));
    }
    t.HasWaveform = true;

    // The track's own box as a loaded file leaves it: the samples across the box.
    ui.box->setScale(0, 32768, t.SampleLimit, -32768);
    ui.box->cls();
    ui.box->pset(0, (*t.LeftSamples)[0], ui.color);
    for (std::int32_t k = 1; k <= t.SampleLimit; ++k)
        ui.box->lineTo(k, (*t.LeftSamples)[k], ui.color);
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
    frmMain w;
    fill(w.track1, w.ui1, 440, 24000);
    fill(w.track2, w.ui2, 660, 14000);
    QTest::mouseClick(w.Picture3, Qt::LeftButton, {}, QPoint(w.Picture3->width() / 2, 10));
    QTest::mouseClick(w.Picture1, Qt::LeftButton, {}, QPoint(w.Picture1->width() / 4, 10));
    QApplication::processEvents();
    if (!w.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
