// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace pikota::files {

// Opens a file for reading without waiting, and keeps it only if it is a regular file: a named pipe would
// block the open (and whoever opened it), and a device or a folder is no file to read. The descriptor is
// close-on-exec and blocking again for its reads. Links are followed unless `followLinks` is false.
struct RegularFile {
    enum class Failure { None, NotFound, NotReadable, NotRegular };
    int fd = -1; // the caller's to close
    Failure failure = Failure::None;
};
RegularFile openRegularFile(const std::string& path, bool followLinks = true);

} // namespace pikota::files
