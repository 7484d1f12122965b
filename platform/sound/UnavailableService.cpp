// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/UnavailableService.h"

#include <cstring>

namespace pikota::sound {

std::int32_t UnavailableService::sendString(const char*, char*, std::uint32_t) { return kCode; }

bool UnavailableService::errorString(std::int32_t code, char* text, std::uint32_t size) {
    if (code != kCode || size == 0)
        return false;
    static const char message[] = "サウンドデバイスを使用できません。";
    std::strncpy(text, message, size - 1);
    text[size - 1] = '\0';
    return true;
}

} // namespace pikota::sound
