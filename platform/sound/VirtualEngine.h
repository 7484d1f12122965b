// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/Engine.h"

#include <chrono>
#include <functional>
#include <vector>

namespace pikota::sound {

// An engine without sound hardware, for tests. Nothing happens until the test moves the clock:
//
//     #include "platform/sound/VirtualEngine.h"
//     #include "platform/sound/WaveAudioService.h"
//
//     auto engine = std::make_shared<pikota::sound::VirtualEngine>();
//     auto service = pikota::sound::makeSoundService(engine);
//     service->sendString("open new type waveaudio alias wfile", reply, 256);
//     service->sendString("record wfile", reply, 256);
//     engine->advance(std::chrono::milliseconds(100)); // 4410 frames of the input are recorded
//
// advance() runs the callbacks of the running streams on the calling thread for the frames that fall
// into the time, so when it returns everything is settled and exact:
//   - during playback "status wfile position" is the virtual time since "play wfile" (plus the position
//     it started from), in whole ms; the device renders ahead by the output latency, 0 unless set;
//   - during recording position and length are the frames captured so far;
//   - every frame that playback rendered is kept, 2 channels interleaved (mono files on both), and can
//     be inspected with played() / playedFrames();
//   - the input is a 440 Hz sine at half of full scale on every channel unless setInputSignal() says
//     otherwise.
// Use it from one thread only (the test's); the service's reader and writer threads are waited for.
class VirtualEngine final : public Engine {
public:
    VirtualEngine();
    ~VirtualEngine() override;

    void advance(std::chrono::nanoseconds duration);
    std::chrono::nanoseconds now() const;

    // Signal value in [-1, 1] at `seconds` of input time for `channel`.
    void setInputSignal(std::function<double(double seconds, int channel)> signal);
    // Time from rendering a frame to hearing it; positions are reported for the frame being heard.
    void setOutputLatency(std::chrono::microseconds latency);
    // Pretend there is no output or no input device (as with no sound server).
    void setOutputAvailable(bool available);
    void setInputAvailable(bool available);

    // Everything rendered by output streams so far, 2 channels interleaved, and the number of frames.
    const std::vector<float>& played() const { return played_; }
    std::size_t playedFrames() const { return played_.size() / kOutputChannels; }
    void clearPlayed() { played_.clear(); }
    // Rate of the last output stream opened, 0 if none.
    int outputRate() const { return outputRate_; }
    bool outputRunning() const;
    bool inputRunning() const;

    Error openOutput(int rate, OutputSource& source, std::unique_ptr<Stream>& stream) override;
    Error openInput(int rate, int channels, InputSink& sink, std::unique_ptr<Stream>& stream) override;

private:
    class VirtualStream;
    friend class VirtualStream;

    void run(VirtualStream& stream);

    std::int64_t nowNs_ = 0;
    std::chrono::microseconds latency_{0};
    std::function<double(double, int)> signal_;
    bool outputAvailable_ = true;
    bool inputAvailable_ = true;
    int outputRate_ = 0;
    std::vector<float> played_;
    std::vector<VirtualStream*> streams_;
};

} // namespace pikota::sound
