// The drawing surface, line shapes, message boxes and the file dialog.
#include "platform/toolkit/FileDialog.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/PictureBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>

namespace toolkit = pikota::toolkit;

namespace {

constexpr QRgb kWhite = 0xffffffff;

struct Box {
    QWidget window;
    toolkit::PictureBox* box = new toolkit::PictureBox(&window);
    Box(int w = 101, int h = 51) {
        box->setGeometry(0, 0, w, h);
        box->setBackColor(Qt::white);
        window.resize(w, h);
        window.show();
    }
    // The colour of a pixel of the kept drawing.
    QRgb at(int x, int y) const { return box->canvas().pixel(x, y) | 0xff000000; }
    int coloured() const {
        int n = 0;
        const QImage& c = box->canvas();
        for (int y = 0; y < c.height(); ++y)
            for (int x = 0; x < c.width(); ++x)
                n += (c.pixel(x, y) | 0xff000000) != kWhite;
        return n;
    }
};

TEST(PictureBoxScale, YGrowsUpwardsWhenTheBottomIsBelowTheTop) {
    Box b;
    b.box->setScale(0, 100, 1000, -100);
    EXPECT_EQ(b.box->toPixel({0, 100}), QPointF(0, 0));
    EXPECT_EQ(b.box->toPixel({1000, -100}), QPointF(100, 50));
    EXPECT_EQ(b.box->toPixel({500, 0}), QPointF(50, 25));
    EXPECT_EQ(b.box->toUser({50, 0}), QPointF(500, 100));

    // A point high in user units lands near the top.
    b.box->pset(500, 90, Qt::blue);
    EXPECT_EQ(b.at(50, 2), QColor(Qt::blue).rgb());
    EXPECT_EQ(b.coloured(), 1);
}

// What stands at x2 or y2 is seen in the box's last column or row, points and line shapes alike, and a
// click into the last column gives x2.
TEST(PictureBoxScale, TheLowerRightCornerIsTheLastPixel) {
    Box b(753, 35);
    toolkit::LineShape& line = b.box->addLine(0, 45, 0, 520); // in twips, as the layout puts it
    b.box->setScale(0, 32768, 500000, -32768);
    b.box->pset(500000, -32768, Qt::red);
    b.box->psetBatch(std::vector<QPointF>{{0, 32767}, {500000, 32767}}, Qt::blue);
    EXPECT_EQ(b.at(752, 34), QColor(Qt::red).rgb());
    EXPECT_EQ(b.at(0, 0), QColor(Qt::blue).rgb());
    EXPECT_EQ(b.at(752, 0), QColor(Qt::blue).rgb());
    EXPECT_EQ(b.coloured(), 3);

    line.setX1(500000);
    line.setX2(500000);
    const QImage shown = b.box->grab().toImage();
    const int dpr = qRound(b.box->devicePixelRatioF());
    for (int dx = 0; dx < dpr; ++dx)
        EXPECT_EQ(shown.pixelColor(752 * dpr + dx, 10 * dpr), QColor(Qt::black)) << dx;
    EXPECT_EQ(shown.pixelColor(751 * dpr + dpr - 1, 10 * dpr), QColor(Qt::white));

    QSignalSpy spy(b.box, &toolkit::PictureBox::mouseDown);
    QTest::mouseClick(b.box, Qt::LeftButton, {}, QPoint(752, 34));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_FLOAT_EQ(spy[0][2].toFloat(), 500000.0f);
    EXPECT_FLOAT_EQ(spy[0][3].toFloat(), -32768.0f);
}

TEST(PictureBoxScale, BeforeAnyScaleTheUnitIsTheTwip) {
    Box b(100, 50);
    EXPECT_EQ(b.box->toPixel({150, 300}), QPointF(10, 20));
    EXPECT_DOUBLE_EQ(b.box->scaleWidth(), 1500);
    EXPECT_DOUBLE_EQ(b.box->scaleHeight(), 750);
}

TEST(PictureBoxDrawing, LinesStartAtTheCurrentDrawingPosition) {
    Box b;
    b.box->setScale(0, 0, 100, 50);
    b.box->pset(10, 10, Qt::red);
    b.box->lineTo(20, 10, Qt::red);
    b.box->lineTo(20, 30, Qt::blue);
    EXPECT_EQ(b.box->currentPosition(), QPointF(20, 30));
    const auto& ops = b.box->drawing();
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[1].from, QPointF(10, 10));
    EXPECT_EQ(ops[2].from, QPointF(20, 10));
    EXPECT_EQ(ops[2].kind, toolkit::PictureBox::Op::Line);
    for (int x = 10; x < 20; ++x)
        EXPECT_EQ(b.at(x, 10), QColor(Qt::red).rgb()) << x;
    EXPECT_EQ(b.at(20, 20), QColor(Qt::blue).rgb());
}

