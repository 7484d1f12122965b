// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPainter>
#include <QRect>

namespace pikota::toolkit {

// Where a rectangle of a widget's logical pixels lies in the device pixels that a painter paints: its
// edges rounded to the nearest device pixel, as the window's own painting clips a widget there. On a
// screen of pixel ratio 1.25 a widget 101 pixels wide at x = 9 covers device columns 11 to 137.
QRect DeviceRect(const QPainter& painter, const QRect& logical);

// From here on the painter draws in device pixels, with (0, 0) at the given device pixel: an image
// drawn at a whole point is copied one pixel to one pixel, neither scaled nor smoothed.
void PaintInDevicePixels(QPainter& painter, QPoint origin = {});

} // namespace pikota::toolkit
