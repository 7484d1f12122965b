// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QPushButton>
#include <QWidget>

namespace pikota::toolkit {

// A button that shows only a picture of pixel art, centred, and its disabled look with the figure in
// grey. On a scaled screen the art is drawn at the screen's own pixels (ScaledArt), never enlarged
// with smoothing.
class PictureButton : public QPushButton {
    Q_OBJECT

public:
    PictureButton(const QImage& art, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage art_;
    QImage disabled_;
};

// A picture of pixel art, sized to the art in logical pixels and drawn at the screen's own pixels.
class ArtPicture : public QWidget {
    Q_OBJECT

public:
    ArtPicture(const QImage& art, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage art_;
};

} // namespace pikota::toolkit
