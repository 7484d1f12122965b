// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/TrackControls.h"

#include "platform/toolkit/PictureBox.h"
#include "track/Track.h"

#include <QPushButton>

namespace toolkit = pikota::toolkit;

void DisableTransport(const TrackControls& ui) {
    ui.cmdPlay->setEnabled(false);
    ui.cmdStop->setEnabled(false);
    ui.cmdPause->setEnabled(false);
}

void EnableTransport(const TrackControls& ui) {
    ui.cmdPlay->setEnabled(true);
    ui.cmdStop->setEnabled(true);
    ui.cmdPause->setEnabled(true);
}

void MovePositionLine(const TrackControls& ui, double x) {
    ui.linPosition->setX1(x);
    ui.linPosition->setX2(x);
}

void ClearSamples(TrackSound& track) {
    track.LeftSamples->fill(0);
    track.RightSamples->fill(0);
}
