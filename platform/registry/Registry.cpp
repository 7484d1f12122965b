// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/registry/Registry.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace pikota::registry {

namespace {

constexpr std::string_view kSysInfoKey = "software\\microsoft\\shared tools\\msinfo";
constexpr std::string_view kSysInfoValue = "path";

std::string folded(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return result;
}

bool isRoot(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

struct KeyPath {
    HKEY root;
    std::string name; // folded
    auto operator<=>(const KeyPath&) const = default;
};

struct Value {
    DWORD type;
    std::vector<unsigned char> data;
};

struct Hive {
    std::mutex mutex;
    std::map<HKEY, KeyPath> open;
    HKEY nextHandle = 1;
    // Key, then folded value name.
    std::map<KeyPath, std::map<std::string, Value>> testValues;
};

Hive& hive() {
    static Hive instance;
    return instance;
}

bool keyExists(const Hive& h, const KeyPath& key) {
    if (key.root == HKEY_LOCAL_MACHINE && key.name == kSysInfoKey)
        return true;
    return h.testValues.contains(key);
}

std::optional<Value> lookUp(const Hive& h, const KeyPath& key, const std::string& name) {
    if (const auto k = h.testValues.find(key); k != h.testValues.end())
        if (const auto v = k->second.find(name); v != k->second.end())
            return v->second;
    if (key.root == HKEY_LOCAL_MACHINE && key.name == kSysInfoKey && name == kSysInfoValue) {
        const std::string viewer = FindSystemInfoViewer();
        if (viewer.empty())
            return std::nullopt;
        Value value{REG_SZ, {viewer.begin(), viewer.end()}};
        value.data.push_back(0);
        return value;
    }
    return std::nullopt;
}

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

const std::vector<std::string>& SystemInfoViewers() {
    static const std::vector<std::string> viewers{"kinfocenter", "hardinfo"};
    return viewers;
}

std::string FindSystemInfoViewer() {
    const char* path = std::getenv("PATH");
    if (!path)
        return {};
    std::vector<std::string> folders;
    for (std::string_view rest = path; !rest.empty();) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        // Only absolute folders: the registry gives full paths, and a viewer in
        // whatever folder the program was started from is no installed viewer.
        if (!folder.empty() && folder.front() == '/')
            folders.emplace_back(folder);
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
    }
    for (const std::string& name : SystemInfoViewers())
        for (const std::string& folder : folders) {
            std::string candidate = folder;
            if (candidate.back() != '/')
                candidate += '/';
            candidate += name;
            if (isExecutableFile(candidate))
                return candidate;
        }
    return {};
}

namespace {

// The key a handle stands for: a root key, or one that is open; nothing for any other handle.
std::optional<KeyPath> resolve(const Hive& h, HKEY handle) {
    if (isRoot(handle))
        return KeyPath{handle, {}};
    if (const auto it = h.open.find(handle); it != h.open.end())
        return it->second;
    return std::nullopt;
}

} // namespace

LONG RegOpenKeyEx(HKEY root, const char* subKey, DWORD, DWORD, HKEY* result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    Hive& h = hive();
    std::lock_guard lock(h.mutex);
    std::optional<KeyPath> parent = resolve(h, root);
    if (!parent)
        return ERROR_INVALID_HANDLE;
    KeyPath key = std::move(*parent);
    if (subKey && *subKey) {
        if (!key.name.empty())
            key.name += '\\';
        key.name += folded(subKey);
    }
    if (!key.name.empty() && !keyExists(h, key))
        return ERROR_FILE_NOT_FOUND;
    const HKEY handle = h.nextHandle++;
    h.open.emplace(handle, std::move(key));
    *result = handle;
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, const char* valueName, DWORD* type, unsigned char* data, DWORD* dataSize) {
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    Hive& h = hive();
    std::lock_guard lock(h.mutex);
    const std::optional<KeyPath> path = resolve(h, key);
    if (!path)
        return ERROR_INVALID_HANDLE;
    const std::optional<Value> value = lookUp(h, *path, folded(valueName ? valueName : ""));
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    const auto size = static_cast<DWORD>(value->data.size());
    if (data && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data && size > 0)
        std::memcpy(data, value->data.data(), size);
    if (dataSize)
        *dataSize = size;
    if (type)
        *type = value->type;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (isRoot(key))
        return ERROR_SUCCESS;
    Hive& h = hive();
    std::lock_guard lock(h.mutex);
    return h.open.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void SetTestValue(HKEY root, std::string_view key, std::string_view name, DWORD type,
                  std::vector<unsigned char> data) {
    Hive& h = hive();
    std::lock_guard lock(h.mutex);
    h.testValues[KeyPath{root, folded(key)}][folded(name)] = Value{type, std::move(data)};
}

void ClearTestValues() {
    Hive& h = hive();
    std::lock_guard lock(h.mutex);
    h.testValues.clear();
}

} // namespace pikota::registry
