// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Recording, playing, pausing, stopping and saving, and the position timer,
// on a recording fake of the sound device.
#include "platform/toolkit/PictureBox.h"
#include "tests/support/WindowTest.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <deque>
#include <filesystem>

namespace toolkit = pikota::toolkit;

namespace {

using namespace pikota::test;

class TransportTest : public WindowTest {
protected:
    using WindowTest::file;
    // A mono 16-bit file of `frames` equal samples.
    QString file(const QString& name, int frames, std::int16_t value = 1000, std::int32_t rate = 44100) {
        return file(name, Pcm16(1, rate, std::vector<std::int16_t>(static_cast<std::size_t>(frames), value)));
    }
};

// Which of the window's buttons are enabled, and what the "●" buttons and timers do.
struct Phase {
    const char* after;
    const char* enabled; // Road1 Road2 Save1 Save2 Play1 Pause1 Stop1 Play2 Pause2 Stop2, as 0/1
    const char* rec;     // "●" 1 and 2: h hidden, s shown and enabled, d shown and disabled
    const char* timers;  // 1 and 2: 0 off, 1 on
};

std::string enabledOf(frmMain& f) {
    std::string s;
    for (QPushButton* b : {f.cmdRoad1, f.cmdRoad2, f.cmdSave1, f.cmdSave2, f.cmdPlay1, f.cmdPause1,
                           f.cmdStop1, f.cmdPlay2, f.cmdPause2, f.cmdStop2})
        s += b->isEnabled() ? '1' : '0';
    return s;
}

std::string recOf(frmMain& f) {
    std::string s;
    for (QPushButton* b : {f.cmdRec1, f.cmdRec2})
        s += b->isHidden() ? 'h' : (b->isEnabled() ? 's' : 'd');
    return s;
}

std::string timersOf(frmMain& f) {
    return std::string(1, f.tmrPosition1->isActive() ? '1' : '0') + (f.tmrPosition2->isActive() ? '1' : '0');
}

TEST_F(TransportTest, ThePhasesSwitchTheButtonsAndTimersAsTabled) {
    const QString one = file(QStringLiteral("one.wav"), 4410);
    const QString two = file(QStringLiteral("two.wav"), 8820);
    const QString saved = dir.filePath(QStringLiteral("saved.wav"));
    status("0", "100");

    const std::vector<std::pair<std::function<void()>, Phase>> steps = {
        {[] {}, {"start", "1111000000", "hh", "00"}},
        {[&] { load(form->cmdRoad1, one); }, {"load 1", "1111111000", "hh", "00"}},
        {[&] { load(form->cmdRoad2, two); }, {"load 2", "1111111111", "hh", "00"}},
        {[&] { click(form->cmdPlay1); }, {"play 1", "0000111000", "hh", "10"}},
        {[&] { click(form->cmdPause1); }, {"pause 1", "0000111000", "hh", "00"}},
        {[&] { click(form->cmdPlay1); }, {"resume 1", "0000111000", "hh", "10"}},
        {[&] { click(form->cmdStop1); }, {"stop 1", "1111111111", "hh", "00"}},
        {[&] { click(form->cmdPlay2); }, {"play 2", "0000000111", "hh", "01"}},
        {[&] {
             status("100", "100");
             form->tmrPosition2_Timer();
         },
         {"end of playback 2", "1111111111", "hh", "00"}},
        {[&] { click(form->cmdSave2); }, {"record 2 prepared", "0000000001", "hs", "00"}},
        {[&] { click(form->cmdRec2); }, {"recording 2", "0000000001", "hd", "00"}},
        {[&] {
             dialogAnswers.push_back(saved);
             WriteFile(saved, Pcm16(2, 44100, std::vector<std::int16_t>(400, 3)));
             device.answers["save wfile \"" + saved.toStdString() + "\""] = {0, ""};
             // The file exists already: the test wrote what the device would; answer Yes.
             answers.push_back(toolkit::MsgAnswer::Yes);
             click(form->cmdStop2);
         },
         {"stop 2, saved", "1111111111", "hh", "00"}},
    };
    for (const auto& [action, phase] : steps) {
        action();
        SCOPED_TRACE(phase.after);
        EXPECT_EQ(enabledOf(*form), phase.enabled);
        EXPECT_EQ(recOf(*form), phase.rec);
        EXPECT_EQ(timersOf(*form), phase.timers);
    }
    EXPECT_FALSE(form->track2.RecordMode);
    EXPECT_EQ(form->track2.FilePath, QLatin1Char('"') + saved + QLatin1Char('"'));
}

TEST_F(TransportTest, EachHandlerSendsExactlyItsCommands) {
    const QString path = file(QStringLiteral("a.wav"), 441);
    load(form->cmdRoad1, path);
    EXPECT_EQ(take(), Commands{});

    click(form->cmdPlay1);
    EXPECT_EQ(take(), (Commands{"close wfile", "open " + path.toStdString() + " type waveaudio alias wfile",
                                "set wfile time format ms", "play wfile"}));
    click(form->cmdPause1);
    EXPECT_EQ(take(), Commands{"stop wfile"});
    EXPECT_TRUE(form->track1.Paused);
    click(form->cmdPlay1); // a resume
    EXPECT_EQ(take(), Commands{"play wfile"});
    click(form->cmdPlay1); // play while playing starts again
    EXPECT_EQ(take().front(), "close wfile");

    status("5", "10");
    form->tmrPosition1_Timer();
    EXPECT_EQ(take(), (Commands{"status wfile position", "status wfile length"}));
    status("10", "10");
    form->tmrPosition1_Timer();
    EXPECT_EQ(take(), (Commands{"status wfile position", "status wfile length", "stop wfile",
                                "seek wfile to start"}));

    click(form->cmdPause1);
    take();
    click(form->cmdStop1);
    EXPECT_EQ(take(), (Commands{"stop wfile", "seek wfile to start"}));
    EXPECT_FALSE(form->track1.Paused);
    click(form->cmdPlay1); // Stop cleared Paused: the file is opened again
    EXPECT_EQ(take().size(), 4u);

    click(form->cmdStop1);
    take();
    click(form->cmdSave1);
    EXPECT_EQ(take(),
              (Commands{"close wfile", "open new type waveaudio alias wfile", "set wfile time format ms"}));
    click(form->cmdRec1);
    EXPECT_EQ(take(), Commands{"record wfile"});
}

TEST_F(TransportTest, AFailedOpenShowsTheDevicesTextAndChangesNothing) {
    // Track 2 was never loaded; its transport is enabled by a Stop of track 1.
    load(form->cmdRoad1, file(QStringLiteral("a.wav"), 441));
    click(form->cmdStop1);
    take();
    device.answers["open  type waveaudio alias wfile"] = {275, ""};
    const std::string before = enabledOf(*form);
    click(form->cmdPlay2);
    EXPECT_EQ(take(), (Commands{"close wfile", "open  type waveaudio alias wfile"}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("エラー 275"));
    EXPECT_EQ(messages[0].icon, toolkit::MsgIcon::Critical);
    EXPECT_EQ(messages[0].buttons, toolkit::MsgButtons::OK);
    EXPECT_EQ(enabledOf(*form), before);
    EXPECT_EQ(timersOf(*form), "00");

    // A recording that cannot be opened: the box keeps its drawing, no "●" appears.
    device.answers["open new type waveaudio alias wfile"] = {271, ""};
    const auto drawn = form->Picture1->drawing().size();
    click(form->cmdSave1);
    EXPECT_EQ(messages.back().text, QStringLiteral("エラー 271"));
    EXPECT_EQ(form->Picture1->drawing().size(), drawn);
    EXPECT_EQ(recOf(*form), "hh");
    EXPECT_FALSE(form->track1.RecordMode);
}

TEST_F(TransportTest, PauseBeforeAnyPlayThenPlayOnlyResumes) {
    load(form->cmdRoad1, file(QStringLiteral("a.wav"), 441));
    take();
    click(form->cmdPause1);
    click(form->cmdPlay1);
    EXPECT_EQ(take(), (Commands{"stop wfile", "play wfile"}));
    EXPECT_TRUE(form->tmrPosition1->isActive());
    // Nothing is open: both replies are the same error text, of value 0.
    device.answerFor = [](const std::string& c) -> FakeSoundService::Answer {
        if (c.rfind("status", 0) == 0)
            return {263, ""};
        return {};
    };
    form->linPosition1->setX1(7);
    form->linPosition1->setX2(7);
    form->tmrPosition1_Timer();
    EXPECT_EQ(form->linPosition1->X1(), 7); // no division by zero: the line stays
    // Two equal texts still end the playback, and unlock both tracks.
    EXPECT_FALSE(form->tmrPosition1->isActive());
    EXPECT_EQ(enabledOf(*form), "1111111111");
}

TEST_F(TransportTest, TheTickFollowsThePositionAndDrawsTheLiveTrace) {
    // 1000 frames at 8000 Hz: the scope spans 160 samples.
    const QString path = dir.filePath(QStringLiteral("ramp.wav"));
    std::vector<std::int16_t> ramp(1000);
    for (int i = 0; i < 1000; ++i)
        ramp[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i * 10);
    WriteFile(path, Pcm16(1, 8000, ramp));
    load(form->cmdRoad2, path);
    click(form->cmdPlay2);

    status("31", "125");
    form->tmrPosition2_Timer();
    const float x = static_cast<float>(31.0 / 125.0 * 1000);
    EXPECT_EQ(form->linPosition2->X1(), x);
    EXPECT_EQ(form->linPosition2->X2(), x);
    EXPECT_DOUBLE_EQ(form->Picture2->scaleWidth(), 160);
    EXPECT_DOUBLE_EQ(form->Picture2->scaleTop(), 32768);
    const auto& trace = form->Picture2->drawing();
    ASSERT_EQ(trace.size(), 161u);
    EXPECT_EQ(trace[0].to, QPointF(0, 2480)); // sample 248 under the line
    EXPECT_EQ(trace[0].color, QColor(255, 0, 0).rgb());
    EXPECT_EQ(trace[160].to, QPointF(160, 4080));

    // Clearing empties the scope and puts the line back; the next tick restores both.
    click(form->cmdClear);
    EXPECT_EQ(form->linPosition2->X1(), 0);
    form->tmrPosition2_Timer();
    EXPECT_EQ(form->linPosition2->X1(), x);
    EXPECT_EQ(form->Picture2->drawing().size(), 161u);

    // The last tick: the line at the right end, the device rewound, the scope empty.
    status("125", "125");
    form->tmrPosition2_Timer();
    EXPECT_EQ(form->linPosition2->X1(), 1000);
    EXPECT_EQ(form->linPosition2->pixelFrom().x(), form->Picture3->width() - 1); // seen in the last column
    EXPECT_TRUE(form->Picture2->drawing().empty());
    EXPECT_FALSE(form->tmrPosition2->isActive());
}

// A file of any length is labelled with its length and drawn whole: a loud 20 ms burst in it stands out as
// a column of the box's full height, a click into that column sets the cursor at the frame under the
// pointer and the scope shows the burst from there, and while it plays the scope shows the frames being
// heard. The files are silence written sparsely, with the burst where the click will be.
TEST_F(TransportTest, FilesOfAnyLengthAreShownWhole) {
    struct Length {
        std::int64_t frames;
        std::int16_t channels;
        const char* seconds;
    };
    const Length lengths[] = {
        {500001, 1, " 11.3"}, {500002, 1, " 11.3"}, {60 * 44100, 1, " 60"}, {3600LL * 44100, 2, " 3600"}};
    const int width = form->Picture1->width(), height = form->Picture1->height();
    const int x = width * 3 / 4;
    const auto blue = QColor(0, 0, 255).rgb();
    for (const Length& l : lengths) {
        SCOPED_TRACE(l.frames);
        const std::int64_t last = l.frames - 1; // at the right edge
        const std::int64_t clicked = x * last / (width - 1);
        const QString path = dir.filePath(QStringLiteral("%1.wav").arg(l.frames));
        WriteSilence(path, l.channels, 44100, l.frames);
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            const std::int64_t frameBytes = 2 * l.channels;
            QByteArray burst;
            for (int i = 0; i < 1100; ++i)
                for (int c = 0; c < l.channels; ++c)
                    PutInt16(burst, static_cast<std::int16_t>(c == 0 ? (i % 2 ? -32767 : 32767) : 0));
            f.seek(44 + (clicked - 64) * frameBytes);
            f.write(burst);
        }
        load(form->cmdRoad1, path);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->ui1.tmrOverview->isActive(); }, 30000));
        EXPECT_EQ(form->lblTime1->text(), path + QStringLiteral("　　") + l.seconds + QStringLiteral("秒"));
        const QImage canvas = form->Picture1->canvas();
        EXPECT_EQ(canvas.pixel(x, 0), blue);
        EXPECT_EQ(canvas.pixel(x, height - 2), blue);
        EXPECT_NE(canvas.pixel(x / 2, 0), blue) << "silence elsewhere";

        QTest::mouseClick(form->Picture1, Qt::LeftButton, {}, QPoint(x, height / 2));
        EXPECT_NEAR(form->track1.Cursor, clicked, 16);
        const auto trace = [&] {
            const auto& ops = form->Picture2->drawing();
            return ops.size() == 883 && std::abs(ops[0].to.y()) == 32767 &&
                   std::abs(ops[500].to.y()) == 32767;
        };
        EXPECT_TRUE(trace()) << "the burst at the cursor";

        click(form->cmdPlay1);
        const auto ms = [](std::int64_t frames) { return std::to_string(frames * 1000 / 44100); };
        status(ms(clicked + 300), ms(l.frames));
        form->tmrPosition1_Timer();
        EXPECT_NEAR(form->linPosition1->X1(), clicked + 300, 50);
        EXPECT_TRUE(trace()) << "the burst being heard";
        status(ms(l.frames), ms(l.frames));
        form->tmrPosition1_Timer();
        EXPECT_EQ(form->linPosition1->X1(), static_cast<float>(last));
        EXPECT_NEAR(form->linPosition1->pixelFrom().x(), width - 1, 0.5); // in the last column
    }
}

