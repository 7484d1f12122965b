// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/SoundFileHandle.h"
#include "track/InputFile.h"
#include "track/Track.h"
#include "track/WavReader.h"

#include <QString>

#include <functional>
#include <memory>

// A sound file opened and looked at before anything of a track changes, and then read into one. A WAV
// file that the WAV reader reads (it finds a data chunk, after a format it draws) goes to the WAV reader,
// and so does one in which no sound is found; every other file to libsndfile.
class SoundFileReader {
public:
    // Throws SoundFileError: the file is not found, cannot be read or is no plain file; its WAV encoding
    // cannot be drawn and libsndfile cannot read it either (named); libsndfile knows it but cannot read it
    // (named, with why).
    explicit SoundFileReader(const QString& path);
    ~SoundFileReader();

    // False for a file in which no sound is found: no format or data chunk, and nothing libsndfile reads.
    // The WAV reader still reads it: it stores nothing but a format it finds, and gives no label.
    bool hasSound() const { return hasSound_; }

    // Reads the file into `sound`, whose arrays the caller has zeroed and whose SampleLimit it has set to
    // 500000, and hands the time label to setLabel. Throws SoundFileError as the reader does.
    void readInto(TrackSound& sound, const std::function<void(const QString& label)>& setLabel);

private:
    InputFile file_;
    bool hasSound_ = true;
    std::unique_ptr<pikota::sound::SoundFileHandle> sndfile_; // set when libsndfile reads it
};

// The reader's whole road in one call.
void ReadSoundFile(TrackSound& sound, const QString& path,
                   const std::function<void(const QString& label)>& setLabel);
