// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The road of a recording through the real sound device on its virtual engine:
// record, save (a refused name first), read back, play to the end.
#include "platform/sound/VirtualEngine.h"
#include "platform/sound/WaveAudioService.h"
#include "platform/toolkit/PictureBox.h"
#include "tests/support/WindowTest.h"
#include "track/Plot.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <cmath>

namespace toolkit = pikota::toolkit;

namespace {

class Recording : public pikota::test::WindowTest {
protected:
    std::shared_ptr<pikota::sound::VirtualEngine> engine = std::make_shared<pikota::sound::VirtualEngine>();
    std::unique_ptr<pikota::sound::SoundService> virtualDevice = pikota::sound::makeSoundService(engine);
    Recording() { service = virtualDevice.get(); }
};

TEST_F(Recording, RecordSavePlayToTheEnd) {
    const QString refused = dir.filePath(QStringLiteral("say \"hi\".wav"));
    const QString saved = dir.filePath(QStringLiteral("録音 1.wav"));
    dialogAnswers = {refused, saved};
    {
        frmMain& form = *this->form;
        form.cmdSave1_Click();
        form.cmdRec1_Click();
        engine->advance(std::chrono::milliseconds(1000));

        // A name with a double quote is refused by the device: its text is shown,
        // nothing is written anywhere, and the recording is kept for the next Stop.
        form.cmdStop1_Click();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[1].icon, toolkit::MsgIcon::Critical);
        EXPECT_FALSE(messages[1].text.isEmpty());
        EXPECT_TRUE(form.track1.RecordMode);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());

        form.cmdStop1_Click();
        EXPECT_FALSE(form.track1.RecordMode);
        ASSERT_TRUE(QFileInfo::exists(saved));
        EXPECT_EQ(form.track1.SampleLimit, 44100); // one second of 44100 Hz
        EXPECT_EQ(form.track1.FullScale, 65536);
        EXPECT_EQ(form.track1.waveFormat.nChannels, 2);
        EXPECT_NE((*form.track1.LeftSamples)[25], 0); // the 440 Hz input, not silence

        // Play it; the timer follows the virtual clock to the end.
        form.cmdPlay1_Click();
        EXPECT_TRUE(form.tmrPosition1->isActive());
        engine->advance(std::chrono::milliseconds(500));
        form.tmrPosition1_Timer();
        EXPECT_NEAR(form.linPosition1->X1(), 22050, 1);
        EXPECT_EQ(form.Picture2->drawing().size(), 883u);
        for (int i = 0; i < 10 && form.tmrPosition1->isActive(); ++i) {
            engine->advance(std::chrono::milliseconds(100));
            form.tmrPosition1_Timer();
        }
        EXPECT_FALSE(form.tmrPosition1->isActive());
        EXPECT_EQ(form.linPosition1->X1(), 44100);
        EXPECT_TRUE(form.cmdRoad2->isEnabled());
        EXPECT_TRUE(form.cmdPlay2->isEnabled());
        EXPECT_EQ(engine->playedFrames(), 44100u);
    }
}

// Stop without "●" saves a recording of no frames: read back, it has a scale of no width, where the
// position line at 0 has no place (0 / 0). The box is painted all the same, without the line.
TEST_F(Recording, AnEmptyRecordingIsSavedAndPainted) {
    dialogAnswers = {dir.filePath(QStringLiteral("empty.wav"))};
    frmMain& form = *this->form;
    form.cmdSave1_Click();
    form.cmdStop1_Click();
    EXPECT_FALSE(form.track1.RecordMode);
    EXPECT_EQ(form.track1.SampleLimit, 0);
    EXPECT_TRUE(std::isnan(form.linPosition1->pixelFrom().x()));
    const QImage shown = form.Picture1->grab().toImage();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ASSERT_EQ(shown.pixelColor(x, y), QColor(Qt::white)) << x << "," << y;
}

