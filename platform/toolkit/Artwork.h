// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>

namespace pikota::toolkit {

// The three transport images, exactly as drawn pixel by pixel.
QImage PlayImage();
QImage PauseImage();
QImage StopImage();
// The same image as a disabled button shows it: the black figure in grey.
QImage DisabledImage(const QImage& image);

// Pixel art for a screen of the given device pixel ratio: an image of the art's size times
// the ratio, rounded, in which each pixel takes the colour of the art's pixel under its
// centre. At a whole ratio every art pixel becomes a square block; at 1.25, 1.5 or 1.75
// the blocks differ by at most one pixel. Nothing is ever smoothed.
QImage ScaledArt(const QImage& art, qreal ratio);
// The oscilloscope: 16 colours, 32 by 32 or 16 by 16 pixels.
QImage AppIconImage(int size);
QIcon AppIcon();

// The magnifier pointer of the waveform boxes, 32 by 32 (hot spot 9, 8) or
// 16 by 16 (hot spot 7, 7); transparent pixels have alpha 0.
QImage MagnifierImage(int size);
QCursor MagnifierCursor();

} // namespace pikota::toolkit
