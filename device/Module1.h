// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <cstdint>

namespace pikota::sound {
class SoundService;
}

// The program's one door to the sound device. The device is set once at start
// (tests put a fake or a virtual device there); it is not owned here.
void SetSoundService(pikota::sound::SoundService* service);

// Sends one command. Returns the device's code (0 is success); `reply` gets the
// device's reply on success and the device's error text on failure.
std::int32_t SendMciCommand(const QString& command, QString& reply);

// The number that the leading characters of a device reply spell ("1234", " 2.5ms"), read with "." as
// the point whatever the locale; 0 when the reply does not begin with a number.
double LeadingValue(const QString& text);

// A name of the file that can stand unquoted in a command; empty when the path
// names no existing file.
QString GetShortPath(const QString& path);
