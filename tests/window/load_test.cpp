// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Loading a WAV file into a track and drawing it.
#include "platform/toolkit/PictureBox.h"
#include "tests/support/FakeLoadedFile.h"
#include "tests/support/WindowTest.h"
#include "track/Load.h"
#include "track/Plot.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <filesystem>

namespace toolkit = pikota::toolkit;

namespace {

using LoadTest = pikota::test::WindowTest;
using namespace pikota::test;

std::vector<std::int16_t> stereoRamp(int frames) {
    std::vector<std::int16_t> s;
    for (int i = 0; i < frames; ++i) {
        s.push_back(static_cast<std::int16_t>(i * 30 - 15000));
        s.push_back(static_cast<std::int16_t>(-i));
    }
    return s;
}

TEST_F(LoadTest, AStereoFileOnTrackTwoIsDrawnInRedAndLeavesTrackOneAlone) {
    const QString path = file(QStringLiteral("stereo.wav"), Pcm16(2, 44100, stereoRamp(1000)));
    form->lblTime1->setText(QStringLiteral("track one"));
    load(form->cmdRoad2, path);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].mode, toolkit::CommonDialog::Mode::Open);
    // WAV files first; then every sound file the program reads.
    EXPECT_TRUE(
        dialogs[0].filter.startsWith(QStringLiteral("WAVEファイル (*.wav)|*.wav|すべての音声ファイル (")));
    EXPECT_TRUE(dialogs[0].filter.contains(QStringLiteral("*.flac;*.mp3;*.ogg")));

    const Track& t = form->track2;
    EXPECT_EQ(t.SampleLimit, 1000);
    EXPECT_EQ(t.FullScale, 65536);
    EXPECT_TRUE(t.HasWaveform);
    EXPECT_EQ(t.FilePath, path); // a plain path stands for itself
    EXPECT_EQ(form->lblTime2->text(), path + QStringLiteral("　　 0秒"));
    for (QPushButton* b : {form->cmdRoad2, form->cmdPlay2, form->cmdPause2, form->cmdStop2})
        EXPECT_TRUE(b->isEnabled());
    for (QPushButton* b : {form->cmdPlay1, form->cmdPause1, form->cmdStop1})
        EXPECT_FALSE(b->isEnabled());
    EXPECT_EQ(form->lblTime1->text(), QStringLiteral("track one"));
    EXPECT_TRUE(form->Picture1->drawing().empty());
    EXPECT_FALSE(form->track1.HasWaveform);
    EXPECT_TRUE(device.commands.empty()); // loading opens nothing in the device

    // Every fifth left sample, in red, over 0..SampleLimit and +32768..-32768.
    const auto& ops = form->Picture3->drawing();
    ASSERT_EQ(ops.size(), 201u);
    EXPECT_EQ(ops[0].color, QColor(255, 0, 0).rgb());
    EXPECT_EQ(ops[3].to, QPointF(15, 15 * 30 - 15000));
    EXPECT_EQ(ops[200].to, QPointF(1000, 0)); // one frame past the data, read as 0
    EXPECT_DOUBLE_EQ(form->Picture3->scaleWidth(), 1000);
    EXPECT_DOUBLE_EQ(form->Picture3->scaleTop(), 32768);
    EXPECT_DOUBLE_EQ(form->Picture3->scaleHeight(), -65536);
    EXPECT_EQ(form->linPosition2->X1(), 0);
    EXPECT_EQ(form->linPosition2->pixelFrom().x(), 0);
}

TEST_F(LoadTest, AnEightBitFileIsDrawnFromZeroToTwoHundredFiftySix) {
    std::vector<std::uint8_t> samples(44100 + 22050, 128);
    load(form->cmdRoad1, file(QStringLiteral("eight.wav"), Pcm8(1, 44100, samples)));
    EXPECT_EQ(form->track1.FullScale, 256);
    EXPECT_DOUBLE_EQ(form->Picture1->scaleTop(), 256);
    EXPECT_DOUBLE_EQ(form->Picture1->scaleHeight(), -256);
    EXPECT_EQ(form->Picture1->drawing()[1].to.y(), 128);
    EXPECT_EQ(form->Picture1->drawing()[0].color, QColor(0, 0, 255).rgb());
    EXPECT_TRUE(form->lblTime1->text().endsWith(QStringLiteral("　　 1.5秒")));
}

