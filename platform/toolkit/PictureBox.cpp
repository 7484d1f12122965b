#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <cmath>

namespace {

constexpr double kTwipsPerPixel = 15.0;

bool finite(QPointF p) {
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// The pixel that a point in logical coordinates falls on, as the centre of that pixel.
QPointF pixelCentre(QPointF p) {
    return {std::floor(p.x()) + 0.5, std::floor(p.y()) + 0.5};
}

} // namespace

LineShape::LineShape(PictureBox& box, double x1, double y1, double x2, double y2, Qt::PenStyle style,
                     int width, QColor color)
    : box_(box), x1_(x1), y1_(y1), x2_(x2), y2_(y2), from_(box.toPixel({x1, y1})), to_(box.toPixel({x2, y2})),
      style_(style), width_(width), color_(color) {}

void LineShape::setX1(double x) {
    x1_ = x;
    from_.setX(box_.toPixel({x, 0}).x());
    box_.update();
}

void LineShape::setX2(double x) {
    x2_ = x;
    to_.setX(box_.toPixel({x, 0}).x());
    box_.update();
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), back_(palette().color(QPalette::Button)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
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

void PictureBox::setScale(double x1, double y1, double x2, double y2) {
    scale_ = {x1, y1, x2, y2, false};
}

QPointF PictureBox::map(const Scale& s, QSize size, QPointF user) {
    if (s.twips)
        return user / kTwipsPerPixel;
    // A scale of zero width or height maps to infinity or NaN; such points are not drawn.
    return {(user.x() - s.x1) * (size.width() / (s.x2 - s.x1)),
            (user.y() - s.y1) * (size.height() / (s.y2 - s.y1))};
}

QPointF PictureBox::toPixel(QPointF user) const {
    return map(scale_, size(), user);
}

QPointF PictureBox::toUser(QPointF pixel) const {
    if (scale_.twips)
        return pixel * kTwipsPerPixel;
    const double w = scale_.x2 - scale_.x1;
    const double h = scale_.y2 - scale_.y1;
    return {scale_.x1 + (width() > 0 ? pixel.x() / width() * w : 0.0),
            scale_.y1 + (height() > 0 ? pixel.y() / height() * h : 0.0)};
}

void PictureBox::cls() {
    ops_.clear();
    scales_.clear();
    current_ = {0, 0};
    rebuildCanvas();
    update();
}

void PictureBox::record(const Op& op) {
    ops_.push_back(op);
    if (canvas_.isNull())
        return;
    QPainter painter(&canvas_);
    paintOp(painter, ops_.back());
}

int PictureBox::useScale() {
    if (scales_.empty() || !(scales_.back() == scale_))
        scales_.push_back(scale_);
    return static_cast<int>(scales_.size()) - 1;
}

void PictureBox::pset(double x, double y, const QColor& color) {
    const int s = useScale();
    current_ = {x, y};
    record({Op::Point, color.rgb(), current_, current_, s});
    update();
}

void PictureBox::psetBatch(std::span<const QPointF> points, const QColor& color) {
    if (points.empty())
        return;
    const int s = useScale();
    const QRgb rgb = color.rgb();
    const std::size_t first = ops_.size();
    ops_.reserve(first + points.size());
    for (const QPointF& p : points)
        ops_.push_back({Op::Point, rgb, p, p, s});
    current_ = points.back();
    if (!canvas_.isNull()) {
        std::vector<QPointF> pixels;
        pixels.reserve(points.size());
        for (const QPointF& p : points) {
            const QPointF px = map(scale_, size(), p);
            if (finite(px))
                pixels.push_back(pixelCentre(px));
        }
        QPainter painter(&canvas_);
        painter.setPen(QPen(color, 1, Qt::SolidLine, Qt::SquareCap));
        painter.drawPoints(pixels.data(), static_cast<int>(pixels.size()));
    }
    update();
}

void PictureBox::lineTo(double x, double y, const QColor& color) {
    const int s = useScale();
    const QPointF from = current_;
    current_ = {x, y};
    record({Op::Line, color.rgb(), from, current_, s});
    update();
}

void PictureBox::paintOp(QPainter& painter, const Op& op) const {
    const Scale& s = scales_[static_cast<std::size_t>(op.scale)];
    const QPointF to = map(s, size(), op.to);
    if (!finite(to))
        return;
    painter.setPen(QPen(QColor::fromRgb(op.color), 1, Qt::SolidLine, Qt::SquareCap));
    if (op.kind == Op::Point) {
        painter.drawPoint(pixelCentre(to));
        return;
    }
    const QPointF from = map(s, size(), op.from);
    if (!finite(from))
        return;
    // Far-off ends are clipped by the painter, but keep them in a range it handles exactly.
    auto clamp = [](QPointF p) {
        constexpr double far = 1e6;
        return QPointF(std::clamp(p.x(), -far, far), std::clamp(p.y(), -far, far));
    };
    painter.drawLine(pixelCentre(clamp(from)), pixelCentre(clamp(to)));
}

void PictureBox::rebuildCanvas() {
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (pixels.isEmpty()) {
        canvas_ = QImage();
        return;
    }
    canvas_ = QImage(pixels, QImage::Format_RGB32);
    canvas_.setDevicePixelRatio(dpr);
    canvas_.fill(back_);
    QPainter painter(&canvas_);
    for (const Op& op : ops_)
        paintOp(painter, op);
}

LineShape& PictureBox::addLine(double x1, double y1, double x2, double y2, Qt::PenStyle style, int width,
                               QColor color) {
    lines_.push_back(std::unique_ptr<LineShape>(new LineShape(*this, x1, y1, x2, y2, style, width, color)));
    update();
    return *lines_.back();
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (canvas_.isNull() || canvas_.devicePixelRatio() != devicePixelRatioF() ||
        canvas_.deviceIndependentSize().toSize() != size())
        rebuildCanvas();
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), canvas_);
    for (const auto& line : lines_) {
        QPen pen(line->color(), line->width(), line->style(), Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(line->pixelFrom(), line->pixelTo());
    }
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    const QPointF user = toUser(event->position());
    emit mouseDown(event->button(), event->modifiers(), static_cast<float>(user.x()),
                   static_cast<float>(user.y()));
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    rebuildCanvas();
}
