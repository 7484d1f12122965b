// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>

namespace pikota::toolkit {
class LineShape;
class PictureBox;
} // namespace pikota::toolkit
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
struct Track;
struct TrackSound;

// One track's controls, as the window lays them out. The window owns the widgets;
// this only names them, so that one body serves both tracks.
struct TrackControls {
    QGroupBox* frame = nullptr;
    pikota::toolkit::PictureBox* box = nullptr; // the waveform box
    pikota::toolkit::LineShape* linPosition = nullptr;
    QLabel* lblTime = nullptr;
    QTimer* tmrPosition = nullptr;
    QTimer* tmrRecord = nullptr;    // the live view while the track records
    QTimer* tmrOverview = nullptr;  // a long file's drawing while its overview is made
    QPushButton* cmdRoad = nullptr; // load
    QPushButton* cmdSave = nullptr; // prepare a recording
    QPushButton* cmdRec = nullptr;  // start the recording
    QPushButton* cmdPlay = nullptr;
    QPushButton* cmdPause = nullptr;
    QPushButton* cmdStop = nullptr;
    QColor color;
};

// Play, Stop and Pause of the track.
void DisableTransport(const TrackControls& ui);
void EnableTransport(const TrackControls& ui);
// Both ends of the position line to x.
void MovePositionLine(const TrackControls& ui, double x);
// Every sample of both arrays to 0.
void ClearSamples(TrackSound& track);
