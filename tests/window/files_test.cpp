// Files from outside the window: named on the command line or dropped onto a waveform box.
#include "platform/toolkit/PictureBox.h"
#include "tests/support/WindowTest.h"

#include <gtest/gtest.h>

#include <QApplication>
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

TEST_F(FilesTest, TheCommandLinesFilesLoadIntoTrackOneAndTwoAndABadOneEndsLikeALoad) {
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

    // A file that cannot be read: quietly, the track's Load and transport stay locked
    // and it keeps its old file; the next file still goes to track 2.
    const QString three = wav(QStringLiteral("three.wav"), 50);
    form->OpenFiles({dir.filePath(QStringLiteral("missing.wav")), three});
    EXPECT_FALSE(form->cmdRoad1->isEnabled());
    EXPECT_FALSE(form->cmdPlay1->isEnabled());
    EXPECT_EQ(form->track1.FilePath, one);
    EXPECT_EQ(form->track2.FilePath, three);
    EXPECT_TRUE(form->cmdPlay2->isEnabled());
    EXPECT_TRUE(device.commands.empty());
}

TEST_F(FilesTest, AWavFileDroppedOntoTrackTwosBoxLoadsIntoTrackTwo) {
    EXPECT_FALSE(drop(form->Picture3, {wav(QStringLiteral("notes.txt"))})) << "not a WAV file";
    EXPECT_FALSE(drop(form->Picture3, {wav(QStringLiteral("a.wav")), wav(QStringLiteral("b.wav"))}))
        << "one box takes one file";
    EXPECT_FALSE(form->track2.HasWaveform);

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
