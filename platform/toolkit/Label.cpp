// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/toolkit/Label.h"

#include "platform/toolkit/DevicePixels.h"

#include <QEvent>
#include <QPainter>
#include <QtMath>

namespace pikota::toolkit {

Label::Label(QWidget* parent) : QLabel(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void Label::paintEvent(QPaintEvent*) {
    // Only what is shown changes: a word joiner between a digit and the character
    // after it; text() stays as it was set.
    QString shown = text();
    for (qsizetype i = shown.size() - 1; i > 0; --i)
        if (shown[i - 1].isDigit() && !shown[i].isDigit() && !shown[i].isSpace() &&
            shown[i] != QLatin1Char('.'))
            shown.insert(i, QChar(0x2060));
    QPainter painter(this);
    // The device pixels the label covers, its edges rounded as the window rounds them: at a ratio of 1.25
    // or 1.5 that can be a pixel more than its size times the ratio.
    const QRect area = DeviceRect(painter, rect());
    if (behind_.isNull() || behind_.size() != area.size()) {
        // The parent's own painting of this place, without its children, to the last device pixel: the
        // place is taken a logical pixel larger than the label where its edges fall between pixels.
        const qreal ratio = devicePixelRatioF();
        behind_ = QPixmap(area.size());
        behind_.setDevicePixelRatio(ratio);
        behind_.fill(palette().color(QPalette::Window));
        if (QWidget* parent = parentWidget())
            parent->render(&behind_, {},
                           QRect(pos(), QSize(qCeil(area.width() / ratio), qCeil(area.height() / ratio))),
                           QWidget::DrawWindowBackground);
        behind_.setDevicePixelRatio(1); // from now on one pixel to one device pixel
    }
    painter.save();
    PaintInDevicePixels(painter, area.topLeft());
    painter.drawPixmap(0, 0, behind_);
    painter.restore();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextWordWrap, shown);
}

void Label::changeEvent(QEvent* event) {
    // What lies behind looks otherwise once the palette, the style or the enabled state changes.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::EnabledChange)
        behind_ = QPixmap();
    QLabel::changeEvent(event);
}

void Label::resizeEvent(QResizeEvent* event) {
    behind_ = QPixmap();
    QLabel::resizeEvent(event);
}

void Label::moveEvent(QMoveEvent* event) {
    behind_ = QPixmap();
    QLabel::moveEvent(event);
}

} // namespace pikota::toolkit
