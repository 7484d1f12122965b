// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/registry/Registry.h"

#include <QString>

// Reads one value of the registry as text into `KeyVal`: a string as it is, a
// 32-bit number in decimal; a value of another type leaves `KeyVal` as it was.
// False, with `KeyVal` emptied, when the key or the value cannot be read (a value
// longer than 1024 bytes included).
bool GetKeyValue(pikota::registry::HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                 QString& KeyVal);
