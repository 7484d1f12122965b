// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "track/Track.h"
#include "track/TrackControls.h"

#include <utility>

// The top and bottom of a track box's scale for samples of this full scale: 256 to 0 for 8-bit samples,
// +FullScale/2 to -FullScale/2 for any other.
std::pair<double, double> VerticalRange(std::int32_t fullScale);

// Draws every fifth sample of the left channel across the track's box and puts the position line back to
// the left edge. A file longer than the arrays is drawn whole from its overview instead, one vertical line
// from the lowest to the highest sample in each device column, as far as the overview is made; while it is
// being made, the track's overview timer draws it again.
void PlotWaveform(const Track& track, const TrackControls& ui);

// The overview timer: draws what is ready of a long file's overview and, once it has taken 0.3 s, says how
// far it is in the label's second line; once the overview has ended, draws it whole on the scale of the
// length it counted, puts the label back with that length, and stops.
void OverviewTick(const Track& track, const TrackControls& ui);
// Draws again what the box shows one line per device column (a long file's overview), for the box's
// columns as they are now; points map themselves.
void RedrawColumns(const Track& track, const TrackControls& ui);
// Ends the making of the track's overview, as far as it got, and puts the label back.
void StopOverview(const Track& track, const TrackControls& ui);
// Tells a screen reader where the track's cursor stands in its box, in seconds from 0 to its file's length.
void TellCursor(const Track& track, const TrackControls& ui);
// The track lets its file go: its overview ends, the label is put back, and nothing of it stays open.
void ForgetFile(Track& track, const TrackControls& ui);
