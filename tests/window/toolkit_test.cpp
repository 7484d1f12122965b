// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The drawing surface, line shapes, message boxes and the file dialog.
#include "platform/toolkit/Artwork.h"
#include "platform/toolkit/FileDialog.h"
#include "platform/toolkit/Label.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/PictureBox.h"
#include "platform/toolkit/PictureButton.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
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
#include <map>

namespace toolkit = pikota::toolkit;

namespace {

constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kBlack = 0xff000000;

// These tests run on screens of device pixel ratio 1, 1.25, 1.5 and 2 (QT_SCALE_FACTOR, see
// CMakeLists.txt); what they check holds at every ratio.
struct Box {
    QWidget window;
    toolkit::PictureBox* box = new toolkit::PictureBox(&window);
    explicit Box(int w = 101, int h = 51, QPoint at = {}) {
        box->setGeometry(QRect(at, QSize(w, h)));
        box->setBackColor(Qt::white);
        window.resize(at.x() + w, at.y() + h);
        window.show();
    }
    // The colour of a device pixel of the kept drawing.
    QRgb at(int x, int y) const { return box->canvas().pixel(x, y) | 0xff000000; }
    QRgb at(QPoint p) const { return at(p.x(), p.y()); }
    // The device pixel a user point falls on: the scale's left and top on the first column and row, its
    // right and bottom on the last.
    QPoint dev(QPointF user) const {
        const double x = (user.x() - box->scaleLeft()) * last() / box->scaleWidth();
        const double y = (user.y() - box->scaleTop()) * bottom() / box->scaleHeight();
        return {int(std::floor(x + 1e-6)), int(std::floor(y + 1e-6))};
    }
    int last() const { return box->canvas().width() - 1; }
    int bottom() const { return box->canvas().height() - 1; }
    int coloured() const {
        int n = 0;
        const QImage& c = box->canvas();
        for (int y = 0; y < c.height(); ++y)
            for (int x = 0; x < c.width(); ++x)
                n += (c.pixel(x, y) | 0xff000000) != kWhite;
        return n;
    }
};

double ratio() { return qApp->devicePixelRatio(); }

// The columns of one row of an image that hold a colour.
std::vector<int> columnsOf(const QImage& image, int y, QRgb colour) {
    std::vector<int> xs;
    for (int x = 0; x < image.width(); ++x)
        if ((image.pixel(x, y) | 0xff000000) == colour)
            xs.push_back(x);
    return xs;
}

TEST(PictureBoxScale, YGrowsUpwardsWhenTheBottomIsBelowTheTop) {
    Box b;
    b.box->setScale(0, 100, 1000, -100);
    EXPECT_EQ(b.box->toPixel({0, 100}), QPointF(0, 0));
    EXPECT_EQ(b.box->toPixel({1000, -100}), QPointF(100, 50));
    EXPECT_EQ(b.box->toPixel({500, 0}), QPointF(50, 25));
    EXPECT_EQ(b.box->toUser({50, 0}), QPointF(500, 100));

    // A point high in user units lands near the top.
    b.box->pset(500, 90, Qt::blue);
    EXPECT_EQ(b.dev({500, 90}), QPoint(b.last() / 2, qFloor(b.bottom() / 20.0 + 1e-6)));
    EXPECT_EQ(b.at(b.dev({500, 90})), kBlue);
    EXPECT_EQ(b.coloured(), 1);
}

// The kept drawing has the screen's pixels; what stands at x2 or y2 is seen in its last column or row,
// points and line shapes alike, and a click into the last logical column gives x2 as at a ratio of 1.
TEST(PictureBoxScale, TheLowerRightCornerIsTheLastDevicePixel) {
    Box b(753, 35);
    EXPECT_EQ(b.box->canvas().size(), QSize(qRound(753 * ratio()), qRound(35 * ratio())));
    toolkit::LineShape& line = b.box->addLine(0, 45, 0, 520); // in twips, as the layout puts it
    b.box->setScale(0, 32768, 500000, -32768);
    b.box->pset(500000, -32768, Qt::red);
    b.box->psetBatch(std::vector<QPointF>{{0, 32767}, {500000, 32767}}, Qt::blue);
    EXPECT_EQ(b.at(b.last(), b.bottom()), kRed);
    EXPECT_EQ(b.at(0, 0), kBlue);
    EXPECT_EQ(b.at(b.last(), 0), kBlue);
    EXPECT_EQ(b.coloured(), 3);

    line.setX1(500000);
    line.setX2(500000);
    const QImage shown = b.box->grab().toImage();
    ASSERT_EQ(shown.size(), b.box->canvas().size());
    EXPECT_EQ(columnsOf(shown, shown.height() / 2, kBlack), std::vector<int>{b.last()});

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
    for (int x = b.dev({10, 10}).x(); x < b.dev({20, 10}).x(); ++x)
        EXPECT_EQ(b.at(x, b.dev({10, 10}).y()), kRed) << x;
    EXPECT_EQ(b.at(b.dev({20, 20})), kBlue);
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
    const std::vector<int> black = columnsOf(shown, b.dev({2, 5}).y(), kBlack);
    ASSERT_EQ(black.size(), 1u);
    EXPECT_NEAR(black[0], 20 * ratio(), 1);
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

// The box as its window shows it, standing where its edges fall between device pixels at 1.25 and 1.5:
// only the colours drawn, every stroke one device pixel wide, x1 and x2 on the box's first and last
// device columns, a dotted guide at one even period, and a click giving the same user x as at a ratio of 1.
TEST(PictureBoxPixels, StrokesAreOneDevicePixelWideAtTheScreensRatio) {
    Box b(345, 41, QPoint(9, 7));
    b.box->addLine(0, 570, 344 * 15, 570, Qt::DotLine); // a guide across the box, below the position line
    toolkit::LineShape& position = b.box->addLine(0, 45, 0, 520);
    b.box->setScale(0, 100, 1000, -100);
    position.setX1(500);
    position.setX2(500);
    b.box->pset(0, 90, Qt::blue);
    b.box->pset(1000, 90, Qt::blue);
    b.box->pset(0, -50, Qt::red);
    b.box->lineTo(1000, -50, Qt::red);
    const QColor green(0, 128, 0);
    b.box->pset(0, 80, green);
    b.box->lineTo(1000, -30, green);

    const QImage window = b.window.grab().toImage();
    const auto edge = [](int logical) { return qRound(logical * ratio()); };
    const QRect area(QPoint(edge(9), edge(7)), QPoint(edge(9 + 345) - 1, edge(7 + 41) - 1));
    const QImage shown = window.copy(area);
    ASSERT_EQ(shown.size(), b.box->canvas().size());

    std::map<QRgb, std::vector<int>> perColumn; // how many pixels of a colour each column holds
    for (QRgb c : {kRed, green.rgb(), kBlack})
        perColumn[c].assign(std::size_t(shown.width()), 0);
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb c = shown.pixel(x, y) | 0xff000000;
            ASSERT_TRUE(c == kWhite || c == kBlue || perColumn.count(c)) << "smoothed at " << x << "," << y;
            if (perColumn.count(c))
                ++perColumn[c][std::size_t(x)];
        }
    // The flat red line and the slanting green one: one pixel in every column from the first to the last,
    // but where the position line stands above them.
    std::vector<int> once(std::size_t(shown.width()), 1);
    once[std::size_t(b.dev({500, 0}).x())] = 0;
    for (QRgb c : {kRed, green.rgb()})
        EXPECT_EQ(perColumn[c], once) << std::hex << c;
    EXPECT_EQ(columnsOf(shown, b.dev({0, 90}).y(), kBlue), (std::vector<int>{0, shown.width() - 1}));

    // The position line is one device column, the guide one device row of dots at an even period.
    const int guide = qFloor(38 * (shown.height() - 1) / 40.0 + 1e-6);
    std::vector<int> dots = columnsOf(shown, guide, kBlack);
    ASSERT_GT(dots.size(), std::size_t(shown.width() / 4));
    for (std::size_t i = 1; i < dots.size(); ++i)
        ASSERT_EQ(dots[i] - dots[i - 1], 3) << "dots at " << dots[i - 1] << " and " << dots[i];
    EXPECT_TRUE(columnsOf(shown, guide - 1, kBlack).empty());
    EXPECT_TRUE(columnsOf(shown, guide + 1, kBlack).empty());
    EXPECT_EQ(columnsOf(shown, shown.height() / 2, kBlack), std::vector<int>{b.dev({500, 0}).x()});

    QSignalSpy spy(b.box, &toolkit::PictureBox::mouseDown);
    for (int x : {0, 172, 344})
        QTest::mouseClick(b.box, Qt::LeftButton, {}, QPoint(x, 20));
    ASSERT_EQ(spy.count(), 3);
    EXPECT_FLOAT_EQ(spy[0][2].toFloat(), 0.0f);
    EXPECT_FLOAT_EQ(spy[1][2].toFloat(), float(172 * 1000.0 / 344));
    EXPECT_FLOAT_EQ(spy[2][2].toFloat(), 1000.0f);
}

// A label paints what its parent shows behind it to the last device pixel it covers: at 1.25 and 1.5 its
// edges fall between device pixels, and the window rounds each of them.
TEST(LabelPixels, WhatLiesBehindIsPaintedToTheLastDevicePixel) {
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    const QColor green(10, 200, 30);
    palette.setColor(QPalette::Window, green);
    window.setPalette(palette);
    auto* label = new toolkit::Label(&window);
    label->setGeometry(9, 7, 101, 21);
    label->setText(QStringLiteral("1"));
    window.resize(130, 40);
    window.show();
    const qreal ratio = window.devicePixelRatioF();
    QImage shown(QSize(qCeil(130 * ratio), qCeil(40 * ratio)), QImage::Format_RGB32);
    shown.fill(Qt::magenta); // what nobody painted
    shown.setDevicePixelRatio(ratio);
    window.render(&shown);
    // The label's right half holds no text: every device pixel of it is the parent's.
    for (int y = qRound(7 * ratio); y < qRound(28 * ratio); ++y)
        for (int x = qRound(60 * ratio); x < qRound(110 * ratio); ++x)
            ASSERT_EQ(shown.pixel(x, y), green.rgb()) << x << "," << y;
}

// Pixel art at a pixel ratio: whole ratios give square blocks, others blocks that differ by at most a pixel;
// every pixel is one of the art's, none a blend.
TEST(ArtworkScaling, EachPixelTakesTheArtPixelUnderItsCentre) {
    QImage art(4, 1, QImage::Format_RGB32);
    const char names[] = "ABCD";
    for (int x = 0; x < 4; ++x)
        art.setPixel(x, 0, qRgb(x * 60, 0, 0));
    const auto letters = [&](const QImage& image) {
        std::string s;
        for (int x = 0; x < image.width(); ++x)
            s += names[qRed(image.pixel(x, 0)) / 60];
        return s;
    };
    const std::pair<qreal, std::string> cases[] = {{1, "ABCD"},       {1.25, "ABCCD"}, {1.5, "ABBCDD"},
                                                   {1.75, "AABCCDD"}, {2, "AABBCCDD"}, {3, "AAABBBCCCDDD"}};
    for (const auto& [ratio, expected] : cases) {
        const QImage scaled = toolkit::ScaledArt(art, ratio);
        EXPECT_EQ(letters(scaled), expected) << ratio;
        EXPECT_EQ(scaled.height(), qRound(ratio)) << ratio;
    }
}

// A picture button shows its art at the screen's pixels, one to one: the art's own size times the ratio,
// only its two colours, as many black pixels as the scaled art has.
TEST(ArtworkScaling, PictureButtonsShowTheArtUnsmoothed) {
    const QRgb face = qRgb(240, 234, 218);
    for (const QImage& art : {toolkit::PlayImage(), toolkit::PauseImage(), toolkit::StopImage()}) {
        for (bool enabled : {true, false}) {
            QWidget window;
            toolkit::PictureButton button(art, &window);
            button.setGeometry(3, 5, 41, 25);
            button.setEnabled(enabled);
            window.show();
            const QImage shown = window.grab().toImage();
            QRect drawn;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    if ((shown.pixel(x, y) | 0xff000000) == (face | 0xff000000))
                        drawn |= QRect(x, y, 1, 1);
            const QImage expected = toolkit::ScaledArt(enabled ? art : toolkit::DisabledImage(art), ratio());
            ASSERT_EQ(drawn.size(), expected.size()) << "enabled " << enabled;
            EXPECT_EQ(shown.copy(drawn).convertToFormat(QImage::Format_RGB32), expected);
        }
    }
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

// Of a filter of several entries, the dialog offers the one chosen last with it; another filter has its
// own.
TEST(RealDialogs, TheEntryOfAFilterChosenLastIsOfferedAgain) {
    QTemporaryDir dir;
    const QString sound = dir.filePath(QStringLiteral("a.flac"));
    std::ofstream(sound.toStdString()) << "x";
    toolkit::CommonDialog dialog;
    dialog.CancelError = true;
    const QString two = QStringLiteral("WAVE (*.wav)|*.wav|音声 (*.wav *.flac)|*.wav;*.flac");
    const auto show = [&](const QString& filter, int choose) {
        dialog.Filter = filter;
        QString offered;
        whenModal([&](QWidget* w) {
            auto* fd = qobject_cast<QFileDialog*>(w);
            ASSERT_TRUE(fd);
            offered = fd->selectedNameFilter();
            auto* types = fd->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            ASSERT_TRUE(types);
            if (choose >= 0)
                types->setCurrentIndex(choose);
            fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(sound);
            QMetaObject::invokeMethod(fd, "accept");
        });
        dialog.ShowOpen();
        return offered;
    };
    EXPECT_EQ(show(two, 1), QStringLiteral("WAVE (*.wav)"));
    EXPECT_EQ(show(QStringLiteral("ウェーブファイル (*.wav)|*.wav"), -1),
              QStringLiteral("ウェーブファイル (*.wav)"));
    EXPECT_EQ(show(two, -1), QStringLiteral("音声 (*.wav *.flac)"));
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
