// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pikota::sound {

// The string-command sound device as the program sees it: one command text in,
// an error code and a reply text out. Texts are the locale's narrow encoding (UTF-8).
class SoundService {
public:
    virtual ~SoundService() = default;

    // Carries out one command. A reply, if the command has one, is written into
    // `reply` NUL-terminated within `size` bytes. Returns 0 on success, otherwise
    // an error code; what the device wrote into `reply` then means nothing.
    virtual std::int32_t sendString(const char* command, char* reply, std::uint32_t size) = 0;

    // Writes the NUL-terminated text of an error code within `size` bytes.
    // Returns false (and writes nothing) for a code it does not know.
    virtual bool errorString(std::int32_t code, char* text, std::uint32_t size) = 0;
};

// The size of the reply buffer that every caller hands to the device.
inline constexpr std::uint32_t kReplySize = 256;

// What one command brings back: its code, and the device's reply (code 0) or error text (any other code).
struct CommandResult {
    std::int32_t code = 0;
    // The text before the first NUL of the reply buffer; nullopt when the buffer holds no NUL.
    std::optional<std::string> text;
};

// Sends one command the way the program does: a fresh reply buffer of kReplySize bytes, all NUL, and
// after a failure the error text for the code written over whatever the device left there (nothing, when
// the device knows no text for the code).
CommandResult sendCommand(SoundService& service, const char* command);

} // namespace pikota::sound
