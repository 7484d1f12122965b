// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "scope/Scope.h"

#include "platform/toolkit/PictureBox.h"
#include "track/LoadedFile.h"
#include "track/Plot.h"
#include "track/TrackControls.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <span>
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

namespace {

// A trace: a dot at its first point, then lines on from there, in one pass.
void DrawTrace(toolkit::PictureBox& box, std::span<const QPointF> points, const QColor& colour) {
    if (points.empty())
        return;
    box.pset(points.front().x(), points.front().y(), colour);
    box.lineToBatch(points.subspan(1), colour);
}

} // namespace

void DrawScopeTrace(toolkit::PictureBox& box, const SampleArray& samples, float S, double W,
                    const QColor& colour) {
    if (!std::isfinite(S))
        return;
    thread_local std::vector<QPointF> points;
    points.clear();
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
        points.emplace_back(static_cast<double>(i), samples[static_cast<std::size_t>(k)]);
    }
    DrawTrace(box, points, colour);
}

void DrawTrackTrace(toolkit::PictureBox& box, const Track& track, double S, double W, const QColor& colour) {
    if (!track.File || track.File->inArrays()) {
        DrawScopeTrace(box, *track.LeftSamples, static_cast<float>(S), W, colour);
        return;
    }
    if (!std::isfinite(S) || !(W >= 0))
        return;
    // In double precision: a frame of a long file is past what single precision counts exactly. A trace
    // is no longer than the arrays could show.
    const auto first = static_cast<std::int64_t>(std::nearbyint(std::clamp(S, -1e15, 1e15)));
    const auto count = static_cast<std::int64_t>(std::floor(std::min(W, double{kLastSampleIndex}))) + 1;
    const std::int64_t skip = std::clamp<std::int64_t>(-first, 0, count); // before the first frame
    thread_local std::vector<std::int16_t> samples;
    samples.resize(static_cast<std::size_t>(count - skip));
    const std::size_t got = track.File->readFirstChannel(first + skip, samples.size(), samples.data());
    thread_local std::vector<QPointF> points;
    points.clear();
    for (std::size_t j = 0; j < got; ++j)
        points.emplace_back(static_cast<double>(skip + static_cast<std::int64_t>(j)), samples[j]);
    DrawTrace(box, points, colour);
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
        DrawTrackTrace(scope, m, m.Cursor, Wm, uim.color);
    if (n.Cursor != 0)
        DrawTrackTrace(scope, n, n.Cursor, Wn, uin.color);
    TellCursor(n, uin);
}

void CursorKey(Track& n, const TrackControls& uin, const Track& m, const TrackControls& uim,
               toolkit::PictureBox& scope, int key, Qt::KeyboardModifiers modifiers) {
    const double last = static_cast<double>(RightEdge(n));
    const double column = last / std::max(1, uin.box->deviceSize().width() - 1);
    const double tenth = last / 10;
    double X = n.Cursor;
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const double step = modifiers & Qt::ShiftModifier ? tenth : column;
        X += key == Qt::Key_Left ? -step : step;
        break;
    }
    case Qt::Key_PageUp:
        X -= tenth;
        break;
    case Qt::Key_PageDown:
        X += tenth;
        break;
    case Qt::Key_Home:
        X = 0;
        break;
    case Qt::Key_End:
        X = last;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        break;
    default:
        return;
    }
    ScopeClick(n, uin, m, uim, scope, static_cast<float>(std::clamp(X, 0.0, last)));
}

void ClearScope(toolkit::PictureBox& scope, Track& track1, const TrackControls& ui1, Track& track2,
                const TrackControls& ui2) {
    scope.cls();
    track1.Cursor = 0;
    track2.Cursor = 0;
    MovePositionLine(ui1, 0);
    MovePositionLine(ui2, 0);
    TellCursor(track1, ui1);
    TellCursor(track2, ui2);
}
