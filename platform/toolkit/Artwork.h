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

// The oscilloscope: 16 colours, 32 by 32 or 16 by 16 pixels.
QImage AppIconImage(int size);
QIcon AppIcon();

// The magnifier pointer of the waveform boxes, 32 by 32 (hot spot 9, 8) or
// 16 by 16 (hot spot 7, 7); transparent pixels have alpha 0.
QImage MagnifierImage(int size);
QCursor MagnifierCursor();

} // namespace pikota::toolkit
