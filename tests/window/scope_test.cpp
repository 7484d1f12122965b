// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The scope box: clicks into the waveform boxes, clearing, and the trace routines, on a real main window.
#include "platform/toolkit/PictureBox.h"
#include "scope/Scope.h"
#include "tests/support/WindowTest.h"
#include "track/LoadedFile.h"

#include <QAction>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <set>
#include <utility>

#include <unistd.h>

namespace toolkit = pikota::toolkit;

namespace {

const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kRed = qRgb(255, 0, 0);

// One polyline as the scope box recorded it: a dot, then lines on from it.
struct Trace {
    QRgb colour = 0;
    std::vector<QPointF> points;
};

std::vector<Trace> traces(const toolkit::PictureBox& box) {
    std::vector<Trace> out;
    for (const toolkit::PictureBox::Op& op : box.drawing()) {
        if (op.kind == toolkit::PictureBox::Op::Point) {
            out.push_back({op.color, {op.to}});
            continue;
        }
        EXPECT_FALSE(out.empty()) << "a line before any dot";
        if (out.empty())
            return out;
        EXPECT_EQ(op.color, out.back().colour);
        EXPECT_EQ(op.from, out.back().points.back()) << "a line that does not start where the last ended";
        out.back().points.push_back(op.to);
    }
    return out;
}

// The trace shows samples first, first + 1, ... at x = 0, 1, ...
void expectSamples(const Trace& trace, QRgb colour, const SampleArray& samples, int first, std::size_t count,
                   int x0 = 0) {
    EXPECT_EQ(trace.colour, colour);
    ASSERT_EQ(trace.points.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        const QPointF expected(x0 + static_cast<double>(i), samples[first + i]);
        ASSERT_EQ(trace.points[i], expected) << "point " << i;
    }
}

void expectScale(const toolkit::PictureBox& box, double width, double top, double bottom) {
    EXPECT_EQ(box.scaleLeft(), 0.0);
    EXPECT_EQ(box.scaleWidth(), width);
    EXPECT_EQ(box.scaleTop(), top);
    EXPECT_EQ(box.scaleHeight(), bottom - top);
}

class ScopeView : public pikota::test::WindowTest {
protected:
    // What a load leaves in a track, without a file: every sample tells its own index.
    static void fill(Track& t, std::int32_t rate, int bits, int sign) {
        t.waveFormat.wFormatTag = 1;
        t.waveFormat.nChannels = 1;
        t.waveFormat.nSamplesPerSec = rate;
        t.waveFormat.wBitsPerSample = static_cast<std::int16_t>(bits);
        t.FullScale = 1 << bits;
        for (std::size_t k = 0; k < t.LeftSamples->size(); ++k)
            (*t.LeftSamples)[k] = static_cast<std::int16_t>(bits == 8 ? k % 256 : sign * int(k % 32768));
        t.HasWaveform = true;
    }
    void click1(float x) { form->Picture1_MouseDown(Qt::LeftButton, {}, x, 0); }
    void click3(float x) { form->Picture3_MouseDown(Qt::LeftButton, {}, x, 0); }
};

TEST_F(ScopeView, ClickOverlaysTheOtherTrackUnderTheClickedOne) {
    fill(form->track1, 44100, 16, 1);
    fill(form->track2, 44100, 16, -1);
    click3(5000);
    form->tmrPosition1->start();
    form->tmrPosition2->start();

    click1(1000.4f);
    EXPECT_FALSE(form->tmrPosition1->isActive());
    EXPECT_TRUE(form->tmrPosition2->isActive()) << "the other track's timer is left alone";
    EXPECT_EQ(form->linPosition1->X1(), double(1000.4f));
    EXPECT_EQ(form->linPosition1->X2(), double(1000.4f));
    EXPECT_EQ(form->track1.Cursor, 1000.4f);
    EXPECT_EQ(form->linPosition2->X1(), 5000.0);
    expectScale(*form->Picture2, 882, 32768, -32768);
    const auto t = traces(*form->Picture2);
    ASSERT_EQ(t.size(), 2u);
    expectSamples(t[0], kRed, *form->track2.LeftSamples, 5000, 883);
    expectSamples(t[1], kBlue, *form->track1.LeftSamples, 1000, 883);

    // The twin: a click into track 2's box puts red on top.
    click3(7000);
    const auto u = traces(*form->Picture2);
    ASSERT_EQ(u.size(), 2u);
    expectSamples(u[0], kBlue, *form->track1.LeftSamples, 1000, 883);
    expectSamples(u[1], kRed, *form->track2.LeftSamples, 7000, 883);
    EXPECT_FALSE(form->tmrPosition2->isActive());
}

TEST_F(ScopeView, StartsRoundToTheNearestSampleWithHalvesToEven) {
    fill(form->track1, 44100, 16, 1);
    // Every point of a start on a half lies on a half: 2.5, 3.5, 4.5, 5.5 ...
    const std::pair<float, std::vector<double>> halves[] = {{2.5f, {2, 4, 4, 6, 6}}, {3.5f, {4, 4, 6, 6, 8}}};
    for (const auto& [start, first] : halves) {
        click1(start);
        const auto t = traces(*form->Picture2).at(0);
        ASSERT_EQ(t.points.size(), 883u);
        for (std::size_t i = 0; i < first.size(); ++i)
            EXPECT_EQ(t.points[i], QPointF(double(i), first[i])) << "start " << start << ", point " << i;
    }

    // The start is single precision and so is each sum: just below 3.5, the 1000th point
    // lands exactly on 803.5 and goes to 804, where a double sum would give 803.
    click1(std::nextafter(3.5f, 0.0f));
    const auto t = traces(*form->Picture2).at(0);
    EXPECT_EQ(t.points[0].y(), 3);
    EXPECT_EQ(t.points[800].y(), 804);

    // 11025 Hz: a box 220.5 wide, 221 points.
    fill(form->track1, 11025, 16, 1);
    click1(100);
    expectScale(*form->Picture2, 220.5, 32768, -32768);
    expectSamples(traces(*form->Picture2).at(0), kBlue, *form->track1.LeftSamples, 100, 221);
    // The last point, at 220, stays half a sample short of the right edge, off the last column.
    const QImage& canvas = form->Picture2->canvas();
    const int end = static_cast<int>(form->Picture2->toPixel({220, 0}).x());
    EXPECT_EQ(end, canvas.width() - 3); // 752 * 220 / 220.5 = 750.3 of columns 0 to 752
    std::set<int> blueColumns;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if ((canvas.pixel(x, y) | 0xff000000) == kBlue)
                blueColumns.insert(x);
    EXPECT_EQ(*blueColumns.rbegin(), end);
}

TEST_F(ScopeView, TheBoxSpansTheClickedTracksWindowWhateverTheOthersRate) {
    fill(form->track1, 22050, 16, 1);
    fill(form->track2, 44100, 16, -1);
    click3(300);
    click1(100);
    expectScale(*form->Picture2, 441, 32768, -32768);
    auto t = traces(*form->Picture2);
    ASSERT_EQ(t.size(), 2u);
    expectSamples(t[0], kRed, *form->track2.LeftSamples, 300, 883); // runs on past the right edge
    expectSamples(t[1], kBlue, *form->track1.LeftSamples, 100, 442);

    click3(300);
    expectScale(*form->Picture2, 882, 32768, -32768);
    t = traces(*form->Picture2);
    ASSERT_EQ(t.size(), 2u);
    expectSamples(t[0], kBlue, *form->track1.LeftSamples, 100, 442); // fills the left half
    expectSamples(t[1], kRed, *form->track2.LeftSamples, 300, 883);
}

TEST_F(ScopeView, TheVerticalRangeFollowsTheLargerFullScale) {
    fill(form->track1, 8000, 8, 1);
    click1(10);
    expectScale(*form->Picture2, 160, 256, 0);
    expectSamples(traces(*form->Picture2).at(0), kBlue, *form->track1.LeftSamples, 10, 161);

    fill(form->track2, 44100, 16, -1);
    click1(10);
    expectScale(*form->Picture2, 160, 32768, -32768);
    click3(20);
    expectScale(*form->Picture2, 882, 32768, -32768);
    const auto t = traces(*form->Picture2);
    ASSERT_EQ(t.size(), 2u);
    expectSamples(t[0], kBlue, *form->track1.LeftSamples, 10, 161); // 0 to 255, just above the middle
}

TEST_F(ScopeView, AClickAtZeroClearsTheClickedTracksCursor) {
    fill(form->track1, 22050, 16, 1);
    fill(form->track2, 44100, 16, -1);
    click1(600);
    click3(5000);
    click1(0);
    EXPECT_EQ(form->linPosition1->X1(), 0.0);
    EXPECT_EQ(form->linPosition1->X2(), 0.0);
    EXPECT_EQ(form->track1.Cursor, 0.0f);
    expectScale(*form->Picture2, 441, 32768, -32768);
    const auto t = traces(*form->Picture2);
    ASSERT_EQ(t.size(), 1u);
    expectSamples(t[0], kRed, *form->track2.LeftSamples, 5000, 883);
}

TEST_F(ScopeView, AClickBeforeALoadChangesNothing) {
    fill(form->track2, 44100, 16, -1);
    form->track1.HasWaveform = false;
    click3(5000);
    form->tmrPosition1->start();
    const auto before = form->Picture2->drawing().size();

    click1(1234);
    EXPECT_EQ(form->linPosition1->X1(), 0.0);
    EXPECT_EQ(form->linPosition1->X2(), 0.0);
    EXPECT_EQ(form->track1.Cursor, 0.0f);
    EXPECT_TRUE(form->tmrPosition1->isActive());
    EXPECT_EQ(form->Picture2->drawing().size(), before);
    expectScale(*form->Picture2, 882, 32768, -32768);
}

TEST_F(ScopeView, AnyButtonWithAnyModifiersClicksAtTheSampleUnderTheMouse) {
    // A real load: the plot gives the box its scale and the load sets the flag.
    std::vector<std::int16_t> ramp(100000);
    for (std::size_t k = 0; k < ramp.size(); ++k)
        ramp[k] = static_cast<std::int16_t>(k / 4);
    load(form->cmdRoad1, file(QStringLiteral("ramp.wav"), pikota::test::Pcm16(1, 44100, ramp)));
    ASSERT_TRUE(form->track1.HasWaveform);

    const int px = form->Picture1->width() / 3;
    const float X = static_cast<float>(double(px) * form->track1.SampleLimit / (form->Picture1->width() - 1));
    const std::pair<Qt::MouseButton, Qt::KeyboardModifiers> presses[] = {
        {Qt::LeftButton, Qt::NoModifier},
        {Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier},
        {Qt::MiddleButton, Qt::AltModifier}};
    for (const auto& [button, modifiers] : presses) {
        form->Picture2->cls();
        form->track1.Cursor = 0;
        QTest::mouseClick(form->Picture1, button, modifiers, QPoint(px, 5));
        EXPECT_EQ(form->track1.Cursor, X) << "button " << button;
        EXPECT_EQ(form->linPosition1->X1(), double(X));
        const auto t = traces(*form->Picture2);
        ASSERT_EQ(t.size(), 1u);
        expectSamples(t[0], kBlue, *form->track1.LeftSamples, static_cast<int>(std::nearbyint(X)), 883);
        EXPECT_EQ(t[0].points[0].y(), int(std::nearbyint(X)) / 4) << "the file's own samples";
    }
    // The last column is the last sample.
    QTest::mouseClick(form->Picture1, Qt::LeftButton, {}, QPoint(form->Picture1->width() - 1, 5));
    EXPECT_EQ(form->track1.Cursor, float(form->track1.SampleLimit));
}

// Every key of a focused waveform box does what a click at the frame it moves the cursor to does, with no
// file, loaded, playing and recording; a screen reader is told where the cursor stands, in seconds.
TEST_F(ScopeView, KeysInAWaveformBoxDoWhatAClickThereDoes) {
    const QString path =
        file(QStringLiteral("ramp.wav"), pikota::test::Pcm16(1, 44100, std::vector<std::int16_t>(44100, 3)));
    const std::vector<std::pair<const char*, std::function<void()>>> states = {
        {"no file", [] {}},
        {"loaded", [&] { load(form->cmdRoad1, path); }},
        {"playing",
         [&] {
             load(form->cmdRoad1, path);
             click(form->cmdPlay1);
         }},
        {"recording",
         [&] {
             load(form->cmdRoad1, path);
             click(form->cmdSave1);
             click(form->cmdRec1);
         }},
    };
    struct Key {
        int key;
        Qt::KeyboardModifiers modifiers;
        double
            to; // where the cursor goes from 3000, in columns (c) and tenths (t) of the file: to + c*C + t*T
        double columns, tenths;
    };
    const Key keys[] = {{Qt::Key_Left, {}, 3000, -1, 0},
                        {Qt::Key_Right, {}, 3000, 1, 0},
                        {Qt::Key_Left, Qt::ShiftModifier, 3000, 0, -1},
                        {Qt::Key_Right, Qt::ShiftModifier, 3000, 0, 1},
                        {Qt::Key_PageUp, {}, 3000, 0, -1},
                        {Qt::Key_PageDown, {}, 3000, 0, 1},
                        {Qt::Key_Home, {}, 0, 0, 0},
                        {Qt::Key_End, {}, 44100, 0, 0},
                        {Qt::Key_Return, {}, 3000, 0, 0},
                        {Qt::Key_Space, {}, 3000, 0, 0}};
    struct Seen {
        float cursor;
        double line;
        std::vector<QPointF> scope;
        bool timer;
        pikota::test::Commands commands;
        double told;
        bool operator==(const Seen&) const = default;
    };
    const auto seen = [&] {
        std::vector<QPointF> scope;
        for (const auto& op : form->Picture2->drawing())
            scope.push_back(op.to);
        return Seen{form->track1.Cursor,
                    form->linPosition1->X1(),
                    scope,
                    form->tmrPosition1->isActive(),
                    take(),
                    form->Picture1->accessibleValue().value_or(toolkit::PictureBox::AccessibleValue{}).value};
    };
    for (const auto& [state, entry] : states) {
        const std::function<void()>& enter = entry; // clang 14 cannot capture a structured binding
        for (const Key& k : keys) {
            SCOPED_TRACE(std::string(state) + ", key " + std::to_string(k.key));
            const auto fresh = [&] {
                form = std::make_unique<frmMain>();
                enter();
                form->track1.Cursor = 3000;
                take();
            };
            fresh();
            const double column = 44100.0 / (form->Picture1->deviceSize().width() - 1);
            const auto to =
                static_cast<float>(std::clamp(k.to + k.columns * column + k.tenths * 4410, 0.0, 44100.0));
            QTest::keyClick(form->Picture1, static_cast<Qt::Key>(k.key), k.modifiers);
            const Seen byKey = seen();
            fresh();
            form->Picture1_MouseDown(Qt::LeftButton, {}, to, 0);
            const Seen byClick = seen();
            EXPECT_EQ(byKey, byClick);
            EXPECT_EQ(byKey.cursor, std::string(state) == "no file" ? 3000 : to);
        }
    }
}

TEST_F(ScopeView, ClearingEmptiesTheBoxAndTakesCursorsAndLinesBackToZero) {
    fill(form->track1, 44100, 16, 1);
    fill(form->track2, 22050, 16, -1);
    click1(1000);
    click3(2000);
    form->tmrPosition2->start();

    for (int round = 0; round < 2; ++round) {
        if (round == 0)
            form->mnuEditClear->trigger();
        else
            form->cmdClear->click();
        EXPECT_TRUE(form->Picture2->drawing().empty());
        EXPECT_EQ(form->track1.Cursor, 0.0f);
        EXPECT_EQ(form->track2.Cursor, 0.0f);
        for (const toolkit::LineShape* line : {form->linPosition1, form->linPosition2}) {
            EXPECT_EQ(line->X1(), 0.0);
            EXPECT_EQ(line->X2(), 0.0);
        }
        expectScale(*form->Picture2, 441, 32768, -32768); // the scale stays
        EXPECT_TRUE(form->tmrPosition2->isActive());
        EXPECT_TRUE(form->track1.HasWaveform && form->track2.HasWaveform);
    }

    click1(1500);
    const auto t = traces(*form->Picture2);
    ASSERT_EQ(t.size(), 1u);
    expectSamples(t[0], kBlue, *form->track1.LeftSamples, 1500, 883);
}

TEST_F(ScopeView, TracesStayInsideTheSampleBuffer) {
    fill(form->track1, 44100, 16, 1);
    click1(499500.4f);
    auto t = traces(*form->Picture2);
    ASSERT_EQ(t.size(), 1u);
    expectSamples(t[0], kBlue, *form->track1.LeftSamples, 499500, 501); // ends at index 500000
    click1(500000);
    expectSamples(traces(*form->Picture2).at(0), kBlue, *form->track1.LeftSamples, 500000, 1);
    click1(500000.6f); // nearest is past the end: nothing left to draw
    EXPECT_TRUE(form->Picture2->drawing().empty());

    // A start before the first sample begins the trace at the first one, further right.
    form->Picture2->cls();
    DrawScopeTrace(*form->Picture2, *form->track1.LeftSamples, -10.6f, 882, QColor(kBlue));
    t = traces(*form->Picture2);
    ASSERT_EQ(t.size(), 1u);
    expectSamples(t[0], kBlue, *form->track1.LeftSamples, 0, 872, 11);
    form->Picture2->cls();
    DrawScopeTrace(*form->Picture2, *form->track1.LeftSamples, NAN, 882, QColor(kBlue));
    EXPECT_TRUE(form->Picture2->drawing().empty());
}

// A long file cut short while it is loaded (its overview maybe still in the making): the scope shows what
// can still be read and nothing past it, a file put in its place changes nothing that is shown, and the
// next load works.
TEST_F(ScopeView, ALongFileCutShortShowsWhatCanStillBeRead) {
    std::vector<std::int16_t> samples(600000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(i % 1000);
    const QString path = file(QStringLiteral("long.wav"), pikota::test::Pcm16(1, 44100, samples));
    form->OpenFiles({path});
    ASSERT_EQ(::truncate(path.toLocal8Bit().constData(), 44 + 2 * 550000), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->ui1.tmrOverview->isActive(); }, 10000));

