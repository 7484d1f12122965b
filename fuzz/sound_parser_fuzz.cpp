// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzzes the sound device's command parser with arbitrary bytes. Besides not crashing, a command that
// is accepted must be one of the vocabulary's shapes: a path never holds a double quote, the alias is
// one blank-free word, and writing the command out again parses to the same command.

#include "platform/sound/CommandParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace pikota::sound;

namespace {

std::string spell(const Command& c) {
    const std::string quoted = "\"" + c.path + "\"";
    switch (c.verb) {
    case Verb::Close:
        return "close " + c.alias;
    case Verb::OpenNew:
        return "open new type waveaudio alias " + c.alias;
    case Verb::OpenFile:
        return "open " + quoted + " type waveaudio alias " + c.alias;
    case Verb::SetTimeFormatMs:
        return "set " + c.alias + " time format ms";
    case Verb::Record:
        return "record " + c.alias;
    case Verb::Play:
        return "play " + c.alias;
    case Verb::Stop:
        return "stop " + c.alias;
    case Verb::SeekToStart:
        return "seek " + c.alias + " to start";
    case Verb::Save:
        return "save " + c.alias + " " + quoted;
    case Verb::Position:
        return "status " + c.alias + " position";
    case Verb::Length:
        return "status " + c.alias + " length";
    case Verb::Envelope:
        return "status " + c.alias + " envelope";
    }
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Command command;
    const Error error = parseCommand(text, command);
    if (error == Error::None) {
        if (command.path.find('"') != std::string::npos ||
            command.alias.find_first_of(" \"") != std::string::npos || command.alias.empty())
            std::abort();
        if ((command.verb == Verb::OpenFile || command.verb == Verb::Save) && command.path.empty())
            std::abort();
        Command again;
        if (parseCommand(spell(command), again) != Error::None || again.verb != command.verb ||
            again.alias != command.alias || again.path != command.path)
            std::abort();
    } else if (static_cast<std::int32_t>(error) < static_cast<std::int32_t>(Error::UnknownCommand) ||
               static_cast<std::int32_t>(error) > static_cast<std::int32_t>(Error::SavePathNotQuoted)) {
        std::abort(); // the parser only ever reports problems of the text itself
    }
    return 0;
}
