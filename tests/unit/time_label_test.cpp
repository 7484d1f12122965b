#include "wave/WaveReader.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

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

TEST(TimeLabelText, RateZeroThrows) { EXPECT_THROW(Label(1000, 0), WaveFileError); }

// A German locale writes 2,5; the label keeps the point. The C library's locale is built on the fly when
// the system has no German locale installed.
TEST(TimeLabelText, UsesThePointUnderAGermanLocale) {
    QTemporaryDir localeDir;
    bool cGerman = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    const QString built = localeDir.filePath("de_DE.UTF-8");
    const QString command = "localedef -i de_DE -f UTF-8 '" + built + "' >/dev/null 2>&1";
    if (!cGerman && std::system(command.toLocal8Bit().constData()) == 0) {
        setenv("LOCPATH", localeDir.path().toLocal8Bit().constData(), 1);
        cGerman = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_EQ(QLocale().toString(2.5), "2,5");
    if (cGerman) {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 2.5);
        EXPECT_STREQ(text, "2,5");
    } else {
        std::fprintf(stderr, "no German C locale here; checking Qt's default locale only\n");
    }

    EXPECT_EQ(Number(110250, 44100), " 2.5");
    EXPECT_EQ(Number(55125, 44100), " 1.3");
    EXPECT_EQ(Number(22050, 44100), " 0.5");

    QLocale::setDefault(previous);
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
}

} // namespace
