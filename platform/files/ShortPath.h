// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

namespace pikota::files {

// The short form of a path: a name of the same file that can stand unquoted in a
// sound device command. A path that already can (absolute, no blank, no double
// quote, no control character, short enough) is its own short form; any other is
// given a symbolic link with a plain name in a private folder of this process,
// which is removed when the program ends.
//
// Writes the NUL-terminated result into `buffer` and returns its length. Returns
// the size needed (and writes nothing) when the buffer is too small, and 0 (and
// writes nothing) when the path names no existing file or no link can be made.
std::uint32_t GetShortPathName(const char* longPath, char* buffer, std::uint32_t size);

// Whether a text can stand as one unquoted word in a command.
bool IsPlainWord(const char* text);

} // namespace pikota::files
