// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/support/GermanLocale.h"
#include "track/ReadError.h"
#include "track/TimeLabel.h"
#include "track/Track.h"

#include <gtest/gtest.h>

namespace {

QString Label(std::int32_t sampleLimit, std::int32_t rate, const QString& path = "/tmp/a.wav") {
    Track track;
    track.SampleLimit = sampleLimit;
    track.waveFormat.nSamplesPerSec = rate;
    return TimeLabelText(track, path);
}

// The number between the two ideographic spaces and the seconds mark.
QString Number(std::int32_t sampleLimit, std::int32_t rate) {
    const QString text = Label(sampleLimit, rate, "p");
    EXPECT_TRUE(text.startsWith(QString("p") + QChar(0x3000) + QChar(0x3000))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QChar(0x79D2))) << text.toStdString();
    return text.mid(3, text.size() - 4);
}

TEST(TimeLabelText, IsPathTwoIdeographicSpacesLengthAndSeconds) {
    EXPECT_EQ(Label(110250, 44100, QStringLiteral(u"/home/ユーザー/録音 1.wav")),
              QStringLiteral(u"/home/ユーザー/録音 1.wav\u3000\u3000 2.5秒"));
}

TEST(TimeLabelText, RoundsToOneDecimalHalvesUpward) {
    EXPECT_EQ(Number(55125, 44100), " 1.3"); // exactly 1.25 s
    EXPECT_EQ(Number(54684, 44100), " 1.2"); // exactly 1.24 s
    EXPECT_EQ(Number(500000, 44100), " 11.3");
    EXPECT_EQ(Number(1000, 44100), " 0");
    EXPECT_EQ(Number(-22050, 44100), "-0.5");
}

TEST(TimeLabelText, WritesTheShortestNumber) {
    EXPECT_EQ(Number(441000, 44100), " 10");
    EXPECT_EQ(Number(22050, 44100), " 0.5");
    EXPECT_EQ(Number(0, 8000), " 0");
    EXPECT_EQ(Number(500000, 1), " 500000");  // never in exponent form
    EXPECT_EQ(Number(500000, -1), "-500000"); // a broken header's negative rate
    EXPECT_EQ(Number(300, 1000), " 0.3");     // not 0.30000000000000004
}

TEST(TimeLabelText, RateZeroThrows) { EXPECT_THROW(Label(1000, 0), SoundFileError); }

// A German locale writes 2,5; the label keeps the point.
TEST(TimeLabelText, UsesThePointUnderAGermanLocale) {
    const pikota::test::GermanLocale german;
    EXPECT_EQ(Number(110250, 44100), " 2.5");
    EXPECT_EQ(Number(55125, 44100), " 1.3");
    EXPECT_EQ(Number(22050, 44100), " 0.5");
}

} // namespace
