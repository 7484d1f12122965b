// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files/RegularFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pikota::files {

RegularFile openRegularFile(const std::string& path, bool followLinks) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        const int error = errno;
        return {-1, error == ENOENT || error == ENOTDIR ? RegularFile::Failure::NotFound
                    : error == ELOOP && !followLinks    ? RegularFile::Failure::NotRegular
                                                        : RegularFile::Failure::NotReadable};
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
        close(fd);
        return {-1, RegularFile::Failure::NotRegular};
    }
    return {fd, RegularFile::Failure::None};
}

} // namespace pikota::files
