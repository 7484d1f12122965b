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
// the position line back to the left edge.
void PlotWaveform(const Track& track, const TrackControls& ui);
