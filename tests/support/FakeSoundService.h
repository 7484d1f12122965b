// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/SoundService.h"

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

// A sound device that records every command text and answers from a script:
// by default every command succeeds with an empty reply.
class FakeSoundService : public pikota::sound::SoundService {
public:
    struct Answer {
        std::int32_t code = 0;
        std::string reply;
    };

    std::vector<std::string> commands;
    std::map<std::string, Answer> answers; // by exact command text
    std::function<Answer(const std::string&)> answerFor;

    std::int32_t sendString(const char* command, char* reply, std::uint32_t size) override {
        commands.emplace_back(command);
        Answer a;
        if (answerFor)
            a = answerFor(command);
        else if (const auto it = answers.find(command); it != answers.end())
            a = it->second;
        if (!a.reply.empty() && size > 0) {
            const std::size_t n = std::min<std::size_t>(a.reply.size(), size - 1);
            std::memcpy(reply, a.reply.data(), n);
            reply[n] = '\0';
        }
        return a.code;
    }

    bool errorString(std::int32_t code, char* text, std::uint32_t size) override {
        const std::string message = "エラー " + std::to_string(code);
        if (size == 0)
            return false;
        const std::size_t n = std::min<std::size_t>(message.size(), size - 1);
        std::memcpy(text, message.data(), n);
        text[n] = '\0';
        return true;
    }
};
