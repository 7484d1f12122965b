// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Files from outside the window: named on the command line or dropped onto a waveform box.
#include "platform/toolkit/PictureBox.h"
#include "tests/device/SoundTestSupport.h"
#include "tests/support/WindowTest.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace toolkit = pikota::toolkit;

namespace {

class FilesTest : public pikota::test::WindowTest {
protected:
    void TearDown() override {
        EXPECT_TRUE(dialogs.empty()) << "files from outside never ask the file dialog";
        WindowTest::TearDown();
    }

    QString wav(const QString& name, int frames = 100) {
        return file(name, pikota::test::Pcm16(1, 8000, std::vector<std::int16_t>(frames, 7)));
    }

    // Drags the files onto the box as a file manager would, offering copy or move, with
    // Shift held, which asks for a move, and drops them when the box takes the drag.
    // True when the drop was taken, as a copy: a move would lose the user's file.
    static bool drop(toolkit::PictureBox* box, const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        QMimeData data;
        data.setUrls(urls);
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(5, 5), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        enter.ignore();
        QApplication::sendEvent(box, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(5, 5), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        dropped.ignore();
        QApplication::sendEvent(box, &dropped);
        return dropped.isAccepted() && dropped.dropAction() == Qt::CopyAction;
    }
};

TEST_F(FilesTest, TheCommandLinesFilesLoadIntoTrackOneAndTwo) {
    const QString one = wav(QStringLiteral("one.wav"), 300);
    const QString two = wav(QStringLiteral("two.wav"), 200);
    form->OpenFiles({one, two});
    EXPECT_EQ(form->track1.FilePath, one);
    EXPECT_EQ(form->track1.SampleLimit, 300);
    EXPECT_EQ(form->track2.FilePath, two);
    EXPECT_EQ(form->track2.SampleLimit, 200);
    for (QPushButton* b : {form->cmdRoad1, form->cmdPlay1, form->cmdRoad2, form->cmdPlay2})
        EXPECT_TRUE(b->isEnabled());
    EXPECT_TRUE(form->track1.HasWaveform && form->track2.HasWaveform);

    EXPECT_TRUE(messages.empty());
}

// A file from outside that cannot be read is named, with the reason, and its track stays as it was, ready
// to play its old file; the next file still goes to track 2. The same for a drop.
TEST_F(FilesTest, AFileThatCannotBeReadIsNamedAndTheTrackStaysAsItWas) {
    const QString one = wav(QStringLiteral("one.wav"), 300);
    form->OpenFiles({one});
    const QString label = form->lblTime1->text();
    QDir(dir.path()).mkdir(QStringLiteral("folder.wav"));
    const std::pair<QString, QString> cases[] = {
        {dir.filePath(QStringLiteral("missing.wav")), QStringLiteral("ファイルが見つかりません。")},
        {dir.filePath(QStringLiteral("folder.wav")), QStringLiteral("ファイルではありません。")},
        {file(QStringLiteral("aligned0.wav"),
              pikota::test::Riff({pikota::test::Chunk("fmt ", pikota::test::FormatBody(1, 8000, 16, 0)),
                                  pikota::test::Chunk("data", QByteArray(400, '\0'))})),
         QStringLiteral("ピコタで読み込める WAV ファイルではありません。")},
        {file(
             QStringLiteral("adpcm.wav"),
             pikota::test::Riff({pikota::test::Chunk("fmt ", pikota::test::FormatBody(1, 8000, 4, 256, 0x11)),
                                 pikota::test::Chunk("data", QByteArray(400, '\0'))})),
         QStringLiteral("IMA ADPCM（形式番号 0x0011）の WAV ファイルは、ピコタでは読み込めません。")},
        {file(QStringLiteral("nodata.wav"),
              pikota::test::Riff({pikota::test::Chunk("fmt ", pikota::test::FormatBody(1, 8000, 16, 2))})),
         QStringLiteral("このファイルには、ピコタで読み込める音声が見つかりません。")},
    };
    for (const auto& [path, why] : cases) {
        messages.clear();
        const QString two = wav(QStringLiteral("two.wav"), 200);
        form->OpenFiles({path, two});
        ASSERT_EQ(messages.size(), 1u) << path.toStdString();
        EXPECT_EQ(messages[0].text, QStringLiteral("「%1」を読み込めませんでした。\r\n%2").arg(path, why));
        EXPECT_EQ(messages[0].icon, toolkit::MsgIcon::Critical);
        EXPECT_EQ(form->track1.FilePath, one);
        EXPECT_EQ(form->track1.SampleLimit, 300);
        EXPECT_EQ((*form->track1.LeftSamples)[299], 7);
        EXPECT_EQ(form->lblTime1->text(), label);
        EXPECT_TRUE(form->cmdRoad1->isEnabled() && form->cmdPlay1->isEnabled());
        EXPECT_EQ(form->track2.FilePath, two);
    }
    messages.clear();
    EXPECT_TRUE(drop(form->Picture1, {dir.filePath(QStringLiteral("adpcm.wav"))}));
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(form->track1.FilePath, one);
    EXPECT_TRUE(device.commands.empty());
}

// While a message box or dialog waits for an answer (the ready message of a prepared recording, with the
// Load buttons still enabled under it), nothing is dropped.
TEST_F(FilesTest, NothingCanBeDroppedWhileADialogWaits) {
    QDialog modal(form.get());
    modal.setModal(true);
    modal.show();
    const QString path = wav(QStringLiteral("a.wav"), 120);
    EXPECT_FALSE(drop(form->Picture1, {path}));
    modal.hide();
    EXPECT_TRUE(drop(form->Picture1, {path}));
}

TEST_F(FilesTest, ASoundFileDroppedOntoTrackTwosBoxLoadsIntoTrackTwo) {
    EXPECT_FALSE(drop(form->Picture3, {wav(QStringLiteral("notes.txt"))})) << "not a sound file";
    EXPECT_FALSE(drop(form->Picture3, {wav(QStringLiteral("a.wav")), wav(QStringLiteral("b.wav"))}))
        << "one box takes one file";
    EXPECT_FALSE(form->track2.HasWaveform);

    // Any sound file the program reads, named in any case.
    const QString flac = dir.filePath(QStringLiteral("曲.FLAC"));
    pikota::test::writeSound(flac.toStdString(), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, 300,
                             [](std::int64_t, int) { return 7 / 32768.0; });
    EXPECT_TRUE(drop(form->Picture3, {flac}));
    EXPECT_EQ(form->track2.SampleLimit, 300);
    EXPECT_EQ((*form->track2.LeftSamples)[299], 7);

    const QString path = wav(QStringLiteral("録音 1.WAV"), 120);
    EXPECT_TRUE(drop(form->Picture3, {path}));
    EXPECT_TRUE(form->track2.HasWaveform);
    EXPECT_EQ(form->track2.SampleLimit, 120);
    EXPECT_TRUE(form->lblTime2->text().startsWith(path));
    EXPECT_TRUE(form->cmdPlay2->isEnabled());
    EXPECT_FALSE(form->track1.HasWaveform);
}

TEST_F(FilesTest, NothingCanBeDroppedWhileATrackPlays) {
    form->OpenFiles({wav(QStringLiteral("one.wav"))});
    QTest::mouseClick(form->cmdPlay1, Qt::LeftButton);
    ASSERT_FALSE(form->cmdRoad1->isEnabled());

    const QString other = wav(QStringLiteral("other.wav"), 40);
    EXPECT_FALSE(drop(form->Picture1, {other}));
    EXPECT_FALSE(drop(form->Picture3, {other}));
    EXPECT_NE(form->track1.SampleLimit, 40);
    EXPECT_FALSE(form->track2.HasWaveform);

    // Once stopped, the same drop is taken.
    QTest::mouseClick(form->cmdStop1, Qt::LeftButton);
    EXPECT_TRUE(drop(form->Picture1, {other}));
    EXPECT_EQ(form->track1.SampleLimit, 40);
}

} // namespace
