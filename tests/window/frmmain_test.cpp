// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window as the user first sees it, and leaving it.
#include "platform/toolkit/PictureBox.h"
#include "tests/support/WindowTest.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace toolkit = pikota::toolkit;

namespace {

using MainWindowTest = pikota::test::WindowTest;

QRect px(int l, int t, int w, int h) { return {l / 15, t / 15, w / 15, h / 15}; }

TEST_F(MainWindowTest, AtStartNothingCanBePlayedAndNoCommandWasSent) {
    for (QPushButton* b :
         {form->cmdPlay1, form->cmdPause1, form->cmdStop1, form->cmdPlay2, form->cmdPause2, form->cmdStop2})
        EXPECT_FALSE(b->isEnabled());
    for (QPushButton* b : {form->cmdRoad1, form->cmdRoad2, form->cmdSave1, form->cmdSave2}) {
        EXPECT_TRUE(b->isEnabled());
        EXPECT_TRUE(b->isVisible());
    }
    EXPECT_FALSE(form->cmdRec1->isVisible());
    EXPECT_FALSE(form->cmdRec2->isVisible());
    EXPECT_TRUE(form->cmdRec1->isEnabled());
    EXPECT_EQ(form->linPosition1->X1(), 0);
    EXPECT_EQ(form->linPosition2->X2(), 0);
    EXPECT_EQ(form->linPosition1->pixelFrom().x(), 0);
    for (QTimer* t : {form->tmrPosition1, form->tmrPosition2}) {
        EXPECT_FALSE(t->isActive());
        EXPECT_EQ(t->interval(), 100);
    }
    for (toolkit::PictureBox* p : {form->Picture1, form->Picture2, form->Picture3})
        EXPECT_EQ(p->backColor(), QColor(255, 255, 255));
    for (const Track* t : {&form->track1, &form->track2}) {
        EXPECT_EQ(t->SampleLimit, 500000);
        EXPECT_FALSE(t->RecordMode);
        EXPECT_FALSE(t->Paused);
        EXPECT_FALSE(t->HasWaveform);
        EXPECT_EQ(t->Cursor, 0.0f);
        EXPECT_TRUE(t->FilePath.isEmpty());
    }
    EXPECT_TRUE(form->CommonDialog1.CancelError);
    EXPECT_TRUE(device.commands.empty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->focusWidget(), form->Picture2);
}

TEST_F(MainWindowTest, TheLayoutIsFixedAsDesigned) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ピコタ"));
    EXPECT_EQ(form->centralWidget()->size(), QSize(771, 573));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);

    EXPECT_EQ(form->Frame1->geometry(), px(240, 120, 5415, 2055));
    EXPECT_EQ(form->Frame2->geometry(), px(5880, 120, 5415, 2055));
    EXPECT_EQ(form->Frame1->title(), QStringLiteral("音声１"));
    EXPECT_EQ(form->Frame2->title(), QStringLiteral("音声２"));
    EXPECT_EQ(form->Picture2->geometry(), px(120, 2280, 11295, 5655));
    EXPECT_EQ(form->cmdClear->geometry(), px(9960, 8040, 1455, 375));
    EXPECT_EQ(form->cmdClear->geometry().right(), form->Picture2->geometry().right());
    // Both tracks' controls stand at the same places inside their frames.
    const std::pair<QWidget*, QWidget*> twins[] = {
        {form->lblTime1, form->lblTime2},   {form->Picture1, form->Picture3},
        {form->cmdRoad1, form->cmdRoad2},   {form->cmdSave1, form->cmdSave2},
        {form->cmdRec1, form->cmdRec2},     {form->cmdPlay1, form->cmdPlay2},
        {form->cmdPause1, form->cmdPause2}, {form->cmdStop1, form->cmdStop2}};
    for (const auto& [one, two] : twins)
        EXPECT_EQ(one->geometry(), two->geometry()) << one->geometry().x();
    EXPECT_EQ(form->Picture1->geometry(), px(120, 840, 5175, 615));
    EXPECT_EQ(form->cmdRec1->geometry(), px(2640, 1560, 615, 375));
    EXPECT_EQ(form->cmdStop1->geometry(), px(4575, 1560, 615, 375));

    EXPECT_EQ(form->cmdPlay1->toolTip(), QStringLiteral("再生"));
    EXPECT_EQ(form->cmdPause2->accessibleName(), QStringLiteral("一時停止"));
    EXPECT_EQ(form->cmdStop1->accessibleName(), QStringLiteral("停止"));
    EXPECT_TRUE(form->cmdPlay1->text().isEmpty());
    EXPECT_EQ(form->cmdRec2->toolTip(), QStringLiteral("録音"));
    EXPECT_EQ(form->Picture3->toolTip(), QStringLiteral("波形をクリックすると拡大されます"));
    EXPECT_TRUE(form->Picture2->toolTip().isEmpty());
    EXPECT_EQ(form->Picture1->cursor().hotSpot(), QPoint(9, 8));
    EXPECT_EQ(form->Picture2->cursor().shape(), Qt::ArrowCursor);

    QStringList menus;
    for (QAction* a : form->menuBar()->actions()) {
        menus << a->text();
        for (QAction* item : a->menu()->actions())
            menus << item->text();
    }
    EXPECT_EQ(menus, (QStringList{"メニュー(&M)", "ピコタの終了(&E)", "編集(&E)", "拡大した波形を消す(&C)",
                                  "ヘルプ(&H)", "ピコタの使い方(&H)", "ピコタについて(&A)"}));
}

