// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/SoundService.h"

namespace pikota::sound {

// A device that refuses every command: used where no sound device is built in.
class UnavailableService final : public SoundService {
public:
    static constexpr std::int32_t kCode = 1;
    std::int32_t sendString(const char* command, char* reply, std::uint32_t size) override;
    bool errorString(std::int32_t code, char* text, std::uint32_t size) override;
};

} // namespace pikota::sound
