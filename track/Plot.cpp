// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/Plot.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/PictureBox.h"
#include "track/LoadedFile.h"

#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace toolkit = pikota::toolkit;

namespace {

const LoadedFile* BeyondArrays(const Track& track) {
    return track.File && !track.File->inArrays() ? track.File.get() : nullptr;
}

void SetScale(const Track& track, const TrackControls& ui) {
    const auto [top, bottom] = VerticalRange(track.FullScale);
    ui.box->setScale(0, top, static_cast<double>(RightEdge(track)), bottom);
}

// In each device column of the box, the range of the blocks of frames that stand there, where the box
// puts x = frame (0 to the last frame across).
void DrawOverview(const Track& track, const LoadedFile& file, const TrackControls& ui) {
    const auto [top, bottom] = VerticalRange(track.FullScale);
    const std::int64_t width = std::max(ui.box->deviceSize().width(), 1);
    const std::int64_t last = RightEdge(track);
    const std::span<const SampleRange> blocks = file.ready();
    const std::int64_t perBlock = file.framesPerBlock();
    // Frame f stands in column floor(f * (width - 1) / last): column x begins at the frame below.
    const auto columnStart = [&](std::int64_t x) {
        return width == 1 ? (x == 0 ? 0 : last + 1) : (x * last + width - 2) / (width - 1);
    };
    thread_local std::vector<std::pair<double, double>> ranges;
    ranges.assign(static_cast<std::size_t>(width), {1, 0});
    for (std::int64_t x = 0; x < width; ++x) {
        const std::int64_t from = columnStart(x);
        const std::int64_t to = x + 1 == width ? last + 1 : columnStart(x + 1);
        if (from >= to)
            continue;
        SampleRange range;
        const auto end = std::min(static_cast<std::size_t>((to - 1) / perBlock) + 1, blocks.size());
        for (auto b = static_cast<std::size_t>(from / perBlock); b < end; ++b)
            range.add(blocks[b]);
        if (!range.empty())
            ranges[static_cast<std::size_t>(x)] = {range.low, range.high};
    }
    ui.box->cls();
    ui.box->drawColumns(ranges, top, bottom, ui.color);
}

} // namespace

std::pair<double, double> VerticalRange(std::int32_t fullScale) {
    if (fullScale == 256)
        return {256, 0};
    return {fullScale / 2.0, -fullScale / 2.0};
}

void PlotWaveform(const Track& track, const TrackControls& ui) {
    SetScale(track, ui);
    if (const LoadedFile* file = BeyondArrays(track)) {
        // Asked before drawing: an overview that ends after this is drawn whole by the timer.
        const bool making = file->overviewRunning();
        DrawOverview(track, *file, ui);
        if (making)
            ui.tmrOverview->start();
        MovePositionLine(ui, 0);
        TellCursor(track, ui);
        return;
    }
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
    TellCursor(track, ui);
}

void OverviewTick(const Track& track, const TrackControls& ui) {
    const LoadedFile* file = BeyondArrays(track);
    if (!file) {
        ui.tmrOverview->stop(); // the file it was made for has gone from the track
        return;
    }
    // Asked before drawing: once ended, what is drawn is the whole of it.
    if (!file->overviewRunning()) {
        ui.tmrOverview->stop();
        SetScale(track, ui); // the length may have been counted anew
        DrawOverview(track, *file, ui);
        ui.lblTime->setText(file->label());
        TellCursor(track, ui);
        toolkit::ReleaseFreeMemory(); // the decoding's buffers
        return;
    }
    DrawOverview(track, *file, ui);
    if (file->secondsSinceStart() >= 0.3)
        ui.lblTime->setText(
            file->label() +
            QStringLiteral("\n波形を読み込み中… %1%").arg(static_cast<int>(file->progress() * 100)));
}

void TellCursor(const Track& track, const TrackControls& ui) {
    const double rate = track.waveFormat.nSamplesPerSec > 0 ? track.waveFormat.nSamplesPerSec : 1;
    ui.box->setAccessibleValue(
        {track.Cursor / rate, track.File ? static_cast<double>(RightEdge(track)) / rate : 0});
}

void RedrawColumns(const Track& track, const TrackControls& ui) {
    if (const LoadedFile* file = BeyondArrays(track))
        DrawOverview(track, *file, ui);
}

void StopOverview(const Track& track, const TrackControls& ui) {
    const bool making = ui.tmrOverview->isActive();
    ui.tmrOverview->stop();
    if (const LoadedFile* file = BeyondArrays(track)) {
        track.File->cancelOverview();
        if (making)
            ui.lblTime->setText(file->label());
    }
}

void ForgetFile(Track& track, const TrackControls& ui) {
    StopOverview(track, ui);
    track.File.reset();
    toolkit::ReleaseFreeMemory();
}
