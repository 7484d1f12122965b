#include "wave/Plot.h"

#include "platform/toolkit/PictureBox.h"
#include "wave/WaveReader.h"

#include <QLabel>

#include <algorithm>
#include <vector>

namespace toolkit = pikota::toolkit;

void ReadWaveFile(Track& track, const TrackControls& ui, const QString& path) {
    ReadWaveFile(track, path, [&ui](const QString& label) { ui.lblTime->setText(label); });
}

std::pair<double, double> VerticalRange(std::int32_t fullScale) {
    if (fullScale == 256)
        return {256, 0};
    return {fullScale / 2.0, -fullScale / 2.0};
}

void PlotWaveform(const Track& track, const TrackControls& ui) {
    const auto [top, bottom] = VerticalRange(track.FullScale);
    ui.box->setScale(0, top, track.SampleLimit, bottom);
    ui.box->cls();

    // Up to 100001 points: drawn in one pass, as they would look one by one.
    thread_local std::vector<QPointF> points;
    points.clear();
    const SampleArray& left = *track.LeftSamples;
    const std::int32_t last = std::min(track.SampleLimit, kLastSampleIndex);
    for (std::int32_t i = 0; i <= last; i += 5)
        points.emplace_back(i, left[static_cast<std::size_t>(i)]);
    ui.box->psetBatch(points, ui.color);

    MovePositionLine(ui, 0);
}
