// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/GetKeyValue.h"

#include <QByteArray>

#include <array>

using namespace pikota::registry;

namespace {
// Query, set, create sub-key, enumerate, notify, create link and read control:
// more than reading needs, but what the lookup has always asked for.
constexpr DWORD kKeyAccess = 0x2003F;
constexpr DWORD kBufferSize = 1024;
} // namespace

bool GetKeyValue(HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal) {
    HKEY hKey = 0;
    if (RegOpenKeyEx(KeyRoot, KeyName.toLocal8Bit().constData(), 0, kKeyAccess, &hKey) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }

    std::array<unsigned char, kBufferSize> buffer{};
    DWORD size = kBufferSize;
    DWORD type = 0;
    if (RegQueryValueEx(hKey, SubKeyRef.toLocal8Bit().constData(), &type, buffer.data(), &size) !=
        ERROR_SUCCESS) {
        KeyVal.clear();
        RegCloseKey(hKey);
        return false;
    }

    DWORD length = size;
    if (length > 0 && buffer[length - 1] == 0)
        --length;

    switch (type) {
    case REG_SZ:
        KeyVal = QString::fromLocal8Bit(reinterpret_cast<const char*>(buffer.data()), length);
        break;
    case REG_DWORD: {
        // Little-endian, as the registry stores it; missing bytes count as zero.
        std::uint32_t number = 0;
        for (DWORD i = 0; i < 4 && i < size; ++i)
            number |= static_cast<std::uint32_t>(buffer[i]) << (8 * i);
        KeyVal = QString::number(number);
        break;
    }
    default:
        break;
    }

    RegCloseKey(hKey);
    return true;
}
