#include "platform/toolkit/Label.h"

#include <QPainter>

namespace pikota::toolkit {

void Label::paintEvent(QPaintEvent*) {
    // Only what is shown changes: a word joiner between a digit and the character
    // after it; text() stays as it was set.
    QString shown = text();
    for (qsizetype i = shown.size() - 1; i > 0; --i)
        if (shown[i - 1].isDigit() && !shown[i].isDigit() && !shown[i].isSpace() &&
            shown[i] != QLatin1Char('.'))
            shown.insert(i, QChar(0x2060));
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextWordWrap, shown);
}

} // namespace pikota::toolkit
