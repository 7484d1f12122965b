// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLabel>
#include <QPixmap>

namespace pikota::toolkit {

// A label that wraps its lines at blanks, as labels of the program always have:
// a number stays together with the unit that follows it ("1.5秒"), where Qt's own
// line breaking would put the unit alone on the next line.
//
// It paints over a copy of what its parent shows behind it, made once, instead of
// having the parent paint that again at every change of its text: a label that
// counts the seconds of a recording changes ten times a second, and a group box
// costs more to paint than the text.
class Label : public QLabel {
    Q_OBJECT

public:
    explicit Label(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    QPixmap behind_;
};

} // namespace pikota::toolkit
