// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "track/LoadedFile.h"

#include <QString>

#include <cstdint>

// A file opened for reading by a reader: only a plain file (or a link to one), since a named pipe would
// block the window, opened without waiting. Bytes are read at absolute positions; bytes past the end of the
// file read as 0. Closed by the destructor, so on every path out of a reader, failures included, unless a
// loaded file has taken the descriptor.
class InputFile {
public:
    // Throws SoundFileError (NotFound, NotReadable, NotAFile).
    explicit InputFile(const QString& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const QString& path() const { return path_; }
    std::int64_t length() const { return identity_.size; }
    const FileIdentity& identity() const { return identity_; }
    int fd() const { return fd_; }
    // The descriptor, now the caller's to close.
    int release();

    // Reads n bytes at pos; what lies past the end of the file reads as 0. Throws SoundFileError
    // (NotReadable) when the file cannot be read.
    void readAt(std::int64_t pos, unsigned char* dst, std::int64_t n) const;

private:
    QString path_;
    int fd_ = -1;
    FileIdentity identity_;
};

// Reads up to n bytes at pos from fd; how many were read before the file ended or failed.
std::size_t ReadAt(int fd, std::int64_t pos, unsigned char* dst, std::size_t n);