// What is heard is what is shown: a file replaced on the disk since it was drawn is read and drawn again
// when it is played; one that cannot be read any more is named and not played.
TEST_F(TransportTest, AFileReplacedSinceItWasDrawnIsDrawnAgainBeforeItPlays) {
    const QString path = file(QStringLiteral("take.wav"), 4410, 5);
    load(form->cmdRoad1, path);
    const QString newer = file(QStringLiteral("newer.wav"), 8820, 9);
    ASSERT_EQ(std::rename(newer.toLocal8Bit().constData(), path.toLocal8Bit().constData()), 0);
    take();
    click(form->cmdPlay1);
    EXPECT_EQ((*form->track1.LeftSamples)[0], 9);
    EXPECT_EQ(form->track1.SampleLimit, 8820);
    EXPECT_EQ(form->lblTime1->text(), path + QStringLiteral("　　 0.2秒"));
    EXPECT_EQ(take().at(1), "open " + path.toStdString() + " type waveaudio alias wfile");
    click(form->cmdStop1);

    file(QStringLiteral("take.wav"), QByteArray("RIFF junk that holds no sound"));
    take();
    click(form->cmdPlay1);
    EXPECT_EQ(take(), Commands{});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("「%1」を読み込めませんでした。").arg(path)));
    EXPECT_EQ((*form->track1.LeftSamples)[0], 9);
}

