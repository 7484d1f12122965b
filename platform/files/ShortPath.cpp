// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files/ShortPath.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pikota::files {

namespace {

// The private folder of links, made on first need and removed with the process.
class LinkFolder {
public:
    ~LinkFolder() {
        if (!folder_.empty()) {
            std::error_code ec;
            fs::remove_all(folder_, ec);
        }
    }

    // A link to `target`, made once per target.
    std::string linkTo(const fs::path& target) {
        std::lock_guard lock(mutex_);
        if (const auto it = links_.find(target.string()); it != links_.end())
            return it->second;
        if (folder_.empty() && !makeFolder())
            return {};
        std::string name = std::to_string(links_.size() + 1);
        const std::string ext = target.extension().string();
        if (ext.size() > 1 && ext.size() <= 8 &&
            ext.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", 1) ==
                std::string::npos)
            name += ext;
        const fs::path link = folder_ / name;
        std::error_code ec;
        fs::create_symlink(target, link, ec);
        if (ec)
            return {};
        return links_[target.string()] = link.string();
    }

private:
    bool makeFolder() {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::string base = runtime && *runtime && IsPlainWord(runtime) ? runtime : "/tmp";
        std::string pattern = base + "/pikota-XXXXXX";
        // mkdtemp creates the folder with mode 0700.
        if (!mkdtemp(pattern.data()))
            return false;
        folder_ = pattern;
        return true;
    }

    std::mutex mutex_;
    fs::path folder_;
    std::map<std::string, std::string> links_;
};

LinkFolder& linkFolder() {
    static LinkFolder instance;
    return instance;
}

constexpr std::size_t kLongestPlainPath = 255;

} // namespace

bool IsPlainWord(const char* text) {
    if (!text || !*text)
        return false;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p <= ' ' || *p == '"' || *p == 0x7f)
            return false;
    }
    return true;
}

std::uint32_t GetShortPathName(const char* longPath, char* buffer, std::uint32_t size) {
    if (!longPath || !*longPath)
        return 0;
    struct stat st {};
    if (::stat(longPath, &st) != 0)
        return 0;
    std::error_code ec;
    const fs::path absolute = fs::absolute(longPath, ec);
    if (ec)
        return 0;
    std::string result = absolute.string();
    if (!IsPlainWord(result.c_str()) || result.size() > kLongestPlainPath)
        result = linkFolder().linkTo(absolute);
    if (result.empty())
        return 0;
    const auto length = static_cast<std::uint32_t>(result.size());
    if (length + 1 > size)
        return length + 1;
    std::memcpy(buffer, result.c_str(), length + 1);
    return length;
}

} // namespace pikota::files
