#include "platform/sound/RecordingsFolder.h"

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

bool isRecordingName(std::string_view name) {
    return name.size() > 4 && name.front() != '.' && name.substr(name.size() - 4) == ".wav";
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
    const std::string folder = recordingsFolder();
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return found;
    while (const dirent* entry = readdir(dir)) {
        if (!isRecordingName(entry->d_name))
            continue;
        const std::string path = folder + "/" + entry->d_name;
        // Non-blocking: whatever sits there, opening it must not wait.
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat st {};
        // A lock taken here is let go at once; one that cannot be taken belongs to a live recording.
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_SH | LOCK_NB) == 0)
            found.push_back(path);
        close(fd);
    }
    closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
}

int createRecordingFile(std::string& path) {
    const std::string folder = recordingsFolder();
    if (!makeFolders(folder))
        return -1;
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
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        for (int n = 1; n < 1000; ++n) {
            std::string name = folder + "/pikota-" + stamp;
            if (n > 1)
                name += '-' + std::to_string(n);
            name += ".wav";
            // Neither way replaces a file that is there already; hard links for file systems that
            // cannot rename without replacing.
            if (renameat2(AT_FDCWD, hidden.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0 ||
                (errno == EINVAL && link(hidden.c_str(), name.c_str()) == 0 && unlink(hidden.c_str()) == 0)) {
                path = std::move(name);
                return fd;
            }
            if (errno != EEXIST)
                break;
        }
    }
    const int error = errno;
    unlink(hidden.c_str());
    close(fd);
    errno = error;
    return -1;
}

} // namespace pikota::sound
