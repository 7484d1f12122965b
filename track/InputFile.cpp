// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/InputFile.h"

#include "platform/files/RegularFile.h"
#include "track/ReadError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <utility>

#include <unistd.h>

InputFile::InputFile(const QString& path) : path_(path) {
    const auto opened = pikota::files::openRegularFile(QFile::encodeName(path).toStdString());
    switch (opened.failure) {
    case pikota::files::RegularFile::Failure::None:
        break;
    case pikota::files::RegularFile::Failure::NotFound:
        throw SoundFileError("file not found", SoundFileError::Problem::NotFound);
    case pikota::files::RegularFile::Failure::NotReadable:
        throw SoundFileError("cannot open file", SoundFileError::Problem::NotReadable);
    case pikota::files::RegularFile::Failure::NotRegular:
        throw SoundFileError("not a plain file", SoundFileError::Problem::NotAFile);
    }
    fd_ = opened.fd;
    identity_ = FileIdentity::of(fd_);
}

InputFile::~InputFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

int InputFile::release() { return std::exchange(fd_, -1); }

void InputFile::readAt(std::int64_t pos, unsigned char* dst, std::int64_t n) const {
    std::int64_t got = 0;
    const std::int64_t want = pos < length() ? std::min(n, length() - pos) : 0;
    while (got < want) {
        const ssize_t r = ::pread(fd_, dst + got, static_cast<std::size_t>(want - got), pos + got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            throw SoundFileError("cannot read file", SoundFileError::Problem::NotReadable);
        if (r == 0)
            break; // the file got shorter: the rest reads as silence
        got += r;
    }
    std::memset(dst + got, 0, static_cast<std::size_t>(n - got));
}

std::size_t ReadAt(int fd, std::int64_t pos, unsigned char* dst, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, dst + got, n - got, static_cast<off_t>(pos) + static_cast<off_t>(got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break; // the end of the file as it is now, or a file that can no longer be read
        got += static_cast<std::size_t>(r);
    }
    return got;
}
