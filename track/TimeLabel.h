// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <cstdint>

struct TrackSound;

// The time label's text: the path, two ideographic spaces, the length of frames 0..SampleLimit rounded to
// one decimal (halves upward) with a leading blank when not negative and "." as the point in every locale,
// then "秒". Throws SoundFileError when the track's sample rate is 0.
QString TimeLabelText(const TrackSound& track, const QString& path);
// The same form for any name and length: `units` at `perSecond` to a second (frames at the sample rate,
// or milliseconds at 1000).
QString TimeLabelText(const QString& name, std::int64_t units, std::int32_t perSecond);
