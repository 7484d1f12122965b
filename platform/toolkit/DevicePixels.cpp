// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/toolkit/DevicePixels.h"

namespace pikota::toolkit {

QRect DeviceRect(const QPainter& painter, const QRect& logical) {
    const QRectF area = painter.deviceTransform().mapRect(QRectF(logical));
    const QPoint from(qRound(area.left()), qRound(area.top()));
    return {from, QPoint(qRound(area.right()), qRound(area.bottom())) - QPoint(1, 1)};
}

void PaintInDevicePixels(QPainter& painter, QPoint origin) {
    // The device transform maps the widget's logical pixels to device pixels (offset and ratio); its
    // inverse undoes that, and the translation puts the origin in place.
    painter.setWorldTransform(QTransform::fromTranslate(origin.x(), origin.y()) *
                              painter.deviceTransform().inverted());
}

} // namespace pikota::toolkit
