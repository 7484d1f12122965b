// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Every format that libsndfile reads, read into a track as a WAV file of the same sound would be; damaged
// files; and the overview's life.
#include "platform/sound/SoundService.h"
#include "platform/sound/VirtualEngine.h"
#include "platform/sound/WaveAudioService.h"
#include "tests/support/FakeLoadedFile.h"
#include "track/LoadedFile.h"
#include "track/ReadError.h"
#include "track/ReadSoundFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <thread>
#include <vector>

namespace {

// One sound, 16-bit, on two channels: tones of 440 and 660 Hz.
std::vector<std::int16_t> Sound(std::int64_t frames, int channels, int rate) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames * channels));
    for (std::int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            samples[static_cast<std::size_t>(f * channels + c)] = static_cast<std::int16_t>(std::lrint(
                9000 * std::sin(2 * std::numbers::pi * (c ? 660 : 440) * static_cast<double>(f) / rate)));
    return samples;
}

// What libsndfile decodes of the file: the frames it holds.
std::int64_t Decoded(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return -1;
    std::vector<float> piece(static_cast<std::size_t>(4096 * info.channels));
    std::int64_t frames = 0;
    for (sf_count_t got; (got = sf_readf_float(file, piece.data(), 4096)) > 0;)
        frames += got;
    sf_close(file);
    return frames;
}

// How far a decoded stretch lies from the sound: its RMS difference over the sound's RMS.
double Distance(const std::int16_t* decoded, const std::int16_t* sound, std::size_t count, int stride) {
    double error = 0, energy = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double s = sound[i * static_cast<std::size_t>(stride)];
        error += (decoded[i] - s) * (decoded[i] - s);
        energy += s * s;
    }
    return std::sqrt(error / energy);
}

struct Format {
    const char* name;
    int format;
    int rate;
    int channels;
    double tolerance; // of Distance: 0 for a lossless format
};

