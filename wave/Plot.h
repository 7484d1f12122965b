// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "wave/Track.h"
#include "wave/TrackControls.h"

#include <QString>

#include <utility>

// Reads a WAV file into the track; the track's time label gets the path and length.
void ReadWaveFile(Track& track, const TrackControls& ui, const QString& path);

// The top and bottom of a track box's scale for samples of this full scale: 256 to 0 for 8-bit samples,
// +FullScale/2 to -FullScale/2 for any other.
std::pair<double, double> VerticalRange(std::int32_t fullScale);

// Draws every fifth sample of the left channel across the track's box and puts
// the position line back to the left edge. A long file is drawn whole from its overview instead, one
// vertical line from the lowest to the highest sample in each device column, as far as the overview is
// made; while it is being made, the track's overview timer draws it again.
void PlotWaveform(const Track& track, const TrackControls& ui);

// The overview timer: draws what is ready of a long file's overview and, once it has taken 0.3 s, says
// how far it is in the label's second line; once the overview is finished, draws it whole, puts the
// label back and stops.
void OverviewTick(const Track& track, const TrackControls& ui);
// Draws a long file's overview as far as it is made, one line per device column of the box as it is now.
void DrawOverview(const Track& track, const TrackControls& ui);
// Ends the making of the track's overview, as far as it got, and puts the label back.
void StopOverview(const Track& track, const TrackControls& ui);