TEST(PictureBoxDrawing, BatchesLookLikeTheirPointsAndLinesOneByOne) {
    Box one(200, 60), batch(200, 60);
    std::vector<QPointF> points;
    for (int i = 0; i <= 1000; i += 5)
        points.emplace_back(i, std::sin(i / 30.0) * 30000);
    for (Box* b : {&one, &batch})
        b->box->setScale(0, 32768, 1000, -32768);
    for (const QPointF& p : points)
        one.box->pset(p.x(), p.y(), Qt::blue);
    batch.box->psetBatch(points, Qt::blue);
    EXPECT_EQ(one.box->canvas(), batch.box->canvas());
    EXPECT_EQ(batch.box->drawing().size(), points.size());
    EXPECT_EQ(batch.box->currentPosition(), points.back());

    // Lines on from the current position, the same way, steep and flat, and across points that cannot be
    // drawn.
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = {points[i].x(), i % 7 == 3 ? NAN : (i % 2 ? -1.0 : 0.3) * points[i].y()};
    for (const QPointF& p : points)
        one.box->lineTo(p.x(), p.y(), Qt::red);
    batch.box->lineToBatch(points, Qt::red);
    EXPECT_EQ(one.box->canvas(), batch.box->canvas());
    const auto same = [](QPointF a, QPointF b) {
        return QString::number(a.x()) + QString::number(a.y()) ==
               QString::number(b.x()) + QString::number(b.y());
    };
    ASSERT_EQ(one.box->drawing().size(), batch.box->drawing().size());
    for (std::size_t i = 0; i < one.box->drawing().size(); ++i) {
        const auto& a = one.box->drawing()[i];
        const auto& b = batch.box->drawing()[i];
        ASSERT_TRUE(a.kind == b.kind && same(a.from, b.from) && same(a.to, b.to) && a.color == b.color) << i;
    }
}

TEST(PictureBoxDrawing, EraseKeepsScaleBackgroundAndLineShapes) {
    Box b;
    toolkit::LineShape& line = b.box->addLine(300, 45, 300, 520);
    b.box->setScale(0, 10, 10, 0);
    b.box->pset(5, 5, Qt::red);
    b.box->cls();
    EXPECT_TRUE(b.box->drawing().empty());
    EXPECT_EQ(b.coloured(), 0);
    EXPECT_EQ(b.box->scaleWidth(), 10);
    EXPECT_EQ(b.box->toPixel({5, 5}), QPointF(50, 25));
    ASSERT_EQ(b.box->lines().size(), 1u);
    // The line shape is still painted, above the drawing.
    b.box->pset(2, 5, Qt::red);
    const QImage shown = b.box->grab().toImage();
    const int dpr = qRound(b.box->devicePixelRatioF());
    EXPECT_EQ(shown.pixelColor(20 * dpr, 20 * dpr), QColor(Qt::black));
    EXPECT_EQ(line.pixelFrom().x(), 20);
}