const Format kFormats[] = {
    {"FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 0},
    {"AIFF", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 44100, 2, 0},
    {"CAF", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 44100, 2, 0},
    {"W64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 22050, 2, 0},
    {"big-endian WAV (RIFX)", SF_FORMAT_WAV | SF_FORMAT_PCM_16 | SF_ENDIAN_BIG, 44100, 2, 0},
    {"IMA ADPCM WAV", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 44100, 2, 0.05},
    {"Microsoft ADPCM WAV", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 44100, 2, 0.05},
    {"GSM 6.10 WAV", SF_FORMAT_WAV | SF_FORMAT_GSM610, 8000, 1, 0.5},
    {"Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, 0.1},
    {"Ogg Opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 2, 0.2},
    {"MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, 0.1},
};

class SoundFileTest : public ::testing::Test {
protected:
    std::string Write(const Format& f, std::int64_t frames, const std::vector<std::int16_t>& sound) {
        const std::string path = dir.filePath(QStringLiteral("sound")).toStdString();
        SF_INFO info{};
        info.samplerate = f.rate;
        info.channels = f.channels;
        info.format = f.format;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (!file)
            throw std::runtime_error(std::string("cannot write ") + f.name + ": " + sf_strerror(nullptr));
        if ((f.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
            // libsndfile 1.2.0 writes MP3 wrongly from 16-bit samples (what it decodes is all but noise),
            // rightly from floats.
            std::vector<float> floats(sound.begin(), sound.end());
            for (float& x : floats)
                x /= 32768;
            sf_writef_float(file, floats.data(), frames);
        } else {
            sf_writef_short(file, sound.data(), frames);
        }
        sf_close(file);
        return path;
    }
    void Read(const std::string& path) {
        track.LeftSamples->fill(0);
        track.RightSamples->fill(0);
        track.SampleLimit = kLastSampleIndex;
        ReadSoundFile(track, QString::fromStdString(path), [this](const QString& text) { label = text; });
        if (!track.File || track.File->inArrays())
            return;
        // What the label says once the overview has counted the frames.
        while (track.File->overviewRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        label = track.File->label();
    }
    // The device's length of the file, once it has counted what a header may not say right.
    std::string DeviceLength(const std::string& path, const std::string& expected) {
        const std::string open = "open " + path + " type waveaudio alias wfile";
        EXPECT_EQ(pikota::sound::sendCommand(*device, open.c_str()).code, 0);
        std::string length;
        for (int i = 0; i < 500; ++i) {
            length = pikota::sound::sendCommand(*device, "status wfile length").text.value_or("");
            if (length == expected)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pikota::sound::sendCommand(*device, "close wfile");
        return length;
    }
    static QString Seconds(std::int64_t frames, int rate) {
        const double s = std::floor(static_cast<double>(frames) / rate * 10 + 0.5) / 10;
        return QStringLiteral(" %1秒").arg(s);
    }

    QTemporaryDir dir;
    Track track;
    QString label;
    std::unique_ptr<pikota::sound::SoundService> device =
        pikota::sound::makeSoundService(std::make_shared<pikota::sound::VirtualEngine>());
};

// The same sound in every format, short, longer than the arrays, and cut short: its length, counted (what
// can still be decoded, when cut); its first two channels in the arrays as a 16-bit WAV file of it would be,
// within what the codec changes; a window read from beyond the arrays; and the device's length, which
// agrees. A file that libsndfile knows but cannot read is refused, with why; one in which no sound is
// found is no failure of the read, but says so.
TEST_F(SoundFileTest, EveryFormatIsReadAsAWavFileOfTheSameSound) {
    for (const Format& f : kFormats) {
        for (const auto& [written, cut] :
             {std::pair{std::int64_t{2} * f.rate, false}, {600000, false}, {600000, true}}) {
            // Plain samples cut short: their headers are checked against the file's length, as always.
            if (cut && f.tolerance == 0 && f.format != (SF_FORMAT_FLAC | SF_FORMAT_PCM_16))
                continue;
            SCOPED_TRACE(std::string(f.name) + ", " + std::to_string(written) +
                         (cut ? " frames, cut" : " frames"));
            const auto sound = Sound(written, f.channels, f.rate);
            const std::string path = Write(f, written, sound);
            if (cut)
                std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
            const std::int64_t holds = Decoded(path);
            ASSERT_GE(holds, cut ? 1 : written);
            Read(path);
            EXPECT_EQ(track.FullScale, 65536);
            EXPECT_EQ(track.waveFormat.nSamplesPerSec, f.rate);
            EXPECT_EQ(track.waveFormat.nChannels, f.channels);
            ASSERT_TRUE(track.File);
            EXPECT_EQ(track.File->frames(), holds);
            EXPECT_EQ(track.SampleLimit, std::min<std::int64_t>(holds, kLastSampleIndex));
            const std::int64_t labelled = track.File->inArrays() ? track.SampleLimit : holds;
            EXPECT_TRUE(label.endsWith(Seconds(labelled, f.rate))) << label.toStdString();
            EXPECT_EQ(track.File->inArrays(), holds <= kLastSampleIndex + 1);

            const auto stored =
                static_cast<std::size_t>(std::min<std::int64_t>({holds, written, kLastSampleIndex + 1}));
            EXPECT_LE(Distance(track.LeftSamples->data(), sound.data(), stored, f.channels), f.tolerance);
            if (f.channels > 1) {
                EXPECT_LE(Distance(track.RightSamples->data(), sound.data() + 1, stored, 2), f.tolerance);
            }
            std::int16_t window[882];
            if (holds > 550882) {
                ASSERT_EQ(track.File->readFirstChannel(550000, 882, window), 882u);
                EXPECT_LE(Distance(window, sound.data() + 550000 * f.channels, 882, f.channels), f.tolerance);
                EXPECT_EQ(track.File->readFirstChannel(holds, 882, window), 0u);
            }
            const std::string ms = std::to_string(holds * 1000 / f.rate);
            EXPECT_EQ(DeviceLength(path, ms), ms);
        }
    }

    const auto reason = [](const std::string& path) {
        try {
            return SoundFileReader(QString::fromStdString(path)).hasSound() ? QString() : NoSoundReason();
        } catch (const SoundFileError& error) {
            EXPECT_TRUE(error.named());
            return error.reason();
        }
    };
    const std::string caf = Write(kFormats[2], 1000, Sound(1000, 2, 44100));
    std::filesystem::resize_file(caf, 40);
    EXPECT_TRUE(reason(caf).startsWith(QStringLiteral("ファイルが壊れているため、読み込めません（詳細: ")))
        << reason(caf).toStdString();
    const std::string junk = dir.filePath(QStringLiteral("notes.mp3")).toStdString();
    std::ofstream(junk) << "not a sound at all";
    EXPECT_EQ(reason(junk), NoSoundReason());
}

// An overview is made once, from the start to the end, however often it is asked for; one ended early is
// not finished; what it has shown never changes.
TEST(LoadedFileOverview, IsMadeOnceAndACancelledOneIsNotFinished) {
    pikota::test::FakeLoadedFile file(10 * 256);
    file.startOverview();
    file.startOverview();
    file.release();
    while (file.overviewRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(file.overviewFinished());
    EXPECT_EQ(file.framesRead(), file.frames());
    EXPECT_EQ(file.ready().size(), std::size_t{10});

    pikota::test::FakeLoadedFile cancelled(100000 * 256); // about 0.3 s in the making
    cancelled.release();
    cancelled.startOverview();
    cancelled.cancelOverview();
    EXPECT_FALSE(cancelled.overviewFinished());
    EXPECT_FALSE(cancelled.overviewRunning());
    cancelled.startOverview(); // not again
    EXPECT_FALSE(cancelled.overviewRunning());
}

} // namespace
