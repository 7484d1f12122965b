// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The system registry as the program reads it, on a system that has none.
//
// Only what the About dialog looks up is answered: under HKEY_LOCAL_MACHINE the
// key "SOFTWARE\Microsoft\Shared Tools\MSINFO" has the value "PATH", the full
// path of a system information viewer, when one is installed. Key and value names
// are compared without regard to ASCII case, as the registry does. Names and
// string data are in the locale's narrow encoding.
namespace pikota::registry {

using HKEY = std::uint32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;

inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_DWORD = 4;

// Opens `subKey` under one of the root keys. Options and access are accepted as
// given; the stand-in is read-only whatever they ask for.
LONG RegOpenKeyEx(HKEY root, const char* subKey, DWORD options, DWORD samDesired, HKEY* result);

// Reads one value of an open key. `*dataSize` is the size of `data` on entry and
// the size of the value on return; a value that does not fit gives
// ERROR_MORE_DATA and writes nothing. String data includes its terminating NUL.
// `type`, `data` and `dataSize` may be null when the caller does not want them.
LONG RegQueryValueEx(HKEY key, const char* valueName, DWORD* type, unsigned char* data, DWORD* dataSize);

LONG RegCloseKey(HKEY key);

// The system information viewers looked for on PATH, in this order: KDE's Info
// Center and HardInfo. Both are standalone programs of Debian 12 that show the
// machine's hardware and system. GNOME has no such program of its own (its
// "About" page is a panel of the settings program and needs an argument, and
// gnome-system-monitor watches processes and resources), so a GNOME desktop
// needs HardInfo installed.
const std::vector<std::string>& SystemInfoViewers();

// The first of the viewers found as an executable file in a folder of PATH, as
// an absolute path; empty when there is none.
std::string FindSystemInfoViewer();

// Values of the tests' own, answered before everything else; they make the key
// that holds them exist.
void SetTestValue(HKEY root, std::string_view key, std::string_view name, DWORD type,
                  std::vector<unsigned char> data);
void ClearTestValues();

} // namespace pikota::registry
