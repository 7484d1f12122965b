// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "track/Track.h"

#include <QString>

#include <functional>

class InputFile;

// What the WAV reader's walk finds in a file's headers, without reading samples.
struct WavHeaders {
    bool format = false; // a format chunk
    bool data = false;   // a data chunk
    QString refusal;     // why the encoding of a format chunk cannot be drawn, in the program's words
    bool failed = false; // the walk itself failed (a chunk position past 2 GB, a read error)
    // Whether the WAV reader reads the file: it finds a data chunk, after a format it draws or none.
    bool readable() const { return data && refusal.isEmpty() && !failed; }
};
WavHeaders WalkWavHeaders(const InputFile& file);

// The WAV reader. Fills the track's format, FullScale, SampleLimit and sample arrays from the WAV file,
// walking its chunks from byte 12 and stopping at the first data chunk, whose frames 0..SampleLimit are
// stored; then hands the time label's text to setLabel. The caller zeroes both sample arrays and sets
// SampleLimit to 500000 first. Throws SoundFileError on failure; whatever was stored before the failure
// stays stored. A file without a data chunk is no failure: nothing but a format is stored, and the label
// is not given.
//
// 8- and 16-bit PCM of one or two channels is stored as it lies in the file. Other encodings (PCM of other
// sizes, left-justified in their containers; 32- and 64-bit float; A-law and mu-law; more channels; in the
// plain or the extensible format chunk) are decoded to 16-bit values, 8-bit ones kept unsigned, and their
// FullScale is that of what is stored. A data chunk whose size says more than the file holds means what
// the file holds. An encoding that cannot be drawn fails at its format chunk, before anything is stored.
// A file of more than 500001 frames stays open as the track's File, its overview begun.
void ReadWav(TrackSound& sound, InputFile& file, const std::function<void(const QString& label)>& setLabel);
