#include "scope/Scope.h"

#include "platform/toolkit/PictureBox.h"
#include "wave/TrackControls.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace toolkit = pikota::toolkit;

void SetScopeScale(toolkit::PictureBox& box, double W, std::int32_t F) {
    double top = 0;
    double bottom = 0;
    if (F == 256) {
        top = 256;
        bottom = 0;
    } else {
        top = F / 2.0;
        bottom = -(F / 2.0);
    }
    // W = 0 or F = 0 leaves a box of no width or no height; the box then draws nothing.
    box.setScale(0, top, W, bottom);
}

void DrawScopeTrace(toolkit::PictureBox& box, const SampleArray& samples, float S, double W,
                    const QColor& colour) {
    if (!std::isfinite(S))
        return;
    bool first = true;
    thread_local std::vector<QPointF> lines;
    lines.clear();
    for (std::int64_t i = 0; static_cast<double>(i) <= W; ++i) {
        // The start is a single-precision cursor and the offset a whole number, so the
        // sum is taken in single precision too; that decides which sample is nearest
        // when S + i lies within rounding of a half.
        const float at = S + static_cast<float>(i);
        // Halves go to the even neighbour (2.5 -> 2, 3.5 -> 4): the default rounding mode.
        const float k = std::nearbyint(at);
        if (k < 0)
            continue; // before the first sample: the trace starts further right
        if (k > static_cast<float>(kLastSampleIndex))
            break; // past the last sample: the trace ends here
        const QPointF point(static_cast<double>(i), samples[static_cast<std::size_t>(k)]);
        if (first) {
            box.pset(point.x(), point.y(), colour);
            first = false;
        } else {
            lines.push_back(point);
        }
    }
    // Drawn as one line after another from the dot, in one pass.
    box.lineToBatch(lines, colour);
}

void ScopeClick(Track& n, const TrackControls& uin, const Track& m, const TrackControls& uim,
                toolkit::PictureBox& scope, float X) {
    if (!n.HasWaveform)
        return;
    const std::int32_t F = std::max(n.FullScale, m.FullScale);
    // The clicked track stops following its playback; the sound itself plays on.
    uin.tmrPosition->stop();
    MovePositionLine(uin, X);
    n.Cursor = X;
    // 20 ms of each track at its own rate; the box spans the clicked track's.
    const double Wn = n.waveFormat.nSamplesPerSec / 50.0;
    const double Wm = m.waveFormat.nSamplesPerSec / 50.0;
    SetScopeScale(scope, Wn, F);
    scope.cls();
    if (m.Cursor != 0)
        DrawScopeTrace(scope, *m.LeftSamples, m.Cursor, Wm, uim.color);
    if (n.Cursor != 0)
        DrawScopeTrace(scope, *n.LeftSamples, n.Cursor, Wn, uin.color);
}

void ClearScope(toolkit::PictureBox& scope, Track& track1, const TrackControls& ui1, Track& track2,
                const TrackControls& ui2) {
    scope.cls();
    track1.Cursor = 0;
    track2.Cursor = 0;
    MovePositionLine(ui1, 0);
    MovePositionLine(ui2, 0);
}