TEST(PictureBoxDrawing, ANewScaleDoesNotMoveLineShapesUntilTheirXIsSet) {
    Box b;
    toolkit::LineShape& line = b.box->addLine(300, 45, 300, 520);
    EXPECT_EQ(line.pixelFrom(), QPointF(20, 3));
    b.box->setScale(0, 1, 1000, -1);
    EXPECT_EQ(line.pixelFrom().x(), 20);
    EXPECT_EQ(line.pixelTo().x(), 20);
    line.setX1(500);
    EXPECT_EQ(line.pixelFrom().x(), 50);
    EXPECT_EQ(line.pixelTo().x(), 20);
    line.setX2(500);
    EXPECT_EQ(line.pixelTo().x(), 50);
    EXPECT_DOUBLE_EQ(line.X1(), 500);
    // The vertical extent stays where the layout put it.
    EXPECT_DOUBLE_EQ(line.pixelTo().y(), 520 / 15.0);
}

TEST(PictureBoxDrawing, AScaleOfZeroWidthOrHeightDrawsNothing) {
    for (const auto& s : {std::array<double, 4>{0, 1, 0, -1}, std::array<double, 4>{0, 0, 10, 0}}) {
        Box b;
        b.box->setScale(s[0], s[1], s[2], s[3]);
        b.box->pset(0, 0, Qt::red);
        b.box->lineTo(5, 1, Qt::red);
        b.box->psetBatch(std::vector<QPointF>{{0, 0}, {1, 1}}, Qt::red);
        EXPECT_EQ(b.coloured(), 0);
        EXPECT_EQ(b.box->drawing().size(), 4u);
    }
}

TEST(PictureBoxDrawing, TheDrawingSurvivesBeingRebuilt) {
    Box b;
    b.box->setScale(0, 0, 100, 50);
    b.box->pset(10, 10, Qt::red);
    b.box->lineTo(30, 40, Qt::blue);
    const QImage before = b.box->canvas();
    b.box->setBackColor(Qt::white); // repaints the kept drawing from its record
    EXPECT_EQ(b.box->canvas(), before);
}

TEST(PictureBoxMouse, MouseDownReportsUserUnitsButtonAndKeys) {
    Box b;
    b.box->setScale(0, 256, 500, 0);
    QSignalSpy spy(b.box, &toolkit::PictureBox::mouseDown);
    QTest::mouseClick(b.box, Qt::RightButton, Qt::ShiftModifier, QPoint(20, 25));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(spy[0][1].value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    EXPECT_FLOAT_EQ(spy[0][2].toFloat(), 100.0f);
    EXPECT_FLOAT_EQ(spy[0][3].toFloat(), 128.0f);
}

TEST(PictureBoxPixels, PointsAreCrispAtTheScreensPixelRatio) {
    Box b;
    b.box->setScale(0, 0, 100, 50);
    b.box->pset(10, 10, Qt::red);
    const int dpr = qRound(b.box->devicePixelRatioF());
    const QImage shown = b.box->grab().toImage();
    ASSERT_EQ(shown.width(), 101 * dpr);
    // One logical pixel: every device pixel of it in full colour, and none beside it.
    int red = 0, other = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QColor c = shown.pixelColor(x, y);
            if (c == QColor(Qt::red))
                ++red;
            else if (c != QColor(Qt::white) && c != QColor(Qt::black))
                ++other;
        }
    EXPECT_EQ(red, dpr * dpr);
    EXPECT_EQ(other, 0);
}

TEST(FileDialogFilter, LabelAndPatternBecomeQtNameFilters) {
    using toolkit::CommonDialog;
    EXPECT_EQ(CommonDialog::nameFilters(QStringLiteral("WAVEファイル (*.wav)|*.wav")),
              QStringList{QStringLiteral("WAVEファイル (*.wav)")});
    EXPECT_EQ(CommonDialog::nameFilters(QStringLiteral("音|*.wav;*.wave|全て|*.*")),
              (QStringList{QStringLiteral("音 (*.wav *.wave)"), QStringLiteral("全て (*.*)")}));
}

