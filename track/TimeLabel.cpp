// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/TimeLabel.h"

#include "track/ReadError.h"
#include "track/Track.h"

#include <charconv>
#include <cmath>

QString TimeLabelText(const TrackSound& track, const QString& path) {
    return TimeLabelText(path, track.SampleLimit, track.waveFormat.nSamplesPerSec);
}

QString TimeLabelText(const QString& name, std::int64_t units, std::int32_t perSecond) {
    if (perSecond == 0) {
        throw SoundFileError("sample rate is 0");
    }
    // One decimal, halves upward.
    const double seconds = std::floor(static_cast<double>(units) / perSecond * 10.0 + 0.5) / 10.0;

    // The shortest text that reads back as the same number, never in exponent form and always with "."
    // (to_chars ignores the locale): 10 gives "10", 2.5 gives "2.5", 0.5 gives "0.5".
    char digits[64];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, seconds, std::chars_format::fixed);
    if (ec != std::errc()) {
        throw SoundFileError("length does not fit the label");
    }
    QString number = QString::fromLatin1(digits, end - digits);
    if (!number.startsWith(QLatin1Char('-'))) {
        number.prepend(QLatin1Char(' '));
    }

    const QChar ideographicSpace(0x3000);
    const QChar secondsMark(0x79D2); // 秒
    return name + ideographicSpace + ideographicSpace + number + secondsMark;
}
