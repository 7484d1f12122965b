// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The command parser accepts exactly the device's vocabulary; everything else is refused with its own
// code, so that no crafted file name can turn into a second command.

#include "platform/sound/CommandParser.h"
#include "platform/sound/WaveAudioService.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace pikota::sound;

namespace {

struct Accepted {
    const char* text;
    Verb verb;
    const char* path;
};

TEST(SoundParser, AcceptsTheVocabulary) {
    const Accepted cases[] = {
        {"close wfile", Verb::Close, ""},
        {"open new type waveaudio alias wfile", Verb::OpenNew, ""},
        {"open /tmp/A~1.WAV type waveaudio alias wfile", Verb::OpenFile, "/tmp/A~1.WAV"},
        {"open \"/tmp/with blanks/ファイル.wav\" type waveaudio alias wfile", Verb::OpenFile,
         "/tmp/with blanks/ファイル.wav"},
        {"open \"new\" type waveaudio alias wfile", Verb::OpenFile, "new"},
        {"set wfile time format ms", Verb::SetTimeFormatMs, ""},
        {"record wfile", Verb::Record, ""},
        {"play wfile", Verb::Play, ""},
        {"stop wfile", Verb::Stop, ""},
        {"seek wfile to start", Verb::SeekToStart, ""},
        {"save wfile \"/home/u/my rec.wav\"", Verb::Save, "/home/u/my rec.wav"},
        {"status wfile position", Verb::Position, ""},
        {"status wfile length", Verb::Length, ""},
        {"status wfile envelope", Verb::Envelope, ""},
        {"status wfile envelope 4410", Verb::Envelope, ""},
        {"  play   wfile  ", Verb::Play, ""},
    };
    for (const Accepted& c : cases) {
        Command command;
        ASSERT_EQ(parseCommand(c.text, command), Error::None) << c.text;
        EXPECT_EQ(command.verb, c.verb) << c.text;
        EXPECT_EQ(command.alias, "wfile") << c.text;
        EXPECT_EQ(command.path, c.path) << c.text;
    }
    Command envelope;
    ASSERT_EQ(parseCommand("status wfile envelope 123456789012345678", envelope), Error::None);
    EXPECT_EQ(envelope.frame, 123456789012345678);
}

struct Refused {
    const char* text;
    Error error;
};

TEST(SoundParser, RefusesEverythingElseWithItsOwnCode) {
    const Refused cases[] = {
        {"", Error::UnknownCommand},
        {"   ", Error::UnknownCommand},
        {"CLOSE wfile", Error::UnknownCommand},
        {"pause wfile", Error::UnknownCommand},
        {"\"close\" wfile", Error::UnknownCommand},
        {"close", Error::MissingWord},
        {"close wfile now", Error::ExtraWords},
        {"status wfile", Error::MissingWord},
        {"status wfile mode", Error::BadKeyword},
        {"status wfile position length", Error::ExtraWords},
        {"status wfile envelope -1", Error::BadKeyword},
        {"status wfile envelope 1234567890123456789", Error::BadKeyword},
        {"status wfile envelope \"441\"", Error::ExtraWords},
        {"status wfile envelope 441 882", Error::ExtraWords},
        {"set wfile time format frames", Error::BadKeyword},
        {"set wfile time format", Error::MissingWord},
        {"seek wfile to end", Error::BadKeyword},
        {"seek wfile to start now", Error::ExtraWords},
        {"open new type mpegvideo alias wfile", Error::BadKeyword},
        {"open new type waveaudio alias", Error::MissingWord},
        {"open new type waveaudio alias wfile shareable", Error::ExtraWords},
        {"open", Error::MissingWord},
        // The path of an open is missing, however it is left out.
        {"open  type waveaudio alias wfile", Error::EmptyPath},
        {"open \"\" type waveaudio alias wfile", Error::EmptyPath},
        // A double quote can only open and close a path.
        {"open a\"b.wav type waveaudio alias wfile", Error::BadQuote},
        {"open \"/tmp/a.wav type waveaudio alias wfile", Error::BadQuote},
        {"open \"/tmp/a\"b.wav\" type waveaudio alias wfile", Error::BadQuote},
        {"save wfile \"/tmp/a\"b.wav\"", Error::BadQuote},
        {"save wfile \"/tmp/a\"\"b.wav\"", Error::BadQuote},
        {"save wfile \"/tmp/a.wav", Error::BadQuote},
        {"save wfile \"/tmp/x.wav\" close wfile", Error::ExtraWords},
        {"save wfile \"/tmp/x.wav\" \"/tmp/y.wav\"", Error::ExtraWords},
        {"save wfile /tmp/x.wav", Error::SavePathNotQuoted},
        {"save wfile", Error::EmptyPath},
        {"save wfile \"\"", Error::EmptyPath},
        {"save", Error::MissingWord},
        {"play \"wfile\"", Error::BadKeyword},
    };
    for (const Refused& c : cases) {
        Command command;
        EXPECT_EQ(parseCommand(c.text, command), c.error) << c.text;
    }
}

TEST(SoundParser, ErrorTextsAreDistinctShortJapaneseAndCutCleanly) {
    auto service = makeSoundService(nullptr);
    std::set<std::string> seen;
    for (auto code = static_cast<std::int32_t>(Error::UnknownCommand);
         code <= static_cast<std::int32_t>(Error::Last); ++code) {
        char text[256];
        std::memset(text, 'x', sizeof text);
        ASSERT_TRUE(service->errorString(code, text, sizeof text)) << code;
        const std::string message = text;
        EXPECT_LE(message.size(), 255u) << code;
        EXPECT_GT(message.size(), 10u) << code;
        EXPECT_TRUE(seen.insert(message).second) << "text of " << code << " is not its own";
        // A buffer too small for the text gets whole characters only.
        char small[8];
        ASSERT_TRUE(service->errorString(code, small, sizeof small));
        const std::string cut = small;
        EXPECT_EQ(message.compare(0, cut.size(), cut), 0);
        EXPECT_TRUE(cut.size() == message.size() || message[cut.size()] == '\0' ||
                    (static_cast<unsigned char>(message[cut.size()]) & 0xC0) != 0x80)
            << code;
    }
    char text[256] = "unchanged";
    EXPECT_FALSE(service->errorString(0, text, sizeof text));
    EXPECT_FALSE(service->errorString(static_cast<std::int32_t>(Error::Last) + 1, text, sizeof text));
    EXPECT_STREQ(text, "unchanged");
}

} // namespace
