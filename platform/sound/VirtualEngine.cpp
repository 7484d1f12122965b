// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/VirtualEngine.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pikota::sound {

namespace {
constexpr std::size_t kBlockFrames = 512;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;
} // namespace

class VirtualEngine::VirtualStream final : public Stream {
public:
    VirtualStream(VirtualEngine& engine, int rate, int channels, OutputSource* source, InputSink* sink)
        : engine_(engine), rate_(rate), channels_(channels), source_(source), sink_(sink) {
        engine_.streams_.push_back(this);
    }
    ~VirtualStream() override { std::erase(engine_.streams_, this); }

    Error start() override {
        running_ = true;
        startNs_ = engine_.nowNs_;
        frames_ = 0;
        engine_.run(*this); // an output stream is filled up to its latency at once, like a real device
        return Error::None;
    }
    void stop() override { running_ = false; }
    double time() const override { return static_cast<double>(engine_.nowNs_) / kNsPerSecond; }
    Error error() const override { return Error::None; }
    Error check() override { return error(); }

    VirtualEngine& engine_;
    const int rate_;
    const int channels_;
    OutputSource* const source_;
    InputSink* const sink_;
    bool running_ = false;
    std::int64_t startNs_ = 0;
    std::int64_t frames_ = 0;
};

VirtualEngine::VirtualEngine()
    : signal_([](double seconds, int) { return 0.5 * std::sin(2 * std::numbers::pi * 440.0 * seconds); }) {}

VirtualEngine::~VirtualEngine() = default;

void VirtualEngine::advance(std::chrono::nanoseconds duration) {
    nowNs_ += duration.count();
    // Copy: a callback never opens or closes streams, but keep the loop safe regardless.
    const std::vector<VirtualStream*> streams = streams_;
    for (VirtualStream* stream : streams)
        if (stream->running_)
            run(*stream);
}

std::chrono::nanoseconds VirtualEngine::now() const { return std::chrono::nanoseconds(nowNs_); }

void VirtualEngine::setInputSignal(std::function<double(double, int)> signal) { signal_ = std::move(signal); }
void VirtualEngine::setOutputLatency(std::chrono::microseconds latency) { latency_ = latency; }
void VirtualEngine::setOutputAvailable(bool available) { outputAvailable_ = available; }
void VirtualEngine::setInputAvailable(bool available) { inputAvailable_ = available; }

bool VirtualEngine::outputRunning() const {
    return std::any_of(streams_.begin(), streams_.end(), [](auto* s) { return s->source_ && s->running_; });
}
bool VirtualEngine::inputRunning() const {
    return std::any_of(streams_.begin(), streams_.end(), [](auto* s) { return s->sink_ && s->running_; });
}

void VirtualEngine::run(VirtualStream& stream) {
    const std::int64_t rate = stream.rate_;
    std::int64_t horizonNs = nowNs_ - stream.startNs_;
    if (stream.source_)
        horizonNs += std::chrono::duration_cast<std::chrono::nanoseconds>(latency_).count();
    const std::int64_t target = horizonNs * rate / kNsPerSecond;
    std::vector<float> out;
    std::vector<std::int16_t> in;
    while (stream.running_ && stream.frames_ < target) {
        const auto frames =
            static_cast<std::size_t>(std::min<std::int64_t>(kBlockFrames, target - stream.frames_));
        const double startSeconds =
            static_cast<double>(stream.startNs_) / kNsPerSecond + static_cast<double>(stream.frames_) / rate;
        if (stream.source_) {
            out.assign(frames * kOutputChannels, 0.0f);
            stream.source_->render(out.data(), frames, startSeconds, false);
            played_.insert(played_.end(), out.begin(), out.end());
        } else {
            in.resize(frames * stream.channels_);
            for (std::size_t f = 0; f < frames; ++f) {
                const double t = startSeconds + static_cast<double>(f) / rate;
                for (int c = 0; c < stream.channels_; ++c) {
                    const double v = std::clamp(signal_(t, c), -1.0, 1.0);
                    in[f * stream.channels_ + c] = static_cast<std::int16_t>(std::lround(v * 32767.0));
                }
            }
            stream.sink_->capture(in.data(), frames);
        }
        stream.frames_ += static_cast<std::int64_t>(frames);
    }
}

Error VirtualEngine::openOutput(int rate, OutputSource& source, std::unique_ptr<Stream>& stream) {
    if (!outputAvailable_)
        return Error::NoOutputDevice;
    outputRate_ = rate;
    stream = std::make_unique<VirtualStream>(*this, rate, kOutputChannels, &source, nullptr);
    return Error::None;
}

Error VirtualEngine::openInput(int rate, int channels, InputSink& sink, std::unique_ptr<Stream>& stream) {
    if (!inputAvailable_)
        return Error::NoInputDevice;
    stream = std::make_unique<VirtualStream>(*this, rate, channels, nullptr, &sink);
    return Error::None;
}

} // namespace pikota::sound