TEST_F(TransportTest, AClickIntoThePlayingTrackStopsItsTimerButNotTheSound) {
    load(form->cmdRoad1, file(QStringLiteral("a.wav"), 4410));
    click(form->cmdPlay1);
    take();
    form->Picture1_MouseDown(Qt::LeftButton, {}, 100.0f, 0.0f);
    EXPECT_FALSE(form->tmrPosition1->isActive());
    EXPECT_EQ(take(), Commands{});
    EXPECT_EQ(enabledOf(*form), "0000111000"); // still in its playback phase
}

class SaveTest : public TransportTest {
protected:
    void prepare() {
        click(form->cmdSave1);
        click(form->cmdRec1);
        take();
    }
};

TEST_F(SaveTest, ACancelledSaveKeepsTheRecording) {
    prepare();
    dialogAnswers.push_back(std::nullopt);
    click(form->cmdStop1);
    EXPECT_EQ(take(), (Commands{"stop wfile", "seek wfile to start"}));
    EXPECT_TRUE(form->track1.RecordMode);
    EXPECT_EQ(enabledOf(*form), "0000001000");
    EXPECT_EQ(recOf(*form), "dh");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].mode, toolkit::CommonDialog::Mode::Save);
    EXPECT_EQ(dialogs[0].filter, QStringLiteral("ウェーブファイル (*.wav)|*.wav"));
    EXPECT_EQ(dialogs[0].flags, 1);
}

