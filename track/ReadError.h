// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

struct WaveFormat;

// A failure while reading a sound file or labelling its length. The Load and Stop handlers end quietly on
// most of them; what() says in a few English words what went wrong, for diagnostics only, problem() which
// kind of failure it was, and reason() what the user is told, in the program's words.
class SoundFileError : public std::runtime_error {
public:
    enum class Problem {
        NotFound,
        NotReadable,
        NotAFile,
        NotWave,  // a WAV file the WAV reader cannot read
        Encoding, // a WAV encoding that cannot be drawn, named
        Damaged,  // a file that libsndfile knows but cannot read, and why
    };
    explicit SoundFileError(const char* what, Problem problem = Problem::NotWave)
        : std::runtime_error(what), problem_(problem) {}
    SoundFileError(const char* what, Problem problem, const QString& message)
        : std::runtime_error(what), problem_(problem), message_(message) {}
    Problem problem() const { return problem_; }
    // Whether even the Load button names it in a message, rather than ending quietly: an encoding that
    // cannot be drawn, a file that cannot be read as the sound it is.
    bool named() const { return problem_ == Problem::Encoding || problem_ == Problem::Damaged; }
    QString reason() const;

private:
    Problem problem_;
    QString message_;
};

// What the user is told of a file in which no sound is found: no format or data chunk, and nothing that
// libsndfile reads.
QString NoSoundReason();

// The refusals of the WAV reader, each naming what it refuses.
[[noreturn]] void RefuseWavTag(std::uint16_t tag);
[[noreturn]] void RefuseUnknownSubformat();
[[noreturn]] void RefuseIntegerBits(int bits);
[[noreturn]] void RefuseFloatBits(int bits);
[[noreturn]] void RefuseValues(const WaveFormat& format);
// A file that libsndfile cannot read: its error code and its own words.
[[noreturn]] void RefuseSoundFile(int code, const char* why);
