// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/toolkit/PictureButton.h"

#include "platform/toolkit/Artwork.h"
#include "platform/toolkit/DevicePixels.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace pikota::toolkit {

namespace {

// Draws pixel art centred on a point given in logical pixels, at the painter's device pixels.
void drawArtCentred(QPainter& painter, const QImage& art, QPointF centre) {
    const QImage scaled = ScaledArt(art, painter.device()->devicePixelRatioF());
    const QPointF at = painter.deviceTransform().map(centre);
    const QPoint topLeft(qRound(at.x() - scaled.width() / 2.0), qRound(at.y() - scaled.height() / 2.0));
    PaintInDevicePixels(painter);
    painter.drawImage(topLeft, scaled);
}

} // namespace

PictureButton::PictureButton(const QImage& art, QWidget* parent)
    : QPushButton(parent), art_(art), disabled_(DisabledImage(art)) {
    QIcon icon(QPixmap::fromImage(art_));
    icon.addPixmap(QPixmap::fromImage(disabled_), QIcon::Disabled);
    setIcon(icon);
    setIconSize(art_.size());
}

void PictureButton::paintEvent(QPaintEvent* event) {
    // At one device pixel to a logical one Qt shows the icon one to one. On a scaled screen it would
    // fit the art into whole logical pixels and stretch it, so the button draws it itself.
    if (devicePixelRatioF() == 1)
        return QPushButton::paintEvent(event);
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);
    QRectF contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (option.state & (QStyle::State_On | QStyle::State_Sunken))
        contents.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    drawArtCentred(painter, isEnabled() ? art_ : disabled_, contents.center());
}

ArtPicture::ArtPicture(const QImage& art, QWidget* parent) : QWidget(parent), art_(art) {
    resize(art.size());
}

void ArtPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawArtCentred(painter, art_, QRectF(rect()).center());
}

} // namespace pikota::toolkit
