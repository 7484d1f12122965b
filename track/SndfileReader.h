// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/SoundFileHandle.h"
#include "track/Track.h"

#include <QString>

#include <functional>
#include <memory>

class InputFile;

// The reader of every sound file but the WAV files that the WAV reader reads: FLAC, Ogg Vorbis and Opus,
// MP3, AIFF, CAF, W64, RF64, big-endian and ADPCM WAV files and the rest that libsndfile reads, from
// `handle`, a handle of `file` at its start.
//
// The first two channels are decoded to 16-bit values in the track's arrays, the first to the left array,
// as a WAV file of the same sound would be stored; the format is that of such a file (16-bit PCM of the
// file's channels and rate). The frames are counted while decoding, since a header's count can be wrong: a
// file of up to 500001 frames is decoded whole at once; a longer one keeps its first 500001 frames in the
// arrays, stays open as the track's File, and its overview, made in the background, goes on decoding from
// there and counts the rest. A file that ends early or whose data is damaged part way holds what could be
// decoded. Hands the time label's text to setLabel.
void ReadWithSndfile(TrackSound& sound, const InputFile& file,
                     std::unique_ptr<pikota::sound::SoundFileHandle> handle,
                     const std::function<void(const QString& label)>& setLabel);
