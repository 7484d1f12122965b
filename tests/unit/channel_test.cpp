// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound channel's reply rules and short path names.
#include "device/Module1.h"
#include "platform/files/ShortPath.h"
#include "tests/support/FakeSoundService.h"
#include "tests/support/GermanLocale.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A device whose every answer is written by the test, byte for byte.
class ScriptedDevice : public pikota::sound::SoundService {
public:
    std::function<std::int32_t(char*, std::uint32_t)> onSend;
    std::function<bool(std::int32_t, char*, std::uint32_t)> onError;
    std::uint32_t lastSize = 0;

    std::int32_t sendString(const char*, char* reply, std::uint32_t size) override {
        lastSize = size;
        return onSend(reply, size);
    }
    bool errorString(std::int32_t code, char* text, std::uint32_t size) override {
        return onError ? onError(code, text, size) : false;
    }
};

class ChannelTest : public ::testing::Test {
protected:
    ScriptedDevice device;
    void SetUp() override { SetSoundService(&device); }
    void TearDown() override { SetSoundService(nullptr); }
};

TEST_F(ChannelTest, RepliesFollowTheBufferNotTheCallersVariable) {
    QString reply = QStringLiteral("old");
    // Success without a reply empties the caller's text.
    device.onSend = [](char*, std::uint32_t) { return 0; };
    EXPECT_EQ(SendMciCommand(QStringLiteral("stop wfile"), reply), 0);
    EXPECT_EQ(reply, QString());
    EXPECT_EQ(device.lastSize, 256u);

    // A reply comes back decoded from the narrow encoding.
    device.onSend = [](char* r, std::uint32_t) {
        std::strcpy(r, "1234 ミリ秒");
        return 0;
    };
    EXPECT_EQ(SendMciCommand(QStringLiteral("status wfile position"), reply), 0);
    EXPECT_EQ(reply, QStringLiteral("1234 ミリ秒"));

    // Every call starts from a fresh, zeroed buffer: nothing of the last reply is left.
    device.onSend = [](char* r, std::uint32_t) {
        EXPECT_EQ(r[0], '\0');
        return 0;
    };
    EXPECT_EQ(SendMciCommand(QStringLiteral("stop wfile"), reply), 0);
    EXPECT_EQ(reply, QString());

    // A buffer without any NUL leaves the caller's text as it was.
    reply = QStringLiteral("kept");
    device.onSend = [](char* r, std::uint32_t size) {
        std::memset(r, 'x', size);
        return 0;
    };
    EXPECT_EQ(SendMciCommand(QStringLiteral("status wfile length"), reply), 0);
    EXPECT_EQ(reply, QStringLiteral("kept"));
}

TEST_F(ChannelTest, AFailureGivesTheErrorTextNeverAPartialReply) {
    QString reply;
    device.onSend = [](char* r, std::uint32_t) {
        std::strcpy(r, "partial reply that is much longer than the error text");
        return 263;
    };
    device.onError = [](std::int32_t code, char* t, std::uint32_t) {
        EXPECT_EQ(code, 263);
        std::strcpy(t, "ファイルが見つかりません。");
        return true;
    };
    EXPECT_EQ(SendMciCommand(QStringLiteral("open x type waveaudio alias wfile"), reply), 263);
    EXPECT_EQ(reply, QStringLiteral("ファイルが見つかりません。"));

    // A code the device has no text for gives an empty text, not what the device left.
    device.onError = nullptr;
    reply = QStringLiteral("old");
    EXPECT_EQ(SendMciCommand(QStringLiteral("close wfile"), reply), 263);
    EXPECT_EQ(reply, QString());
}

TEST(ChannelWithoutDevice, EveryCommandFailsWithAJapaneseText) {
    SetSoundService(nullptr);
    QString reply;
    EXPECT_NE(SendMciCommand(QStringLiteral("open new type waveaudio alias wfile"), reply), 0);
    EXPECT_FALSE(reply.isEmpty());
    EXPECT_TRUE(reply.contains(QStringLiteral("サウンド")));
}

TEST(ChannelCommands, TheCommandReachesTheDeviceUnchanged) {
    FakeSoundService fake;
    SetSoundService(&fake);
    QString reply;
    SendMciCommand(QStringLiteral("save wfile \"/tmp/録音 1.wav\""), reply);
    SetSoundService(nullptr);
    ASSERT_EQ(fake.commands.size(), 1u);
    EXPECT_EQ(fake.commands[0], "save wfile \"/tmp/録音 1.wav\"");
}

class ShortPathTest : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pikota-shortpath-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    QString make(const std::string& name) {
        const fs::path p = dir / name;
        std::ofstream(p) << "RIFF";
        return QString::fromStdString(p.string());
    }
};

TEST_F(ShortPathTest, APlainPathIsItsOwnShortForm) {
    const QString plain = make("plain.wav");
    EXPECT_EQ(GetShortPath(plain), plain);
    const QString japanese = make("録音テスト.wav");
    EXPECT_EQ(GetShortPath(japanese), japanese);
}

TEST_F(ShortPathTest, OtherPathsGetAPlainNameOfTheSameFile) {
    for (const std::string name :
         {"with blank.wav", "say \"hi\".wav", "tab\there.wav", "日本語 の 名前.wav"}) {
        const QString path = make(name);
        const QString shortPath = GetShortPath(path);
        SCOPED_TRACE(name);
        ASSERT_FALSE(shortPath.isEmpty());
        EXPECT_TRUE(pikota::files::IsPlainWord(shortPath.toLocal8Bit().constData()));
        EXPECT_TRUE(fs::equivalent(shortPath.toStdString(), path.toStdString()));
        // The links live in a folder that only this user can enter.
        struct stat st {};
        ASSERT_EQ(::stat(fs::path(shortPath.toStdString()).parent_path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        // Asking again gives the same name.
        EXPECT_EQ(GetShortPath(path), shortPath);
    }
}

TEST_F(ShortPathTest, ARelativePathBecomesAbsolute) {
    make("rel.wav");
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    const QString shortPath = GetShortPath(QStringLiteral("rel.wav"));
    fs::current_path(old);
    EXPECT_EQ(shortPath.toStdString(), (dir / "rel.wav").string());
}

TEST_F(ShortPathTest, NoFileGivesTheEmptyText) {
    EXPECT_EQ(GetShortPath(QString::fromStdString((dir / "missing.wav").string())), QString());
    EXPECT_EQ(GetShortPath(QString::fromStdString((dir / "missing with blank.wav").string())), QString());
    EXPECT_EQ(GetShortPath(QString()), QString());
}

// Device replies are read with "." as the point, whatever the user's locale says.
TEST(LeadingValue, ReadsTheLeadingNumberUnderAGermanLocale) {
    const pikota::test::GermanLocale german;
    const std::pair<const char*, double> cases[] = {
        {"2.5", 2.5}, {"1234", 1234}, {" +3ms", 3}, {"-1.5e2x", -150}, {".5", 0.5}, {"12.", 12},
        {"1e", 1},    {"", 0},        {".", 0},     {"abc", 0},        {"- 1", 0},  {"7,5", 7},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(LeadingValue(QString::fromLatin1(text)), value) << '"' << text << '"';
}

} // namespace