    click1(549500.4f);
    auto t = traces(*form->Picture2);
    ASSERT_EQ(t.size(), 1u);
    ASSERT_EQ(t[0].points.size(), 500u); // to the end of what is left
    EXPECT_EQ(t[0].points[0], QPointF(0, 500));
    click1(560000);
    EXPECT_TRUE(form->Picture2->drawing().empty());

    // Replaced by another file of that name, as an editor saves: what was loaded is still what is read.
    const QString other = file(QStringLiteral("other.wav"),
                               pikota::test::Pcm16(1, 44100, std::vector<std::int16_t>(700000, 7)));
    ASSERT_EQ(std::rename(other.toLocal8Bit().constData(), path.toLocal8Bit().constData()), 0);
    click1(1000);
    EXPECT_EQ(traces(*form->Picture2).at(0).points[0], QPointF(0, 0));
    form->OpenFiles({path});
    EXPECT_EQ(form->track1.File->frames(), 700000);
    click1(1000);
    EXPECT_EQ(traces(*form->Picture2).at(0).points[0], QPointF(0, 7));
}

TEST_F(ScopeView, ABoxOfNoWidthOrHeightStaysBlank) {
    const auto blank = [&] {
        const QImage& c = form->Picture2->canvas();
        for (int y = 0; y < c.height(); ++y)
            for (int x = 0; x < c.width(); ++x)
                if (c.pixel(x, y) != qRgb(255, 255, 255))
                    return false;
        return true;
    };
    fill(form->track1, 44100, 16, 1);
    fill(form->track2, 44100, 16, -1);
    form->track1.waveFormat.nSamplesPerSec = 0; // W = 0
    click1(100);
    EXPECT_FALSE(form->Picture2->drawing().empty());
    EXPECT_TRUE(blank());

    form->track1 = Track(); // a track loaded without ever reading a format: F = 0
    form->track2.FullScale = 0;
    form->track1.HasWaveform = true;
    click3(100);
    click1(100);
    EXPECT_TRUE(blank());
}

