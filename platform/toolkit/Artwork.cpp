// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/toolkit/Artwork.h"

#include <QPainter>

#include <cmath>

namespace pikota::toolkit {

namespace {

const QColor kButtonFace(240, 234, 218);

QImage blank(int width, int height, const QColor& color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

void fill(QImage& image, int left, int top, int right, int bottom, const QColor& color) {
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            image.setPixelColor(x, y, color);
}

// The 16-colour palette's colours that the icon uses.
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kSilver(192, 192, 192);
const QColor kGrey(128, 128, 128);
const QColor kDarkGreen(0, 128, 0);

} // namespace

QImage PlayImage() {
    QImage image = blank(9, 14, kButtonFace);
    const int widths[] = {2, 3, 4, 5, 6, 6, 5, 4, 3, 2};
    for (int row = 2; row <= 11; ++row)
        fill(image, 2, row, 2 + widths[row - 2] - 1, row, Qt::black);
    return image;
}

QImage PauseImage() {
    QImage image = blank(10, 14, kButtonFace);
    fill(image, 2, 2, 3, 11, Qt::black);
    fill(image, 6, 2, 7, 11, Qt::black);
    return image;
}

QImage StopImage() {
    QImage image = blank(13, 14, kButtonFace);
    fill(image, 2, 2, 10, 11, Qt::black);
    return image;
}

QImage DisabledImage(const QImage& image) {
    QImage result = image;
    for (int y = 0; y < result.height(); ++y)
        for (int x = 0; x < result.width(); ++x)
            if (result.pixelColor(x, y) == QColor(Qt::black))
                result.setPixelColor(x, y, kGrey);
    return result;
}

QImage ScaledArt(const QImage& art, qreal ratio) {
    const QSize size(qRound(art.width() * ratio), qRound(art.height() * ratio));
    if (size == art.size() || size.isEmpty())
        return art;
    QImage result(size, art.format());
    for (int y = 0; y < size.height(); ++y) {
        const int from = (2 * y + 1) * art.height() / (2 * size.height());
        for (int x = 0; x < size.width(); ++x)
            result.setPixel(x, y, art.pixel((2 * x + 1) * art.width() / (2 * size.width()), from));
    }
    return result;
}

QImage AppIconImage(int size) {
    // Drawn on a 32-pixel grid; the small icon uses the same plan at half scale.
    const bool small = size < 32;
    const int s = small ? 16 : 32;
    QImage image(s, s, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    auto px = [&](int v) { return small ? v / 2 : v; };

    // Bezel: silver body with a white upper-left and grey lower-right edge.
    fill(image, 0, px(2), s - 1, s - 1 - px(2), kSilver);
    fill(image, 0, px(2), s - 1, px(2), kWhite);
    fill(image, 0, px(2), 0, s - 1 - px(2), kWhite);
    fill(image, 0, s - 1 - px(2), s - 1, s - 1 - px(2), kGrey);
    fill(image, s - 1, px(2), s - 1, s - 1 - px(2), kGrey);

    // Screen, with a dark green dotted grid.
    const int left = px(3), top = px(5), right = px(25), bottom = px(25);
    fill(image, left - 1, top - 1, right + 1, top - 1, kGrey);
    fill(image, left - 1, top - 1, left - 1, bottom + 1, kGrey);
    fill(image, left, top, right, bottom, kBlack);
    const int step = small ? 3 : 4;
    for (int y = top + step / 2; y <= bottom; y += step)
        for (int x = left + 1; x <= right; x += 2)
            image.setPixelColor(x, y, kDarkGreen);
    for (int x = left + step / 2; x <= right; x += step)
        for (int y = top + 1; y <= bottom; y += 2)
            image.setPixelColor(x, y, kDarkGreen);

    // A white wave across the screen.
    const double mid = (top + bottom) / 2.0;
    const double amp = (bottom - top) / 2.0 - (small ? 1 : 2);
    int lastY = -1;
    for (int x = left; x <= right; ++x) {
        const double phase = (x - left) * 2.0 * M_PI / (right - left) * 1.5;
        const int y = static_cast<int>(std::lround(mid - amp * std::sin(phase)));
        if (lastY >= 0)
            fill(image, x, std::min(y, lastY), x, std::max(y, lastY), kWhite);
        else
            image.setPixelColor(x, y, kWhite);
        lastY = y;
    }

    // Two knobs beside the screen.
    fill(image, px(27), px(7), px(29), px(9), kGrey);
    fill(image, px(27), px(13), px(29), px(15), kGrey);
    fill(image, px(27), px(20), px(29), px(22), kBlack);
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(AppIconImage(16)));
    icon.addPixmap(QPixmap::fromImage(AppIconImage(32)));
    return icon;
}

QImage MagnifierImage(int size) {
    const bool small = size < 32;
    const int s = small ? 16 : 32;
    QImage image(s, s, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    // The lens is centred on the hot spot.
    const double cx = small ? 7 : 9, cy = small ? 7 : 8;
    const double outer = small ? 5.5 : 7.5, rim = small ? 3.5 : 5.5, inner = small ? 2.5 : 4.5;
    for (int y = 0; y < s; ++y) {
        for (int x = 0; x < s; ++x) {
            const double d = std::hypot(x - cx, y - cy);
            if (d > outer)
                continue;
            if (d > outer - 1.0 || (d <= rim && d > inner))
                image.setPixelColor(x, y, kBlack);
            else if (d > rim)
                image.setPixelColor(x, y, kWhite);
        }
    }
    // The handle, toward the lower right.
    const int from = small ? 11 : 15, to = small ? 14 : 22, thick = small ? 2 : 3;
    for (int i = from; i <= to; ++i)
        for (int t = 0; t < thick; ++t)
            image.setPixelColor(i + t - (small ? 0 : 1), i - (small ? 0 : 1), kBlack);
    return image;
}

QCursor MagnifierCursor() { return QCursor(QPixmap::fromImage(MagnifierImage(32)), 9, 8); }

} // namespace pikota::toolkit
