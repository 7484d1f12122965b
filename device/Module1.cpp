// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "device/Module1.h"

#include "platform/files/ShortPath.h"
#include "platform/sound/SoundService.h"
#include "platform/sound/UnavailableService.h"

#include <QByteArray>

#include <array>
#include <cctype>
#include <charconv>
#include <cstring>

namespace {

pikota::sound::SoundService* g_service = nullptr;

constexpr std::uint32_t kBufferSize = 256;
using Buffer = std::array<char, kBufferSize>;

// The text before the first NUL, if the buffer holds one.
bool takeText(const Buffer& buffer, QString& text) {
    const void* nul = std::memchr(buffer.data(), '\0', buffer.size());
    if (!nul)
        return false;
    text = QString::fromLocal8Bit(buffer.data(), static_cast<const char*>(nul) - buffer.data());
    return true;
}

// Without a device set, every command fails with a clear text.
pikota::sound::SoundService* CurrentSoundService() {
    static pikota::sound::UnavailableService unavailable;
    return g_service ? g_service : &unavailable;
}

} // namespace

void SetSoundService(pikota::sound::SoundService* service) { g_service = service; }

std::int32_t SendMciCommand(const QString& command, QString& reply) {
    const QByteArray narrow = command.toLocal8Bit();
    const pikota::sound::CommandResult result =
        pikota::sound::sendCommand(*CurrentSoundService(), narrow.constData());
    if (result.text)
        reply = QString::fromLocal8Bit(result.text->data(), static_cast<qsizetype>(result.text->size()));
    return result.code;
}

QString GetShortPath(const QString& path) {
    Buffer buffer{};
    pikota::files::GetShortPathName(path.toLocal8Bit().constData(), buffer.data(), kBufferSize);
    QString result;
    takeText(buffer, result);
    return result;
}

double LeadingValue(const QString& text) {
    // The number that the leading characters spell: blanks skipped, then an optional
    // sign, digits with at most one point, and an exponent; anything else stops it.
    const QByteArray s = text.toLatin1();
    qsizetype i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    const qsizetype start = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    const qsizetype mantissa = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
        ++i;
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]));)
            ++i;
    if (i == mantissa || (i == mantissa + 1 && s[mantissa] == '.'))
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        qsizetype j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
                ++j;
            i = j;
        }
    }
    // from_chars reads "." as the point whatever the locale says; it takes no plus sign.
    const char* first = s.constData() + start + (s[start] == '+' ? 1 : 0);
    double value = 0;
    std::from_chars(first, s.constData() + i, value);
    return value;
}
