#include "platform/toolkit/Label.h"

#include <QEvent>
#include <QPainter>

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
    const qreal ratio = devicePixelRatioF();
    if (behind_.isNull() || behind_.devicePixelRatio() != ratio) {
        // The parent's own painting of this place, without its children.
        behind_ = QPixmap(size() * ratio);
        behind_.setDevicePixelRatio(ratio);
        if (QWidget* parent = parentWidget())
            parent->render(&behind_, {}, geometry(), QWidget::DrawWindowBackground);
        else
            behind_.fill(palette().color(QPalette::Window));
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, behind_);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextWordWrap, shown);
}

void Label::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
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
