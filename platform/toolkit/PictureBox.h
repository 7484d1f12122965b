// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/toolkit/Twips.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace pikota::toolkit {

class PictureBox;

// A straight line shape that lies above a picture box's drawing. Its ends are
// given in the box's user units but kept on the screen where they were put:
// a new scale of the box does not move the line until X1 or X2 is set again.
class LineShape {
public:
    void setX1(double x);
    void setX2(double x);
    double X1() const { return x1_; }
    double X2() const { return x2_; }
    double Y1() const { return y1_; }
    double Y2() const { return y2_; }
    // Where the ends stand now, in the box's logical pixels.
    QPointF pixelFrom() const { return from_; }
    QPointF pixelTo() const { return to_; }
    Qt::PenStyle style() const { return style_; }
    int width() const { return width_; }
    QColor color() const { return color_; }

private:
    friend class PictureBox;
    LineShape(PictureBox& box, double x1, double y1, double x2, double y2, Qt::PenStyle style, int width,
              QColor color);

    PictureBox& box_;
    double x1_, y1_, x2_, y2_;
    QPointF from_, to_;
    Qt::PenStyle style_;
    int width_;
    QColor color_;
};

// A drawing surface with a user coordinate scale, points and lines one device pixel
// wide drawn from the current drawing position, and a kept drawing that survives
// being covered. The drawing is kept and painted in the screen's own pixels, so that
// a scaled screen (a device pixel ratio of 1.25, 1.5, 2, ...) shows thin, even
// strokes, never enlarged or smoothed ones; at a ratio of 1 a device pixel is a
// logical one.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    // One drawing operation as it was made, in the user units of its time.
    struct Op {
        enum Kind : unsigned char { Point, Line };
        Kind kind;
        QRgb color;
        QPointF from; // equal to `to` for a point
        QPointF to;
        int scale; // index into the scales the box has had since the last erase
    };

    explicit PictureBox(QWidget* parent = nullptr);
    ~PictureBox() override;

    void setBackColor(const QColor& color);
    QColor backColor() const { return back_; }

    // (x1, y1) is the upper-left corner, (x2, y2) the lower-right one; y2 below
    // y1 makes y grow upwards. Until the first call the unit is the twip.
    void setScale(double x1, double y1, double x2, double y2);
    double scaleLeft() const { return scale_.x1; }
    double scaleTop() const { return scale_.y1; }
    double scaleWidth() const;
    double scaleHeight() const;

    // Removes all drawing; the background, the scale and the line shapes stay.
    void cls();
    // Sets one pixel; the point becomes the current drawing position.
    void pset(double x, double y, const QColor& color);
    // The same as pset for every point in turn, painted in one pass.
    void psetBatch(std::span<const QPointF> points, const QColor& color);
    // Draws from the current drawing position to (x, y), which becomes current.
    void lineTo(double x, double y, const QColor& color);
    // The same as lineTo for every point in turn, painted in one pass.
    void lineToBatch(std::span<const QPointF> points, const QColor& color);
    // Vertical lines one device pixel wide, one in each device pixel column of the box from the left: the
    // i-th column from the low to the high value of ranges[i], where top lies on the first row and bottom
    // on the last; a range whose low is above its high leaves its column empty. The box's user scale stays
    // as it was, and so does the current drawing position.
    void drawColumns(std::span<const std::pair<double, double>> ranges, double top, double bottom,
                     const QColor& color);
    QPointF currentPosition() const { return current_; }

    // Everything drawn since the last erase, oldest first.
    const std::vector<Op>& drawing() const { return ops_; }
    // The kept drawing as it stands, one pixel to a device pixel of the box on the screen.
    const QImage& canvas() const { return canvas_; }
    // The box's size in device pixels where it stands in its window: its edges fall on the
    // device pixels nearest to them, as the window's own painting clips it.
    QSize deviceSize() const;

    // A line shape above the drawing, ends in the current user units.
    LineShape& addLine(double x1, double y1, double x2, double y2, Qt::PenStyle style = Qt::SolidLine,
                       int width = 1, QColor color = Qt::black);
    const std::vector<std::unique_ptr<LineShape>>& lines() const { return lines_; }

    // From user units to the box's logical pixels and back; a mouse position maps through the pixel
    // under it.
    QPointF toPixel(QPointF user) const;
    QPointF toUser(QPointF pixel) const;

    // What a screen reader is told the box holds: a position from 0 to `maximum`, as a slider holds one.
    // A box that is given none is a picture. Each change is told to the screen reader.
    struct AccessibleValue {
        double value = 0;
        double maximum = 0;
        bool operator==(const AccessibleValue&) const = default;
    };
    void setAccessibleValue(const AccessibleValue& value);
    const std::optional<AccessibleValue>& accessibleValue() const { return accessibleValue_; }

    // Files dragged onto the box: a drag of one local file is taken when `accepts`
    // says yes to its path, asked as the drag enters, moves and drops, and the drop
    // emits fileDropped. Without a filter (the default) the box takes no drops.
    using DropFilter = std::function<bool(const QString& path)>;
    void setDropFilter(DropFilter accepts);

