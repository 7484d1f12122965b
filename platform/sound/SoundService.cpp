// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/SoundService.h"

#include <array>
#include <cstring>

namespace pikota::sound {

CommandResult sendCommand(SoundService& service, const char* command) {
    std::array<char, kReplySize> buffer{};
    CommandResult result;
    result.code = service.sendString(command, buffer.data(), kReplySize);
    // The error text goes over whatever the device left; a device that knows no text for the code
    // leaves the buffer empty, never a partial reply.
    if (result.code != 0 && !service.errorString(result.code, buffer.data(), kReplySize))
        buffer.fill('\0');
    if (const void* nul = std::memchr(buffer.data(), '\0', buffer.size()))
        result.text.emplace(buffer.data(), static_cast<const char*>(nul) - buffer.data());
    return result;
}

} // namespace pikota::sound
