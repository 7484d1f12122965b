#include "device/Module1.h"

#include "platform/files/ShortPath.h"
#include "platform/sound/SoundService.h"
#include "platform/sound/UnavailableService.h"

#include <QByteArray>

#include <array>
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
