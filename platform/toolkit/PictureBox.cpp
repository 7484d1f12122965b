// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/toolkit/PictureBox.h"

#include "platform/toolkit/DevicePixels.h"
#include "platform/toolkit/PictureBoxAccessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <optional>

namespace pikota::toolkit {

namespace {

bool finite(QPointF p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// The pixel that a point in pixel coordinates falls on.
QPoint pixelOf(QPointF p) {
    // Far-off points are clipped, but kept in a range that integer arithmetic handles exactly.
    constexpr double far = 1e6;
    // A hair below a whole pixel is that pixel: rounding must not move a point off the last column.
    constexpr double hair = 1e-6;
    return {static_cast<int>(std::floor(std::clamp(p.x() + hair, -far, far))),
            static_cast<int>(std::floor(std::clamp(p.y() + hair, -far, far)))};
}

void plot(QImage& image, int x, int y, QRgb rgb) {
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = rgb;
}

// a / b rounded down, for b > 0.
qint64 floorDiv(qint64 a, qint64 b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// A line one pixel wide from a to b, both ends included: in each column (each row, for a steep line) the
// pixel nearest the line, halves toward larger coordinates. Only the steps inside the image are taken.
void rasterLine(QImage& image, QPoint a, QPoint b, QRgb rgb) {
    const bool steep = std::abs(b.y() - a.y()) > std::abs(b.x() - a.x());
    const qint64 major0 = steep ? a.y() : a.x();
    const qint64 minor0 = steep ? a.x() : a.y();
    const qint64 dMajor = steep ? b.y() - a.y() : b.x() - a.x();
    const qint64 dMinor = steep ? b.x() - a.x() : b.y() - a.y();
    const qint64 n = std::abs(dMajor);
    if (n == 0) {
        plot(image, a.x(), a.y(), rgb);
        return;
    }
    const qint64 step = dMajor > 0 ? 1 : -1;
    const qint64 last = (steep ? image.height() : image.width()) - 1;
    const qint64 from = std::max<qint64>(0, step > 0 ? -major0 : major0 - last);
    const qint64 to = std::min<qint64>(n, step > 0 ? last - major0 : major0);
    for (qint64 i = from; i <= to; ++i) {
        const auto major = static_cast<int>(major0 + step * i);
        const auto minor = static_cast<int>(minor0 + floorDiv(2 * i * dMinor + n, 2 * n));
        if (steep)
            plot(image, minor, major, rgb);
        else
            plot(image, major, minor, rgb);
    }
}

} // namespace

LineShape::LineShape(PictureBox& box, double x1, double y1, double x2, double y2, Qt::PenStyle style,
                     int width, QColor color)
    : box_(box), x1_(x1), y1_(y1), x2_(x2), y2_(y2), from_(box.toPixel({x1, y1})), to_(box.toPixel({x2, y2})),
      style_(style), width_(width), color_(color) {}

// Only where the line was and where it is now are painted again.
void LineShape::setX1(double x) {
    box_.updateLine(from_, to_, width_);
    x1_ = x;
    from_.setX(box_.toPixel({x, 0}).x());
    box_.updateLine(from_, to_, width_);
}

void LineShape::setX2(double x) {
    box_.updateLine(from_, to_, width_);
    x2_ = x;
    to_.setX(box_.toPixel({x, 0}).x());
    box_.updateLine(from_, to_, width_);
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), back_(palette().color(QPalette::Button)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    InstallPictureBoxAccessibility();
}

PictureBox::~PictureBox() = default;

double PictureBox::scaleWidth() const {
    return scale_.twips ? width() * kTwipsPerPixel : scale_.x2 - scale_.x1;
}

double PictureBox::scaleHeight() const {
    return scale_.twips ? height() * kTwipsPerPixel : scale_.y2 - scale_.y1;
}

void PictureBox::setBackColor(const QColor& color) {
    back_ = color;
    rebuildCanvas();
    update();
}

void PictureBox::setScale(double x1, double y1, double x2, double y2) { scale_ = {x1, y1, x2, y2, false}; }

PictureBox::Mapper::Mapper(const Scale& s, QSize logical, QSize image)
    : twips_(s.twips), x1_(s.x1), y1_(s.y1), spanX_(s.x2 - s.x1), spanY_(s.y2 - s.y1),
      lastX_(std::max(image.width() - 1, 0)), lastY_(std::max(image.height() - 1, 0)),
      perLogicalX_(logical.width() > 1 ? lastX_ / (logical.width() - 1) : 1.0),
      perLogicalY_(logical.height() > 1 ? lastY_ / (logical.height() - 1) : 1.0) {}

QPointF PictureBox::toPixel(QPointF user) const { return Mapper(scale_, size(), size())(user); }

QSize PictureBox::deviceSize() const {
    const qreal ratio = devicePixelRatioF();
    const QPoint at = mapTo(window(), QPoint(0, 0));
    const auto edge = [ratio](int logical) { return qRound(logical * ratio); };
    return {edge(at.x() + width()) - edge(at.x()), edge(at.y() + height()) - edge(at.y())};
}

QPointF PictureBox::toUser(QPointF pixel) const {
    if (scale_.twips)
        return pixel * kTwipsPerPixel;
    const double w = scale_.x2 - scale_.x1;
    const double h = scale_.y2 - scale_.y1;
    return {scale_.x1 + (width() > 1 ? pixel.x() * w / (width() - 1) : 0.0),
            scale_.y1 + (height() > 1 ? pixel.y() * h / (height() - 1) : 0.0)};
}

void PictureBox::cls() {
    ops_.clear();
    scales_.clear();
    current_ = {0, 0};
    rebuildCanvas();
    update();
}

int PictureBox::useScale() {
    if (scales_.empty() || !(scales_.back() == scale_))
        scales_.push_back(scale_);
    return static_cast<int>(scales_.size()) - 1;
}

void PictureBox::pset(double x, double y, const QColor& color) {
    const QPointF point(x, y);
    psetBatch({&point, 1}, color);
}

void PictureBox::psetBatch(std::span<const QPointF> points, const QColor& color) {
    if (points.empty())
        return;
    const int s = useScale();
    const QRgb rgb = color.rgb();
    const std::size_t first = ops_.size();
    if (ops_.capacity() < first + points.size())
        ops_.reserve(std::max(first + points.size(), 2 * ops_.capacity()));
    ops_.resize(first + points.size());
    std::transform(points.begin(), points.end(), ops_.begin() + std::ptrdiff_t(first), [rgb, s](QPointF p) {
        return Op{Op::Point, rgb, p, p, s};
    });
    current_ = points.back();
    renderOps(canvas_, first);
    update();
}

void PictureBox::lineTo(double x, double y, const QColor& color) {
    const QPointF point(x, y);
    lineToBatch({&point, 1}, color);
}

void PictureBox::lineToBatch(std::span<const QPointF> points, const QColor& color) {
    if (points.empty())
        return;
    const int s = useScale();
    const QRgb rgb = color.rgb();
    const std::size_t first = ops_.size();
    for (const QPointF& p : points) {
        ops_.push_back({Op::Line, rgb, current_, p, s});
        current_ = p;
    }
    renderOps(canvas_, first);
    update();
}

void PictureBox::drawColumns(std::span<const std::pair<double, double>> ranges, double top, double bottom,
                             const QColor& color) {
    // The lines have a scale of their own, one unit to a device column, which the box's next drawing
    // operation leaves again for the user's.
    const int width = deviceSize().width();
    scales_.push_back({0, top, static_cast<double>(std::max(width - 1, 1)), bottom, false});
    const int s = static_cast<int>(scales_.size()) - 1;
    const std::size_t first = ops_.size();
    const QRgb rgb = color.rgb();
    const std::size_t columns = std::min(ranges.size(), static_cast<std::size_t>(std::max(width, 0)));
    for (std::size_t x = 0; x < columns; ++x) {
        const auto [low, high] = ranges[x];
        if (low <= high)
            ops_.push_back({Op::Line, rgb, QPointF(double(x), low), QPointF(double(x), high), s});
    }
    renderOps(canvas_, first);
    update();
}

void PictureBox::updateLine(QPointF a, QPointF b, int width) {
    if (!finite(a) || !finite(b))
        return update();
    const int margin = width + 1;
    update(QRectF(pixelOf(a), pixelOf(b))
               .normalized()
               .toAlignedRect()
               .adjusted(-margin, -margin, margin, margin));
}

void PictureBox::renderOps(QImage& image, std::size_t first) const {
    if (image.isNull())
        return;
    // Ops of one batch share their scale: the mapping is made once for a run of them.
    int scale = -1;
    std::optional<Mapper> map;
    for (std::size_t i = first; i < ops_.size(); ++i) {
        const Op& op = ops_[i];
        if (op.scale != scale) {
            scale = op.scale;
            map.emplace(scales_[static_cast<std::size_t>(scale)], size(), image.size());
        }
        const QPointF to = (*map)(op.to);
        if (!finite(to))
            continue;
        const QPoint end = pixelOf(to);
        if (op.kind == Op::Point) {
            plot(image, end.x(), end.y(), op.color);
            continue;
        }
        const QPointF from = (*map)(op.from);
        if (finite(from))
            rasterLine(image, pixelOf(from), end, op.color);
    }
}

bool PictureBox::rebuildCanvas() {
    const QSize device = deviceSize();
    if (device.isEmpty()) {
        const bool resized = !canvas_.isNull();
        canvas_ = QImage();
        return resized;
    }
    // The image is kept while the box keeps its size: erasing happens ten times a second while a
    // track plays.
    const bool resized = canvas_.size() != device;
    if (resized)
        canvas_ = QImage(device, QImage::Format_RGB32);
    canvas_.fill(back_);
    renderOps(canvas_, 0);
    return resized;
}

LineShape& PictureBox::addLine(double x1, double y1, double x2, double y2, Qt::PenStyle style, int width,
                               QColor color) {
    lines_.push_back(std::unique_ptr<LineShape>(new LineShape(*this, x1, y1, x2, y2, style, width, color)));
    update();
    return *lines_.back();
}

void PictureBox::paintEvent(QPaintEvent*) {
    // The screen's pixel ratio may have changed (the window went to another screen).
    if (canvas_.size() != deviceSize() && rebuildCanvas())
        emit deviceSizeChanged();
    QPainter painter(this);
    // Everything is painted in device pixels, from the device pixel where the window's painting
    // clips the box: one image pixel to one device pixel, so nothing is scaled or smoothed.
    const QRect area = DeviceRect(painter, rect());
    const QSize device = area.size();
    // Painted into something other than the screen (a grab into an image whose pixels lie otherwise):
    // the drawing is made afresh at that size.
    QImage elsewhere;
    if (device != canvas_.size() && !device.isEmpty()) {
        elsewhere = QImage(device, QImage::Format_RGB32);
        elsewhere.fill(back_);
        renderOps(elsewhere, 0);
    }
    const QImage& image = elsewhere.isNull() ? canvas_ : elsewhere;
    PaintInDevicePixels(painter, area.topLeft());
    painter.drawImage(0, 0, image);
    // A line shape covers the same pixels as a point at its ends would: Qt draws a line one pixel wide
    // on the pixel right of and below whole coordinates. Its dots are device pixels too, so a dotted
    // line has the same even period at every ratio.
    const Mapper map(scale_, size(), image.size());
    for (const auto& line : lines_) {
        // A line put where a scale of no width or height has no place (0 / 0) is not drawn.
        const QPointF from = map.fromLogical(line->pixelFrom()), to = map.fromLogical(line->pixelTo());
        if (!finite(from) || !finite(to))
            continue;
        painter.setPen(QPen(line->color(), line->width(), line->style(), Qt::FlatCap));
        painter.drawLine(QPointF(pixelOf(from)), QPointF(pixelOf(to)));
    }
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    // The pixel under the pointer, so that the last column gives x2 at any pixel ratio.
    const QPointF at = event->position();
    const QPointF user = toUser({std::floor(at.x()), std::floor(at.y())});
    emit mouseDown(event->button(), event->modifiers(), static_cast<float>(user.x()),
                   static_cast<float>(user.y()));
}

void PictureBox::setDropFilter(DropFilter accepts) {
    dropFilter_ = std::move(accepts);
    setAcceptDrops(static_cast<bool>(dropFilter_));
}

QString PictureBox::acceptedFile(const QDropEvent& event) const {
    const QMimeData* data = event.mimeData();
    // The file is only read, so the drop is taken as a copy: a move would let the
    // file manager delete it.
    if (!dropFilter_ || !data || !data->hasUrls() || !(event.possibleActions() & Qt::CopyAction))
        return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return {};
    const QString path = urls.front().toLocalFile();
    return dropFilter_(path) ? path : QString();
}

void PictureBox::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void PictureBox::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptedFile(*event).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void PictureBox::dropEvent(QDropEvent* event) {
    const QString path = acceptedFile(*event);
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit fileDropped(path);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeFocusMark();
    if (rebuildCanvas())
        emit deviceSizeChanged();
}

void PictureBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        emit keyDown(event->key(), event->modifiers());
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void PictureBox::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (!focusMark_ && parentWidget()) {
        focusMark_ = new QWidget(parentWidget());
        focusMark_->setAttribute(Qt::WA_TransparentForMouseEvents);
        focusMark_->setAutoFillBackground(true);
        QPalette marked = focusMark_->palette();
        marked.setColor(QPalette::Window, palette().color(QPalette::Highlight));
        focusMark_->setPalette(marked);
        placeFocusMark();
    }
    if (focusMark_)
        focusMark_->show();
}

void PictureBox::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (focusMark_)
        focusMark_->hide();
}

void PictureBox::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    placeFocusMark();
}

void PictureBox::placeFocusMark() {
    // Three pixels wide, one pixel left of the box, as high as the box: in the margin around it.
    if (focusMark_)
        focusMark_->setGeometry(x() - 4, y(), 3, height());
}

void PictureBox::setAccessibleValue(const AccessibleValue& value) {
    if (accessibleValue_ == value)
        return;
    accessibleValue_ = value;
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, value.value);
        QAccessible::updateAccessibility(&changed);
    }
}

} // namespace pikota::toolkit