TEST_F(ScopeView, GuideLinesStayAboveWhateverIsDrawnOrErased) {
    const QImage empty = form->Picture2->grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::set<std::pair<int, int>> guide;
    for (int y = 0; y < empty.height(); ++y)
        for (int x = 0; x < empty.width(); ++x)
            if (empty.pixel(x, y) == qRgb(0, 0, 0))
                guide.insert({x, y});
    ASSERT_GT(guide.size(), std::size_t(empty.width())) << "the three guide lines are drawn";

    // Full-range square waves cross every row of the box in every column.
    for (Track* t : {&form->track1, &form->track2}) {
        fill(*t, 44100, 16, 1);
        for (std::size_t k = 0; k < t->LeftSamples->size(); ++k)
            (*t->LeftSamples)[k] = k % 2 ? 32767 : -32768;
    }
    click1(100);
    click3(201);
    const QImage drawn = form->Picture2->grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::size_t covered = 0; // guide pixels that the kept drawing paints over
    for (const auto& [x, y] : guide)
        covered += std::size_t(form->Picture2->canvas().pixel(x, y) != qRgb(255, 255, 255));
    EXPECT_GT(covered, guide.size() / 2);
    for (const auto& [x, y] : guide)
        ASSERT_EQ(drawn.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;

    form->cmdClear->click();
    EXPECT_EQ(form->Picture2->grab().toImage().convertToFormat(QImage::Format_RGB32), empty);
}

} // namespace
