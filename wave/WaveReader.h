// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "wave/Track.h"

#include <QString>

#include <functional>
#include <stdexcept>

// A failure while reading a WAV file or labelling its length. The Load and Stop handlers catch it at their
// top and end quietly; what() says in a few English words what went wrong, for diagnostics only, and
// problem() which kind of failure it was, for a message to the user. An encoding that cannot be drawn
// comes with its own message, naming it.
class WaveFileError : public std::runtime_error {
public:
    enum class Problem { NotFound, NotReadable, NotAFile, NotWave, Encoding };
    explicit WaveFileError(const char* what, Problem problem = Problem::NotWave)
        : std::runtime_error(what), problem_(problem) {}
    WaveFileError(const char* what, const QString& message)
        : std::runtime_error(what), problem_(Problem::Encoding), message_(message) {}
    Problem problem() const { return problem_; }
    // For an encoding that cannot be drawn: what the user is told, in the program's words.
    const QString& message() const { return message_; }

private:
    Problem problem_;
    QString message_;
};

// The time label's text: the path, two ideographic spaces, the length of frames 0..SampleLimit rounded to
// one decimal (halves upward) with a leading blank when not negative and "." as the point in every locale,
// then "秒". Throws WaveFileError when the track's sample rate is 0.
QString TimeLabelText(const Track& track, const QString& path);
// The same form for any name and length: `units` at `perSecond` to a second (frames at the sample rate,
// or milliseconds at 1000).
QString TimeLabelText(const QString& name, std::int64_t units, std::int32_t perSecond);

// Fills the track's format, FullScale, SampleLimit and sample arrays from the WAV file at path, walking its
// chunks from byte 12 and stopping at the first data chunk, whose frames 0..SampleLimit are stored; then
// hands the time label's text to setLabel. The caller zeroes both sample arrays and sets SampleLimit to
// 500000 first. Throws WaveFileError on failure; whatever was stored before the failure stays stored. The
// file is closed on every path, but for a file of more than 500001 frames, which the track keeps open as
// its Source, its overview begun.
//
// 8- and 16-bit PCM of one or two channels is stored as it lies in the file. Other encodings (PCM of other
// sizes, left-justified in their containers; 32- and 64-bit float; A-law and mu-law; more channels; in the
// plain or the extensible format chunk) are decoded to 16-bit values, 8-bit ones kept unsigned, and their
// FullScale is that of what is stored. A data chunk whose size says more than the file holds means what
// the file holds. An encoding that cannot be drawn fails at its format chunk, before anything is stored.
void ReadWaveFile(Track& track, const QString& path,
                  const std::function<void(const QString& label)>& setLabel);

// Why ReadWaveFile would refuse the file's encoding, in the program's words, found by the same walk up to
// the data chunk; empty when it would not (it may still fail for another reason). Reads only the headers.
QString EncodingRefusal(const QString& path);
