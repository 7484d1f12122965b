// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRect>

namespace pikota::toolkit {

// Layout positions and sizes are in twips, 1/1440 inch: 15 to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

// A rectangle given in twips as left, top, width and height, in pixels.
inline QRect twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel};
}

} // namespace pikota::toolkit