TEST_F(LoadTest, CancellingChangesNothing) {
    const QString path = file(QStringLiteral("a.wav"), Pcm16(1, 8000, std::vector<std::int16_t>(100, 5)));
    load(form->cmdRoad1, path);
    const auto before = form->Picture1->drawing().size();
    const QString label = form->lblTime1->text();
    load(form->cmdRoad1, std::nullopt);
    EXPECT_EQ(form->Picture1->drawing().size(), before);
    EXPECT_EQ(form->lblTime1->text(), label);
    EXPECT_EQ(form->track1.SampleLimit, 100);
    EXPECT_EQ((*form->track1.LeftSamples)[0], 5);
    EXPECT_TRUE(form->cmdRoad1->isEnabled());
    EXPECT_TRUE(form->cmdPlay1->isEnabled());
}

TEST_F(LoadTest, AFailureEndsQuietlyWithTheTrackLocked) {
    const QString good = file(QStringLiteral("good.wav"), Pcm16(1, 8000, std::vector<std::int16_t>(100, 5)));
    load(form->cmdRoad1, good);
    // A block alignment of 0: no frame count.
    const QString bad =
        file(QStringLiteral("bad.wav"),
             Riff({Chunk("fmt ", FormatBody(1, 8000, 16, 0)), Chunk("data", QByteArray(64, '\1'))}));
    load(form->cmdRoad1, bad);
    EXPECT_FALSE(form->cmdRoad1->isEnabled());
    EXPECT_FALSE(form->cmdPlay1->isEnabled());
    EXPECT_FALSE(form->cmdStop1->isEnabled());
    EXPECT_EQ(form->track1.FilePath, good);
    EXPECT_TRUE(form->lblTime1->text().startsWith(good));
    EXPECT_EQ((*form->track1.LeftSamples)[0], 0); // cleared before the read
    // The other track is not locked.
    EXPECT_TRUE(form->cmdRoad2->isEnabled());

    // An encoding that cannot be drawn is named, and the track stays as it was, ready to load again.
    load(form->cmdRoad2, good);
    const QString label = form->lblTime2->text();
    const QString adpcm =
        file(QStringLiteral("adpcm.wav"),
             Riff({Chunk("fmt ", FormatBody(1, 8000, 4, 256, 2)), Chunk("data", QByteArray(64, '\1'))}));
    load(form->cmdRoad2, adpcm);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              QStringLiteral("「%1」を読み込めませんでした。\r\nMicrosoft ADPCM（形式番号 0x0002）の WAV "
                             "ファイルは、ピコタでは読み込めません。")
                  .arg(adpcm));
    EXPECT_EQ(form->lblTime2->text(), label);
    EXPECT_EQ((*form->track2.LeftSamples)[0], 5);
    EXPECT_TRUE(form->cmdRoad2->isEnabled() && form->cmdPlay2->isEnabled());

    // A WAV file without data shows no sound, as it always did: the label stays, no message.
    load(form->cmdRoad2,
         file(QStringLiteral("nodata.wav"), Riff({Chunk("fmt ", FormatBody(1, 8000, 16, 2))})));
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(form->lblTime2->text(), label);
    EXPECT_EQ(form->track2.SampleLimit, kLastSampleIndex);
    EXPECT_TRUE(form->cmdPlay2->isEnabled());

    // A missing file fails quietly, as any other failure.
    const QString shown = form->track2.FilePath;
    load(form->cmdRoad2, dir.filePath(QStringLiteral("missing.wav")));
    EXPECT_FALSE(form->cmdRoad2->isEnabled());
    EXPECT_EQ(form->track2.FilePath, shown);
}

TEST_F(LoadTest, APathWithBlanksPlaysFromABlankFreeNameOfTheSameFile) {
    const QString path =
        file(QStringLiteral("録音 その 1.wav"), Pcm16(1, 8000, std::vector<std::int16_t>(10, 1)));
    load(form->cmdRoad1, path);
    EXPECT_FALSE(form->track1.FilePath.isEmpty());
    EXPECT_FALSE(form->track1.FilePath.contains(QLatin1Char(' ')));
    EXPECT_TRUE(std::filesystem::equivalent(form->track1.FilePath.toStdString(), path.toStdString()));
    EXPECT_TRUE(form->lblTime1->text().startsWith(path)); // the label shows the name as chosen
}

