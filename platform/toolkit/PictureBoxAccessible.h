// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace pikota::toolkit {

// Tells Qt's accessibility how to present a PictureBox to a screen reader: a box that holds a position is a
// slider whose value is that position, any other a picture; each with its name and description. Done once,
// whatever the number of calls.
void InstallPictureBoxAccessibility();

} // namespace pikota::toolkit
