// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/CommandParser.h"

#include <vector>

namespace pikota::sound {

namespace {

struct Word {
    std::string_view text;
    bool quoted = false;
};

Error splitWords(std::string_view text, std::vector<Word>& words) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (text[i] == '"') {
            const std::size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos)
                return Error::BadQuote;
            // The closing quote must end the word: `"a"b` or `"a""b"` would be a quote inside a path.
            if (close + 1 < text.size() && text[close + 1] != ' ')
                return Error::BadQuote;
            words.push_back({text.substr(i + 1, close - i - 1), true});
            i = close + 1;
            continue;
        }
        std::size_t end = text.find(' ', i);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view word = text.substr(i, end - i);
        if (word.find('"') != std::string_view::npos)
            return Error::BadQuote;
        words.push_back({word, false});
        i = end;
    }
    return Error::None;
}

bool is(const Word& word, std::string_view keyword) { return !word.quoted && word.text == keyword; }

// Checks that `words` from `first` on are exactly `keywords` followed by the alias, which is returned.
Error expectTail(const std::vector<Word>& words, std::size_t first,
                 std::initializer_list<std::string_view> keywords, bool aliasLast, std::string& alias) {
    const std::size_t needed = first + keywords.size() + 1;
    std::size_t at = first;
    if (!aliasLast) {
        if (words.size() <= at)
            return Error::MissingWord;
        if (words[at].quoted)
            return Error::BadKeyword;
        alias = std::string(words[at].text);
        ++at;
    }
    for (std::string_view keyword : keywords) {
        if (words.size() <= at)
            return Error::MissingWord;
        if (!is(words[at], keyword))
            return Error::BadKeyword;
        ++at;
    }
    if (aliasLast) {
        if (words.size() <= at)
            return Error::MissingWord;
        if (words[at].quoted)
            return Error::BadKeyword;
        alias = std::string(words[at].text);
    }
    return words.size() > needed ? Error::ExtraWords : Error::None;
}

Error parseOpen(const std::vector<Word>& words, Command& command) {
    if (words.size() < 2)
        return Error::MissingWord;
    // "open  type waveaudio alias A": the path between "open" and "type" is missing.
    if (words.size() == 5 && is(words[1], "type") && is(words[2], "waveaudio") && is(words[3], "alias"))
        return Error::EmptyPath;
    if (is(words[1], "new")) {
        command.verb = Verb::OpenNew;
    } else {
        if (words[1].text.empty())
            return Error::EmptyPath;
        command.verb = Verb::OpenFile;
        command.path = std::string(words[1].text);
    }
    return expectTail(words, 2, {"type", "waveaudio", "alias"}, true, command.alias);
}

Error parseSave(const std::vector<Word>& words, Command& command) {
    command.verb = Verb::Save;
    if (words.size() < 2)
        return Error::MissingWord;
    if (words[1].quoted)
        return Error::BadKeyword;
    command.alias = std::string(words[1].text);
    if (words.size() < 3)
        return Error::EmptyPath;
    if (!words[2].quoted)
        return Error::SavePathNotQuoted;
    if (words[2].text.empty())
        return Error::EmptyPath;
    command.path = std::string(words[2].text);
    return words.size() > 3 ? Error::ExtraWords : Error::None;
}

} // namespace

Error parseCommand(std::string_view text, Command& command) {
    std::vector<Word> words;
    if (const Error error = splitWords(text, words); error != Error::None)
        return error;
    if (words.empty() || words[0].quoted)
        return Error::UnknownCommand;
    command = Command{};
    const std::string_view verb = words[0].text;
    if (verb == "open")
        return parseOpen(words, command);
    if (verb == "save")
        return parseSave(words, command);
    if (verb == "close" || verb == "record" || verb == "play" || verb == "stop") {
        command.verb = verb == "close"    ? Verb::Close
                       : verb == "record" ? Verb::Record
                       : verb == "play"   ? Verb::Play
                                          : Verb::Stop;
        return expectTail(words, 1, {}, false, command.alias);
    }
    if (verb == "set") {
        command.verb = Verb::SetTimeFormatMs;
        return expectTail(words, 1, {"time", "format", "ms"}, false, command.alias);
    }
    if (verb == "seek") {
        command.verb = Verb::SeekToStart;
        return expectTail(words, 1, {"to", "start"}, false, command.alias);
    }
    if (verb == "status") {
        Error error = Error::None;
        if (words.size() >= 3 && is(words[2], "length")) {
            command.verb = Verb::Length;
            error = expectTail(words, 1, {"length"}, false, command.alias);
        } else if (words.size() >= 3 && is(words[2], "envelope")) {
            command.verb = Verb::Envelope;
            // The frame to start from, if given, is the last word: up to 18 digits, nothing else.
            if (words.size() == 4 && !words[3].quoted) {
                const std::string_view digits = words[3].text;
                if (digits.empty() || digits.size() > 18 ||
                    digits.find_first_not_of("0123456789") != std::string_view::npos)
                    return Error::BadKeyword;
                for (const char d : digits)
                    command.frame = command.frame * 10 + (d - '0');
                words.pop_back();
            }
            error = expectTail(words, 1, {"envelope"}, false, command.alias);
        } else {
            command.verb = Verb::Position;
            error = expectTail(words, 1, {"position"}, false, command.alias);
        }
        return error;
    }
    return Error::UnknownCommand;
}

} // namespace pikota::sound