signals:
    // A mouse button went down: which one, the modifier keys, and the point in user units.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, float x, float y);
    // A local file was dropped onto the box and the drop filter took it.
    void fileDropped(const QString& path);
    // A key that moves through the box went down while it had the keyboard's focus: an arrow key, Home, End,
    // Page Up or Down, Enter or Space, with the modifier keys held.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    // The box's size in device pixels changed (it was resized, or its window went to a screen of another
    // pixel ratio). What was drawn is mapped to the new pixels; whoever drew one line per device column
    // draws it again for the new columns.
    void deviceSizeChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // While the box has the keyboard's focus, a mark beside it says so, outside its own pixels.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    friend class LineShape;
    struct Scale {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        bool twips = true; // the scale before any is set: 15 twips to a pixel from the top-left
        bool operator==(const Scale&) const = default;
    };
    int useScale();
    // From user units of one scale to the pixels of an image of the given size that covers a box of
    // the given logical size: x1 on the first pixel column and x2 on the last, y1 on the first row and
    // y2 on the last, so that what stands at a corner of the scale is seen in the box. Twips count
    // logical pixels, stretched so that the last logical pixel is the last one of the image too. A
    // scale of zero width or height maps to infinity or NaN; such points are not drawn.
    class Mapper {
    public:
        Mapper(const Scale& s, QSize logical, QSize image);
        QPointF operator()(QPointF user) const {
            if (twips_)
                return fromLogical(user / kTwipsPerPixel);
            // Multiplied before dividing, so that x2 and y2 land on the last pixel exactly.
            return {(user.x() - x1_) * lastX_ / spanX_, (user.y() - y1_) * lastY_ / spanY_};
        }
        // A point in the box's logical pixels, in the image's.
        QPointF fromLogical(QPointF p) const { return {p.x() * perLogicalX_, p.y() * perLogicalY_}; }

    private:
        bool twips_;
        double x1_, y1_, spanX_, spanY_, lastX_, lastY_, perLogicalX_, perLogicalY_;
    };
    // Fills the kept image anew at the box's device size; true when that size changed.
    bool rebuildCanvas();
    // Draws ops_[first] and every op after it into an image that covers the box.
    void renderOps(QImage& image, std::size_t first) const;
    // Repaints the strip of the box that a line shape from a to b covers.
    void updateLine(QPointF a, QPointF b, int width);
    // The dragged file's path when the drop filter takes it, else empty.
    QString acceptedFile(const QDropEvent& event) const;

    QColor back_;
    Scale scale_;
    std::vector<Scale> scales_; // the scales in use by ops_
    std::vector<Op> ops_;
    QPointF current_;
    QImage canvas_;
    std::vector<std::unique_ptr<LineShape>> lines_;
    DropFilter dropFilter_;
    std::optional<AccessibleValue> accessibleValue_;
    QWidget* focusMark_ = nullptr; // a sibling, made at the first focus
    void placeFocusMark();
};

} // namespace pikota::toolkit
