// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>

namespace pikota::sound {

// Every failure the device can report has its own code and its own text. The values start above 256 so
// that they never meet the code of UnavailableService.
enum class Error : std::int32_t {
    None = 0,
    // The command text itself.
    UnknownCommand = 257,
    MissingWord,
    ExtraWords,
    BadKeyword,
    BadQuote,
    EmptyPath,
    SavePathNotQuoted,
    // The alias.
    UnknownAlias,
    AliasNotAllowed,
    AliasInUse,
    NotOpen,
    // What the open device allows.
    NotARecording,
    CannotRecordIntoFile,
    RecordingRunning,
    PlaybackRunning,
    ReplyTooSmall,
    // Files.
    FileNotFound,
    FileNotReadable,
    NotAudio,
    RecordingFileFailed,
    SaveFolderMissing,
    SaveFolderNotWritable,
    SaveTargetIsFolder,
    SaveWriteFailed,
    SaveTooLong,
    // A recording cut short: everything before the cut is kept and can be saved.
    RecordingDiskFull,
    RecordingWriteFailed,
    RecordingTooLarge,
    RecordingFellBehind,
    // The sound system.
    NoOutputDevice,      // the server has no sink (no speakers or headphones)
    NoInputDevice,       // the server has no source (no microphone)
    FormatNotSupported,  // a rate or format the server does not take
    DeviceBusy,          // the device is in use by another program
    DeviceNotResponding, // the server does not answer in time (frozen, hung)
    NoSoundServer,       // no server to connect to
    SoundServerLost,     // the connection to the server broke while the device was open
    StreamRefused,       // the server refused or ended the stream for a reason of its own
    Last = StreamRefused,
};

// The Japanese text of a code, at most 255 bytes of UTF-8; nullptr for a code the device does not know.
const char* errorText(std::int32_t code);

// The text of a recording cut short, saying how many seconds were kept; at most 255 bytes of UTF-8.
std::string recordingCutText(Error reason, double keptSeconds);

} // namespace pikota::sound