TEST_F(MainWindowTest, TabVisitsTheControlsInTheLayoutsOrder) {
    // Enable and show everything so that no control is skipped.
    for (QPushButton* b : {form->cmdPlay1, form->cmdPause1, form->cmdStop1, form->cmdPlay2, form->cmdPause2,
                           form->cmdStop2, form->cmdRec1, form->cmdRec2}) {
        b->setEnabled(true);
        b->show();
    }
    const QWidget* expected[] = {form->Picture2, form->cmdPause1, form->cmdStop1,  form->cmdPlay1,
                                 form->cmdRoad1, form->Picture1,  form->cmdRec1,   form->cmdSave1,
                                 form->cmdSave2, form->cmdRec2,   form->Picture3,  form->cmdRoad2,
                                 form->cmdPlay2, form->cmdStop2,  form->cmdPause2, form->cmdClear};
    QWidget* w = form->Picture2;
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus))
            w = w->nextInFocusChain();
        EXPECT_EQ(w, expected[i]) << i;
    }
}

TEST_F(MainWindowTest, AnsweringNoKeepsEverythingRunning) {
    answers = {toolkit::MsgAnswer::No, toolkit::MsgAnswer::No};
    form->tmrPosition1->start();
    form->close();
    form->mnuFileEnd->trigger();
    ASSERT_EQ(messages.size(), 2u);
    for (const auto& q : messages) {
        EXPECT_EQ(q.text, QStringLiteral("ピコタを終了しますか？"));
        EXPECT_EQ(q.caption, QStringLiteral("ピコタ"));
        EXPECT_EQ(q.buttons, toolkit::MsgButtons::YesNo);
        EXPECT_EQ(q.icon, toolkit::MsgIcon::Question);
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->tmrPosition1->isActive());
    EXPECT_TRUE(device.commands.empty());
}

TEST_F(MainWindowTest, AnsweringYesClosesTheDeviceAndTheWindow) {
    // Closing with nothing open fails in the device; nobody is told.
    device.answers["close wfile"] = {263, ""};
    form->tmrPosition2->start(); // a playing track; the window may outlive the answer, behind About
    form->mnuFileEnd->trigger();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(device.commands, std::vector<std::string>{"close wfile"});
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->tmrPosition2->isActive());
}

TEST_F(MainWindowTest, FinishingAPlaybackUnlocksBothTracks) {
    form->cmdPlay1_Click(); // track 2 was never loaded
    form->Picture2->setScale(0, 1, 1, -1);
    form->Picture2->pset(0.5, 0, Qt::blue);
    status("1000", "1000"); // the end of the sound
    form->tmrPosition1_Timer();
    EXPECT_FALSE(form->tmrPosition1->isActive());
    for (QPushButton* b : {form->cmdRoad1, form->cmdRoad2, form->cmdSave1, form->cmdSave2, form->cmdPlay1,
                           form->cmdPause1, form->cmdStop1, form->cmdPlay2, form->cmdPause2, form->cmdStop2})
        EXPECT_TRUE(b->isEnabled());
    EXPECT_TRUE(form->Picture2->drawing().empty());
}

TEST_F(MainWindowTest, ClearingSamplesTouchesOnlyItsOwnTrack) {
    form->track1.LeftSamples->fill(7);
    form->track1.RightSamples->fill(7);
    form->track2.LeftSamples->fill(9);
    ClearSamples(form->track1);
    EXPECT_EQ((*form->track1.LeftSamples)[0], 0);
    EXPECT_EQ((*form->track1.RightSamples)[500000], 0);
    EXPECT_EQ(std::count(form->track1.LeftSamples->begin(), form->track1.LeftSamples->end(), 0), 500001);
    EXPECT_EQ((*form->track2.LeftSamples)[500000], 9);
}

// Recordings that an earlier run left behind when it crashed are reported once at start, with where
// they are, and their folder is opened on Yes; a recording that a running program holds is not one.
TEST_F(MainWindowTest, RecordingsLeftByACrashAreReportedAndTheirFolderOpened) {
    const QString folder = dir.filePath(QStringLiteral("state/pikota/recordings"));
    QDir().mkpath(folder);
    QDir().mkpath(dir.filePath(QStringLiteral("bin")));
    const QString orphan = file(QStringLiteral("state/pikota/recordings/pikota-2026-12-01-101010.wav"),
                                pikota::test::Pcm16(2, 44100, std::vector<std::int16_t>(8, 1)));
    const QString live = file(QStringLiteral("state/pikota/recordings/pikota-2026-12-01-111111.wav"), {});
    const int held = ::open(live.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    const QString log = dir.filePath(QStringLiteral("opened.log"));
    file(QStringLiteral("bin/xdg-open"),
         QStringLiteral("#!/bin/sh\necho \"$#|$1\" >> '%1'\n").arg(log).toLocal8Bit());
    QFile::setPermissions(dir.filePath(QStringLiteral("bin/xdg-open")), QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir.filePath(QStringLiteral("bin")).toLocal8Bit());

    for (const bool withOrphan : {true, false}) {
        messages.clear();
        if (!withOrphan)
            QFile::remove(orphan);
        form = std::make_unique<frmMain>();
        QTest::qWait(50);
        if (!withOrphan) {
            EXPECT_TRUE(messages.empty());
            continue;
        }
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("保存されていない録音が 1 件あります。")));
        EXPECT_TRUE(messages[0].text.contains(folder)) << messages[0].text.toStdString();
        EXPECT_EQ(messages[0].buttons, toolkit::MsgButtons::YesNo);
        QFile opened(log);
        for (int i = 0; i < 100 && !opened.exists(); ++i)
            QTest::qWait(20);
        ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
        EXPECT_EQ(opened.readAll(), ("1|" + folder + "\n").toLocal8Bit());
        EXPECT_TRUE(QFileInfo::exists(orphan) && QFileInfo::exists(live)) << "nothing is deleted";
    }
    qputenv("PATH", path);
    ::close(held);
}

} // namespace
