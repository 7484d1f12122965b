// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/SndfileReader.h"

#include "track/InputFile.h"
#include "track/LoadedFile.h"
#include "track/TimeLabel.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

using pikota::sound::SoundFileHandle;

namespace {

// Frames decoded at a time.
constexpr sf_count_t kPieceFrames = 16384;
// The most frames a byte of any compressed file holds (Opus at 6 kbit/s and 48 kHz has 64), for a file
// whose header does not say how long it is.
constexpr std::int64_t kMostFramesPerByte = 128;

// The range of the first channel of `count` frames of `channels` floats: the extremes first, converted
// once, as FromFloat stores each.
SampleRange FirstChannelRange(const float* in, sf_count_t count, int channels) {
    SampleRange range;
    float low = std::numeric_limits<float>::max(), high = std::numeric_limits<float>::lowest();
    bool nan = false;
    for (sf_count_t f = 0; f < count; ++f) {
        const float v = in[f * channels];
        nan |= v != v;
        low = v < low ? v : low;
        high = v > high ? v : high;
    }
    if (low <= high)
        range.add({FromFloat(low), FromFloat(high)});
    if (nan)
        range.add({0, 0});
    return range;
}

// A file read through libsndfile that is longer than the arrays. One handle decodes it from the start for
// the overview; another seeks to the frames the scope asks for. Once the overview is made, its handle
// serves the scope: a decoder that has read the whole file (an MP3 decoder's index of its frames) seeks
// quickest.
class SndfileFile final : public LoadedFile {
public:
    SndfileFile(const InputFile& file, std::unique_ptr<SoundFileHandle> reading, std::int64_t frames,
                std::int64_t capacity)
        : LoadedFile(file.path(), file.identity(), reading->info().samplerate, reading->info().channels,
                     frames, true, capacity, true),
          reading_(std::move(reading)), window_(reading_->another()), preroll_(PrerollOf(reading_->info())) {
        // An MP3 decoder finds a frame it has not seen yet by walking to it from the last one it knows (0.4 s
        // from the start to the end of an hour): the scope's walks to the end at once, beside the overview,
        // and knows every frame from then on.
        // It walks in 64 steps, each a short hold of the handle, so that neither a window nor the end of the
        // file waits long for it.
        if (window_ && (window_->info().format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG)
            walk_ = std::jthread([this](std::stop_token stop) {
                const sf_count_t end = std::max<sf_count_t>(0, window_->info().frames - 1);
                for (sf_count_t step = 1; step <= 64 && !stop.stop_requested(); ++step) {
                    std::lock_guard lock(windowMutex_);
                    if (window_ && sf_seek(window_->get(), end * step / 64, SEEK_SET) < 0)
                        break;
                }
            });
    }
    ~SndfileFile() override { cancelOverview(); }

    using LoadedFile::blocks;
    using LoadedFile::setOverviewStart;

    std::size_t readFirstChannel(std::int64_t first, std::size_t count, std::int16_t* out) const override {
        std::lock_guard lock(windowMutex_);
        if (!window_ || first < 0 || first >= frames())
            return 0;
        count = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(count), frames() - first));
        if (!windowTo(first))
            return 0;
        const int channels = this->channels();
        windowPiece_.resize(count * static_cast<std::size_t>(channels));
        const sf_count_t got = std::max<sf_count_t>(
            0, sf_readf_float(window_->get(), windowPiece_.data(), static_cast<sf_count_t>(count)));
        windowAt_ += got;
        for (sf_count_t f = 0; f < got; ++f)
            out[f] = FromFloat(windowPiece_[static_cast<std::size_t>(f * channels)]);
        return static_cast<std::size_t>(got);
    }

protected:
    std::int64_t rangesOfNext(std::span<SampleRange> blocks, std::int64_t firstFrame) override {
        const int channels = this->channels();
        piece_.resize(static_cast<std::size_t>(kPieceFrames * channels));
        const sf_count_t got = sf_readf_float(reading_->get(), piece_.data(), kPieceFrames);
        if (got <= 0) {
            // Made: the handle that read it all serves the scope from now on.
            std::lock_guard lock(windowMutex_);
            window_ = std::move(reading_);
            windowAt_ = firstFrame;
            return 0;
        }
        const std::int64_t perBlock = framesPerBlock();
        for (sf_count_t at = 0; at < got;) {
            const std::int64_t frame = firstFrame + at;
            const auto block = static_cast<std::size_t>(frame / perBlock);
            const sf_count_t n = std::min<sf_count_t>(got - at, perBlock - frame % perBlock);
            if (block < blocks.size())
                blocks[block].add(FirstChannelRange(piece_.data() + at * channels, n, channels));
            at += n;
        }
        return got;
    }

private:
    // Takes the scope's handle to `frame` (its lock held): a seek, or where the decoder cannot seek (GSM
    // 6.10), decoding on to it from where it stands, or from the start.
    bool windowTo(std::int64_t frame) const {
        if (window_->info().seekable) {
            const std::int64_t from = std::max<std::int64_t>(0, frame - preroll_);
            if (sf_seek(window_->get(), from, SEEK_SET) == from) {
                windowAt_ = from;
                return skipTo(frame);
            }
            // Some decoders cannot go on after a seek that failed (FLAC past where a file was cut).
            window_ = window_->another();
            return false;
        }
        if (frame < windowAt_) {
            window_ = window_->another();
            windowAt_ = 0;
            if (!window_)
                return false;
        }
        return skipTo(frame);
    }
    // Decodes on from where the scope's handle stands to `frame`.
    bool skipTo(std::int64_t frame) const {
        windowPiece_.resize(static_cast<std::size_t>(kPieceFrames * channels()));
        while (windowAt_ < frame) {
            const sf_count_t got = sf_readf_float(window_->get(), windowPiece_.data(),
                                                  std::min<sf_count_t>(kPieceFrames, frame - windowAt_));
            if (got <= 0)
                return false;
            windowAt_ += got;
        }
        return true;
    }
    // How far before a window the scope's handle seeks. An MP3 decoder sets out from a seek without the
    // frame before (the overlap of its transform, its reservoir of bits) and gives wrong samples for a
    // frame of 1152; an Opus decoder wants 80 ms to settle.
    static std::int64_t PrerollOf(const SF_INFO& info) {
        if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG)
            return 2 * 1152;
        if ((info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS)
            return info.samplerate * 80 / 1000;
        return 0;
    }

