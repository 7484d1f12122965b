// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/RecordingsFolder.h"

#include "platform/files/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pikota::sound {

namespace {

std::string home() {
    if (const char* h = std::getenv("HOME"); h && *h == '/')
        return h;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

// Makes every missing folder of `path`, private to the user where it makes one.
bool makeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

constexpr std::string_view kUnsavedEnd = ".wav";
constexpr std::string_view kSavedEnd = ".saved.wav";

bool isSavedName(std::string_view name) { return name.ends_with(kSavedEnd); }

// A recording that is not saved; any WAV file counts that the user may have put there.
bool isUnsavedName(std::string_view name) {
    return name.size() > kUnsavedEnd.size() && name.front() != '.' && name.ends_with(kUnsavedEnd) &&
           !isSavedName(name);
}

// Whether `path` names the file open as `fd`.
bool names(const std::string& path, int fd) {
    struct stat named {
    }, open{};
    return lstat(path.c_str(), &named) == 0 && fstat(fd, &open) == 0 && named.st_dev == open.st_dev &&
           named.st_ino == open.st_ino;
}

// Gives `from` the first name of stem + end, stem-2 + end, ... that is free, and sets `to` to it. Never
// replaces a file that is there already; hard links for file systems that cannot rename so.
bool renameToFreeName(const std::string& from, const std::string& stem, std::string_view end,
                      std::string& to) {
    for (int n = 1; n < 1000; ++n) {
        std::string name = stem;
        if (n > 1)
            name += '-' + std::to_string(n);
        name += end;
        if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0 ||
            (errno == EINVAL && link(from.c_str(), name.c_str()) == 0 && unlink(from.c_str()) == 0)) {
            to = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// Calls `take(path, fd)` for each regular file in `folder` whose name `wanted` accepts and on which a
// lock of the given kind (LOCK_SH or LOCK_EX) can be taken now, with the file open and so locked. Opens
// without blocking and without following links: whatever sits there, looking at it must not wait. A lock
// that cannot be taken belongs to a program that holds the recording, this process's own too.
template <typename Wanted, typename Take>
void forEachFreeRecording(const std::string& folder, Wanted wanted, int lock, Take take) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        if (!wanted(std::string_view(entry->d_name)))
            continue;
        const std::string path = folder + "/" + entry->d_name;
        const int fd = files::openRegularFile(path, false).fd;
        if (fd < 0)
            continue;
        if (flock(fd, lock | LOCK_NB) == 0)
            take(path, fd);
        close(fd);
    }
    closedir(dir);
}

// Deletes the saved recordings that no program holds: their program ended after the save without
// closing them.
void removeSavedLeftovers(const std::string& folder) {
    forEachFreeRecording(
        folder, [](std::string_view name) { return name.starts_with("pikota-") && isSavedName(name); },
        LOCK_EX,
        [](const std::string& path, int fd) {
            if (names(path, fd))
                unlink(path.c_str());
        });
}

} // namespace

std::string recordingsFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // A relative XDG_STATE_HOME is to be ignored, as the XDG base directory rules have it.
    std::string base = state && *state == '/' ? state : home() + "/.local/state";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/pikota/recordings";
}

std::vector<std::string> unsavedRecordings() {
    std::vector<std::string> found;
    // The lock taken is let go at once.
    forEachFreeRecording(recordingsFolder(), isUnsavedName, LOCK_SH,
                         [&found](const std::string& path, int) { found.push_back(path); });
    std::sort(found.begin(), found.end());
    return found;
}

int createRecordingFile(std::string& path) {
    const std::string folder = recordingsFolder();
    if (!makeFolders(folder))
        return -1;
    removeSavedLeftovers(folder);
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local);

    // Made and locked under a hidden name, and only then given its own: a recording is never seen
    // without its lock.
    std::string hidden = folder + "/.new-XXXXXX";
    const int fd = mkostemp(hidden.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        renameToFreeName(hidden, folder + "/pikota-" + stamp, kUnsavedEnd, path))
        return fd;
    const int error = errno;
    unlink(hidden.c_str());
    close(fd);
    errno = error;
    return -1;
}

namespace {

bool mark(int fd, std::string& path, bool saved) {
    if (!names(path, fd))
        return !saved;
    if (isSavedName(path) == saved)
        return true;
    const std::string old = path;
    const std::string stem = old.substr(0, old.size() - (saved ? kUnsavedEnd : kSavedEnd).size());
    return renameToFreeName(old, stem, saved ? kSavedEnd : kUnsavedEnd, path);
}

} // namespace

bool markSaved(int fd, std::string& path) { return mark(fd, path, true); }

bool markUnsaved(int fd, std::string& path) { return mark(fd, path, false); }

void removeRecording(int fd, const std::string& path) {
    if (names(path, fd))
        unlink(path.c_str());
}

} // namespace pikota::sound
