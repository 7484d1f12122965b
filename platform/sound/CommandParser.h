// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/Errors.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pikota::sound {

// One command of the device's vocabulary, and nothing else:
//   close A
//   open new type waveaudio alias A
//   open PATH type waveaudio alias A       PATH: a word without blanks, or "a full path" in double quotes
//   set A time format ms
//   record A | play A | stop A
//   seek A to start
//   save A "PATH"
//   status A position | status A length | status A envelope [F]      F: a frame, in decimal digits
// Words are separated by one or more blanks (spaces). Keywords are matched exactly. A double quote can
// only open and close a path; a path can never contain one, so a crafted file name cannot smuggle in
// another word.
enum class Verb {
    Close,
    OpenNew,
    OpenFile,
    SetTimeFormatMs,
    Record,
    Play,
    Stop,
    SeekToStart,
    Save,
    Position,
    Length,
    Envelope
};

struct Command {
    Verb verb = Verb::Close;
    std::string alias;
    std::string path;       // OpenFile and Save only, without its quotes
    std::int64_t frame = 0; // Envelope only: from where
};

// Parses one command text. On failure returns the error and leaves `command` unspecified.
Error parseCommand(std::string_view text, Command& command);

} // namespace pikota::sound
