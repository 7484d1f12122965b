// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "track/Track.h"

#include <QColor>

#include <cstdint>

namespace pikota::toolkit {
class PictureBox;
}
struct TrackControls;

// The scope box shows W samples across and the full range of F vertically, larger
// values higher: 256 (8-bit data, stored unsigned) gives 256 at the top and 0 at the
// bottom, anything else +F/2 at the top and -F/2 at the bottom. Neither erases nor draws.
void SetScopeScale(pikota::toolkit::PictureBox& box, double W, std::int32_t F);

// One track's trace: the samples nearest to S, S + 1, ... S + floor(W), one horizontal
// unit apart from x = 0, as a dot followed by lines from the current drawing position.
// Points whose sample index falls outside the array are left out, so a trace near the
// end of a full buffer stops at the last sample.
void DrawScopeTrace(pikota::toolkit::PictureBox& box, const SampleArray& samples, float S, double W,
                    const QColor& colour);

// One track's trace from wherever its sound is: its arrays, as DrawScopeTrace draws them from S taken to
// single precision; or a long file itself, floor(W) + 1 frames one after the other from the one nearest
// to S, as far as the file holds them now.
void DrawTrackTrace(pikota::toolkit::PictureBox& box, const Track& track, double S, double W,
                    const QColor& colour);

// A click at X into the waveform box of track n (controls uin); m is the other track.
// Sets n's cursor and position line and redraws the scope box with 20 ms of both
// tracks from their cursors, n's trace on top. Ignored while n has no waveform.
void ScopeClick(Track& n, const TrackControls& uin, const Track& m, const TrackControls& uim,
                pikota::toolkit::PictureBox& scope, float X);

// A key pressed in the waveform box of track n: the cursor moves as a click there would move it, and does
// what that click does. ← and → move it by the frames of one device column of the box, with Shift by a
// tenth of the file, as Page Up and Page Down do; Home and End take it to the first and the last frame;
// Enter and Space click where it stands. Ignored, as a click is, while n has no waveform.
void CursorKey(Track& n, const TrackControls& uin, const Track& m, const TrackControls& uim,
               pikota::toolkit::PictureBox& scope, int key, Qt::KeyboardModifiers modifiers);

// Empties the scope box and takes both cursors and position lines back to 0.
void ClearScope(pikota::toolkit::PictureBox& scope, Track& track1, const TrackControls& ui1, Track& track2,
                const TrackControls& ui2);