TEST(FileDialogSeam, CancelIsAnErrorAndTheLastNameIsOfferedAgain) {
    using toolkit::CommonDialog;
    CommonDialog dialog;
    dialog.CancelError = true;
    std::vector<CommonDialog::Request> seen;
    std::optional<QString> answer = QStringLiteral("/tmp/a.wav");
    CommonDialog::setSeam([&](const CommonDialog::Request& r) {
        seen.push_back(r);
        return answer;
    });
    dialog.Filter = QStringLiteral("WAVEファイル (*.wav)|*.wav");
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName, QStringLiteral("/tmp/a.wav"));
    answer.reset();
    EXPECT_THROW(dialog.ShowSave(), toolkit::CancelError);
    EXPECT_EQ(dialog.FileName, QStringLiteral("/tmp/a.wav"));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].mode, CommonDialog::Mode::Save);
    EXPECT_EQ(seen[1].fileName, QStringLiteral("/tmp/a.wav"));
    CommonDialog::setSeam({});
}

// Answers the next modal dialog from the event loop.
template <typename F> void whenModal(F answer) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(w);
        }
    });
    timer->start(20);
}

TEST(RealDialogs, TheMessageBoxSpeaksJapaneseUnderTheProgramsTitle) {
    QString caption, yes, no;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_TRUE(box);
        caption = box->windowTitle();
        yes = box->button(QMessageBox::Yes)->text();
        no = box->button(QMessageBox::No)->text();
        box->button(QMessageBox::No)->click();
    });
    const auto answer = toolkit::MsgBox(QStringLiteral("一行目\r\n二行目"), toolkit::MsgButtons::YesNo,
                                        toolkit::MsgIcon::Question);
    EXPECT_EQ(answer, toolkit::MsgAnswer::No);
    EXPECT_EQ(caption, QStringLiteral("ピコタ"));
    EXPECT_TRUE(yes.contains(QStringLiteral("はい"))) << yes.toStdString();
    EXPECT_TRUE(no.contains(QStringLiteral("いいえ"))) << no.toStdString();
}

TEST(RealDialogs, TheSaveDialogNeverAsksItsOwnOverwriteQuestion) {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("old.wav"));
    std::ofstream(existing.toStdString()) << "x";
    toolkit::CommonDialog dialog;
    dialog.CancelError = true;
    dialog.Filter = QStringLiteral("ウェーブファイル (*.wav)|*.wav");
    dialog.FileName = dir.filePath(QStringLiteral("offered.wav"));
    QString offered;
    whenModal([&](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_TRUE(fd);
        auto* edit = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(edit);
        offered = edit->text();
        edit->setText(existing);
        QMetaObject::invokeMethod(fd, "accept");
    });
    dialog.ShowSave();
    EXPECT_EQ(offered, QStringLiteral("offered.wav"));
    EXPECT_EQ(dialog.FileName, existing);
}

// Qt reads quotes in the name field as a list of names; a name typed with a quote must reach the
// caller exactly as typed, not as another file in the dialog's folder.
TEST(RealDialogs, ANameWithADoubleQuoteComesBackExactlyAsTyped) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    const QString typed = dir.filePath(QStringLiteral("elsewhere/ab\"cd.wav"));
    toolkit::CommonDialog dialog;
    dialog.CancelError = true;
    for (const QString& text : {typed, QStringLiteral("ab\"cd.wav")}) {
        dialog.FileName = dir.filePath(QStringLiteral("sub/offered.wav"));
        whenModal([&](QWidget* w) {
            auto* fd = qobject_cast<QFileDialog*>(w);
            ASSERT_TRUE(fd);
            fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(text);
            QMetaObject::invokeMethod(fd, "accept");
        });
        dialog.ShowSave();
        EXPECT_EQ(dialog.FileName, text == typed ? typed : dir.filePath(QStringLiteral("sub/") + text));
    }
}

} // namespace
