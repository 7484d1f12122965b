// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/ReadSoundFile.h"

#include "track/ReadError.h"
#include "track/SndfileReader.h"

#include <cstring>

#include <fcntl.h>

using pikota::sound::Descriptor;
using pikota::sound::SoundFileHandle;

namespace {

// Whether the file begins as a WAV file does, in any of its kinds.
bool IsRiffFile(const InputFile& file) {
    unsigned char id[4];
    file.readAt(0, id, sizeof id);
    for (const char* riff : {"RIFF", "RIFX", "RF64"})
        if (std::memcmp(id, riff, sizeof id) == 0)
            return true;
    return false;
}

} // namespace

SoundFileReader::SoundFileReader(const QString& path) : file_(path) {
    const WavHeaders headers = WalkWavHeaders(file_);
    if (headers.readable())
        return;
    int error = 0;
    std::string why;
    sndfile_ = SoundFileHandle::open(std::make_shared<Descriptor>(::fcntl(file_.fd(), F_DUPFD_CLOEXEC, 0)),
                                     &error, &why);
    if (sndfile_ && (sndfile_->info().samplerate <= 0 || sndfile_->info().channels <= 0)) {
        sndfile_.reset();
        error = SF_ERR_MALFORMED_FILE;
        why = "no sample rate or no channels";
    }
    if (sndfile_)
        return;
    // A walk that failed fails the same way when the WAV reader reads the file: as it always did.
    if (headers.failed)
        return;
    if (!headers.refusal.isEmpty())
        throw SoundFileError("encoding that cannot be drawn", SoundFileError::Problem::Encoding,
                             headers.refusal);
    // A WAV file without data (a recorder that died, a header alone), or nothing libsndfile knows: no
    // sound. What libsndfile knows as another kind of file and cannot read is damaged.
    if (headers.format || error == SF_ERR_UNRECOGNISED_FORMAT || IsRiffFile(file_)) {
        hasSound_ = false;
        return;
    }
    RefuseSoundFile(error, why.c_str());
}

SoundFileReader::~SoundFileReader() = default;

void SoundFileReader::readInto(TrackSound& sound, const std::function<void(const QString& label)>& setLabel) {
    if (sndfile_)
        ReadWithSndfile(sound, file_, std::move(sndfile_), setLabel);
    else
        ReadWav(sound, file_, setLabel);
}

void ReadSoundFile(TrackSound& sound, const QString& path,
                   const std::function<void(const QString& label)>& setLabel) {
    SoundFileReader(path).readInto(sound, setLabel);
}