TEST_F(LoadTest, AShorterSecondFileLeavesZerosAfterItsLastFrame) {
    load(form->cmdRoad1,
         file(QStringLiteral("long.wav"), Pcm16(1, 8000, std::vector<std::int16_t>(3000, 77))));
    form->track1.Cursor = 12.5f;
    load(form->cmdRoad1,
         file(QStringLiteral("short.wav"), Pcm16(1, 8000, std::vector<std::int16_t>(1000, 9))));
    const SampleArray& left = *form->track1.LeftSamples;
    EXPECT_EQ(left[999], 9);
    EXPECT_EQ(left[1000], 0);
    EXPECT_EQ(left[2999], 0);
    EXPECT_EQ(form->track1.SampleLimit, 1000);
    EXPECT_EQ(form->track1.Cursor, 12.5f); // a cursor outlives a load
}

// A long file whose overview ends while the box is being drawn is drawn whole: the overview timer was
// started, since it was still being made when the plot began, and its tick draws the rest.
TEST_F(LoadTest, AnOverviewThatEndsWhileItIsDrawnIsDrawnWhole) {
    Track& t = form->track1;
    t.FullScale = 65536;
    auto file = std::make_unique<FakeLoadedFile>(4 * kLastSampleIndex);
    FakeLoadedFile& fake = *file;
    fake.startOverview();
    fake.onReady = [&fake] {
        fake.release();
        while (fake.overviewRunning())
            QTest::qWait(1);
    };
    t.File = std::move(file);
    PlotWaveform(t, form->ui1);
    EXPECT_TRUE(form->ui1.tmrOverview->isActive());
    form->tmrOverview1_Timer();
    EXPECT_FALSE(form->ui1.tmrOverview->isActive());
    const QImage canvas = form->Picture1->canvas();
    for (int x = 0; x < canvas.width(); ++x)
        ASSERT_NE(canvas.pixel(x, canvas.height() / 2) | 0xff000000, 0xffffffffu) << "column " << x;
    EXPECT_EQ(form->lblTime1->text(), fake.label());
}

// A load that fails while a long file's overview is still being made puts the label back: it no longer
// says that the waveform is being read.
TEST_F(LoadTest, ALoadThatFailsPutsBackTheLabelOfAnOverviewInTheMaking) {
    form->track1.FullScale = 65536;
    form->track1.File = std::make_unique<FakeLoadedFile>(4 * kLastSampleIndex, dir.filePath("long.wav"));
    form->track1.File->startOverview();
    PlotWaveform(form->track1, form->ui1);
    ASSERT_TRUE(form->ui1.tmrOverview->isActive());
    const QString label = form->track1.File->label();
    form->lblTime1->setText(label + QStringLiteral("\n波形を読み込み中… 40%"));
    load(form->cmdRoad1, file(QStringLiteral("bad.wav"), Riff({Chunk("fmt ", FormatBody(1, 8000, 16, 0)),
                                                               Chunk("data", QByteArray(64, '\1'))})));
    EXPECT_EQ(form->lblTime1->text(), label);
    EXPECT_FALSE(form->ui1.tmrOverview->isActive());
}

TEST_F(LoadTest, ThePlotHandlesEmptyAndFlatScales) {
    Track& t = form->track1;
    t.SampleLimit = 4;
    t.FullScale = 65536;
    PlotWaveform(t, form->ui1);
    EXPECT_EQ(form->Picture1->drawing().size(), 1u); // only x = 0; the next would be 5

    for (auto [limit, full] : {std::pair{0, 65536}, std::pair{1000, 0}}) {
        t.SampleLimit = limit;
        t.FullScale = full;
        PlotWaveform(t, form->ui1);
        const QImage canvas = form->Picture1->canvas();
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                ASSERT_EQ(canvas.pixel(x, y) | 0xff000000, 0xffffffffu) << limit << " " << full;
    }
}

} // namespace