    std::unique_ptr<SoundFileHandle> reading_; // the overview's, on its thread
    mutable std::mutex windowMutex_;
    mutable std::unique_ptr<SoundFileHandle> window_; // the scope's
    mutable std::int64_t windowAt_ = 0;               // where it stands
    const std::int64_t preroll_;
    std::jthread walk_;
    std::vector<float> piece_;
    mutable std::vector<float> windowPiece_;
};

// The format of a WAV file of the same sound: 16-bit PCM of the file's channels and rate.
WaveFormat FormatOf(const SF_INFO& info) {
    WaveFormat f;
    f.wFormatTag = 1;
    f.nChannels = static_cast<std::int16_t>(std::min(info.channels, 32767));
    f.nSamplesPerSec = info.samplerate;
    f.nBlockAlign = static_cast<std::int16_t>(2 * f.nChannels);
    f.nAvgBytesPerSec = static_cast<std::int32_t>(std::min<std::int64_t>(
        std::int64_t{info.samplerate} * f.nBlockAlign, std::numeric_limits<std::int32_t>::max()));
    f.wBitsPerSample = 16;
    return f;
}

} // namespace

void ReadWithSndfile(TrackSound& track, const InputFile& file, std::unique_ptr<SoundFileHandle> handle,
                     const std::function<void(const QString& label)>& setLabel) {
    track.File.reset();
    const SF_INFO info = handle->info();
    const int channels = std::max(info.channels, 1);
    track.waveFormat = FormatOf(info);
    const unsigned char noBody[40] = {};
    track.Coding = ClassifyWavFormat(track.waveFormat, noBody, 16);
    track.FullScale = 65536;

    // The arrays' frames and one more, which tells whether there are more than they hold.
    constexpr std::int64_t kWanted = kLastSampleIndex + 2;
    std::vector<float> piece(static_cast<std::size_t>(kPieceFrames * channels));
    std::int16_t* left = track.LeftSamples->data();
    std::int16_t* right = track.RightSamples->data();
    std::int64_t decoded = 0;
    float beyond = 0; // the first channel of the frame after the arrays
    while (decoded < kWanted) {
        const sf_count_t got = sf_readf_float(handle->get(), piece.data(),
                                              std::min<sf_count_t>(kPieceFrames, kWanted - decoded));
        if (got <= 0)
            break; // the end of what can be decoded
        for (sf_count_t f = 0; f < got; ++f, ++decoded) {
            const float* frame = &piece[static_cast<std::size_t>(f * channels)];
            if (decoded > kLastSampleIndex) {
                beyond = frame[0];
                continue;
            }
            left[decoded] = FromFloat(frame[0]);
            if (channels > 1)
                right[decoded] = FromFloat(frame[1]);
        }
    }
    track.SampleLimit = static_cast<std::int32_t>(std::min<std::int64_t>(track.SampleLimit, decoded));

    if (decoded < kWanted) {
        setLabel(TimeLabelText(track, file.path()));
        track.File = FileInArrays(file.path(), file.identity(), info.samplerate, channels, decoded);
        return;
    }

    // Longer than the arrays: the overview decodes on from here and counts what follows. Until it has, the
    // length is the header's, or a guess from how much of the file the arrays took.
    const bool known = info.frames > 0 && info.frames != SF_COUNT_MAX;
    const auto guess = std::max<std::int64_t>(
        kWanted,
        static_cast<std::int64_t>(static_cast<double>(file.length()) /
                                  static_cast<double>(std::max<std::int64_t>(handle->bytesRead(), 1)) *
                                  static_cast<double>(kWanted)));
    const std::int64_t frames = known ? std::max<std::int64_t>(info.frames, kWanted) : guess;
    const std::int64_t capacity = known ? frames : std::max(guess, file.length() * kMostFramesPerByte);
    auto loaded = std::make_unique<SndfileFile>(file, std::move(handle), frames, capacity);
    // The blocks of the frames decoded so far, from the arrays.
    const std::span<SampleRange> blocks = loaded->blocks();
    const std::int64_t perBlock = loaded->framesPerBlock();
    for (std::int64_t f = 0; f <= kLastSampleIndex; ++f)
        blocks[static_cast<std::size_t>(f / perBlock)].add({left[f], left[f]});
    const std::int16_t last = FromFloat(beyond);
    blocks[static_cast<std::size_t>((kWanted - 1) / perBlock)].add({last, last});
    loaded->setOverviewStart(kWanted);
    const QString label = loaded->label();
    loaded->startOverview();
    track.File = std::move(loaded);
    setLabel(label);
}