// Between "●" and Stop the track shows what arrives, every 100 ms on a timer of its own: the input's
// level on the saved drawing's scale, growing from the left; the label says it records and for how long,
// and says so when the input clips (until 2 s after the clip) or has been silent for 3 s. A cancelled save
// keeps the picture and says the recording is not saved, and the box keeps the scale of the file loaded
// before, in which a click is taken; a save replaces the picture with the saved file's drawing.
TEST_F(Recording, TheTrackShowsTheRecordingWhileItIsMade) {
    enum class Input { Tone, Clipping, Silent };
    std::atomic<Input> input = Input::Tone;
    engine->setInputSignal([&input](double seconds, int) {
        const double tone = std::sin(2 * M_PI * 440 * seconds);
        return input == Input::Tone ? 0.5 * tone : input == Input::Clipping ? (tone < 0 ? -1.0 : 1.0) : 0.0;
    });
    frmMain& form = *this->form;
    form.OpenFiles({file(QStringLiteral("earlier.wav"),
                         pikota::test::Pcm16(1, 44100, std::vector<std::int16_t>(1000)))});
    const QString before = form.lblTime1->text();
    form.cmdSave1_Click();
    form.cmdStop1_Click(); // without "●": nothing moves, nothing is said
    EXPECT_FALSE(form.ui1.tmrRecord->isActive());
    EXPECT_EQ(form.lblTime1->text(), before);

    form.cmdRec1_Click();
    EXPECT_TRUE(form.ui1.tmrRecord->isActive());
    EXPECT_FALSE(form.tmrPosition1->isActive());
    EXPECT_EQ(form.lblTime1->text(), QStringLiteral("録音中　　 0秒"));
    const auto tick = [&](int times) {
        for (int i = 0; i < times; ++i) {
            engine->advance(std::chrono::milliseconds(100));
            form.tmrRecord1_Timer();
        }
    };
    // The lines drawn: one per device column from the left edge, the tone's peaks at ±16384.
    const auto columns = [&] {
        double right = -1, low = 0, high = 0;
        for (const auto& op : form.Picture1->drawing()) {
            EXPECT_EQ(op.from.x(), right + 1) << "a gap or an overlap";
            right = op.from.x();
            low = std::min({low, op.from.y(), op.to.y()});
            high = std::max({high, op.from.y(), op.to.y()});
        }
        return std::tuple{right + 1, low, high};
    };
    tick(10);
    EXPECT_EQ(form.lblTime1->text(), QStringLiteral("録音中　　 1秒"));
    const auto [after1s, low, high] = columns();
    const double width = form.Picture1->deviceSize().width();
    EXPECT_NEAR(after1s, width / 11.9, 2); // the first 11.9 s fill the box
    EXPECT_NEAR(low, -16384, 1);
    EXPECT_NEAR(high, 16384, 1);
    tick(10);
    EXPECT_NEAR(std::get<0>(columns()), 2 * after1s, 2);

    input = Input::Clipping;
    tick(1);
    EXPECT_EQ(form.lblTime1->text(), QStringLiteral("録音中　　 2.1秒\n") + LiveView::kClipping);
    input = Input::Silent;
    tick(19); // a clip is said for 2 s after it
    EXPECT_EQ(form.lblTime1->text(), QStringLiteral("録音中　　 4秒\n") + LiveView::kClipping);
    tick(1);
    EXPECT_EQ(form.lblTime1->text(), QStringLiteral("録音中　　 4.1秒"));
    tick(9);
    EXPECT_EQ(form.lblTime1->text(), QStringLiteral("録音中　　 5秒"));
    tick(1); // 3 s of silence
    EXPECT_EQ(form.lblTime1->text(), QStringLiteral("録音中　　 5.1秒\n") + LiveView::kSilent);

    const std::size_t drawn = form.Picture1->drawing().size();
    form.cmdStop1_Click(); // the save dialog is cancelled
    EXPECT_FALSE(form.ui1.tmrRecord->isActive());
    EXPECT_EQ(form.lblTime1->text(), QStringLiteral("まだ保存していない録音　　 5.1秒"));
    EXPECT_EQ(form.Picture1->drawing().size(), drawn);
    QTest::mouseClick(form.Picture1, Qt::LeftButton, {}, form.Picture1->rect().center());
    EXPECT_NEAR(form.track1.Cursor, 500, 3) << "in the earlier file's samples, not in device columns";
    // The box twice as wide in device pixels, as on a screen of twice the ratio: the picture is drawn again
    // for its columns, without stripes.
    form.Picture1->resize(form.Picture1->width() * 2, form.Picture1->height());
    const QImage wide = form.Picture1->canvas();
    int blueColumns = 0, lastBlue = -1;
    for (int x = 0; x < wide.width(); ++x)
        for (int y = 0; y < wide.height(); ++y)
            if (wide.pixel(x, y) == qRgb(0, 0, 255)) {
                ++blueColumns;
                lastBlue = x;
                break;
            }
    EXPECT_GT(lastBlue, 2 * after1s * 4);
    EXPECT_EQ(blueColumns, lastBlue + 1);
    form.Picture1->resize(form.Picture1->width() / 2, form.Picture1->height());

    dialogAnswers = {dir.filePath(QStringLiteral("saved.wav"))};
    form.cmdStop1_Click();
    EXPECT_TRUE(form.lblTime1->text().startsWith(dir.filePath(QStringLiteral("saved.wav"))));
    const QImage saved = form.Picture1->canvas();
    PlotWaveform(form.track1, form.ui1);
    EXPECT_EQ(form.Picture1->canvas(), saved);
}

// A recording longer than the box holds: each time it reaches the right edge the scale doubles and what
// was drawn moves into the left half.
TEST_F(Recording, ALongRecordingIsCompressedAsItGrows) {
    frmMain& form = *this->form;
    LiveView view;
    view.Start(form.ui1);
    const double width = form.Picture1->deviceSize().width();
    const std::pair<std::int64_t, double> growth[] = {
        {262144, 0.5}, {524288, 1.0}, {786432, 0.75}, {1048576, 1.0}, {1310720, 0.625}};
    std::int64_t frames = 0;
    for (const auto& [upTo, share] : growth) {
        // The frames up to there, at full scale, in one step.
        view.Update(form.ui1, upTo / 44.1,
                    QStringLiteral("%1 %2 44100 -32768 32767").arg(frames).arg(upTo - frames));
        frames = upTo;
        EXPECT_NEAR(double(form.Picture1->drawing().size()), share * width, 1) << upTo;
    }
}

} // namespace
