#pragma once

#include <QLabel>

namespace pikota::toolkit {

// A label that wraps its lines at blanks, as labels of the program always have:
// a number stays together with the unit that follows it ("1.5秒"), where Qt's own
// line breaking would put the unit alone on the next line.
class Label : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace pikota::toolkit