TEST_F(SaveTest, AFailedSaveShowsTheDevicesTextAndKeepsTheRecording) {
    prepare();
    const QString target = dir.filePath(QStringLiteral("名前 に 空白.wav"));
    dialogAnswers.push_back(target);
    device.answerFor = [](const std::string& c) -> FakeSoundService::Answer {
        return {c.rfind("save", 0) == 0 ? 286 : 0, ""};
    };
    click(form->cmdStop1);
    EXPECT_EQ(take().back(), "save wfile \"" + target.toStdString() + "\"");
    EXPECT_EQ(messages.back().text, QStringLiteral("エラー 286"));
    EXPECT_EQ(messages.back().icon, toolkit::MsgIcon::Critical);
    EXPECT_TRUE(form->track1.RecordMode);
    EXPECT_EQ(form->track1.FilePath, QLatin1Char('"') + target + QLatin1Char('"'));
    EXPECT_EQ(enabledOf(*form), "0000001000");

    // The next Stop offers the dialog again, with the name chosen last.
    dialogAnswers.push_back(std::nullopt);
    click(form->cmdStop1);
    EXPECT_EQ(dialogs.back().fileName, target);
}

TEST_F(SaveTest, AnExistingFileIsReplacedOnlyAfterAYesAndOnlyByTheDevice) {
    prepare();
    const QString old = file(QStringLiteral("old.wav"), 100, 42);
    const QString fresh = dir.filePath(QStringLiteral("fresh.wav"));
    dialogAnswers = {old, fresh};
    answers = {toolkit::MsgAnswer::No};
    device.answerFor = [fresh](const std::string& c) -> FakeSoundService::Answer {
        if (c == "save wfile \"" + fresh.toStdString() + "\"")
            WriteFile(fresh, Pcm16(1, 22050, std::vector<std::int16_t>(2205, 9)));
        return {};
    };
    click(form->cmdStop1);
    ASSERT_EQ(messages.size(), 2u); // the ready message, then the question
    EXPECT_EQ(messages[1].text, QStringLiteral("同じ名前のファイルが存在します。\r\n上書きしますか？"));
    EXPECT_EQ(messages[1].icon, toolkit::MsgIcon::Question);
    EXPECT_EQ(dialogs.size(), 2u); // No showed the dialog again
    EXPECT_TRUE(QFileInfo::exists(old));

    // The saved file is read back, labelled without quotes and drawn; clicks stay off.
    EXPECT_FALSE(form->track1.RecordMode);
    EXPECT_EQ(form->track1.SampleLimit, 2205);
    EXPECT_EQ(form->lblTime1->text(), fresh + QStringLiteral("　　 0.1秒"));
    EXPECT_EQ(form->Picture1->drawing().size(), 442u);
    EXPECT_FALSE(form->track1.HasWaveform);
    EXPECT_EQ(recOf(*form), "hh");
    EXPECT_TRUE(form->cmdRec1->isEnabled());
    EXPECT_EQ(enabledOf(*form), "1111111111");
    form->Picture1_MouseDown(Qt::LeftButton, {}, 10.0f, 0.0f);
    EXPECT_EQ(form->track1.Cursor, 0.0f);

    // Yes: the old file stays until the device writes the new one over it.
    click(form->cmdSave1);
    click(form->cmdRec1);
    dialogAnswers = {old};
    answers = {toolkit::MsgAnswer::Yes};
    bool oldStillThere = false;
    device.answerFor = [&](const std::string& c) -> FakeSoundService::Answer {
        if (c.rfind("save", 0) == 0)
            oldStillThere = QFileInfo::exists(old);
        return {};
    };
    take();
    click(form->cmdStop1);
    EXPECT_TRUE(oldStillThere);
    EXPECT_EQ(take().back(), "save wfile \"" + old.toStdString() + "\"");
}

} // namespace
