// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/Errors.h"

#include <cstdint>
#include <memory>

namespace pikota::sound {

// Fills an output buffer. Called on the engine's audio thread (real engine) or inside
// VirtualEngine::advance (virtual engine). `dacTime` is the time on the stream's clock (Stream::time) at
// which the buffer's first frame will be heard. `realtime` is false when the caller can wait, so the
// source may block until its data is there; a real-time caller must never be made to wait.
class OutputSource {
public:
    virtual ~OutputSource() = default;
    virtual void render(float* out, std::size_t frames, double dacTime, bool realtime) = 0;
};

// Takes the frames of an input buffer, interleaved signed 16-bit. Same threads as OutputSource.
class InputSink {
public:
    virtual ~InputSink() = default;
    virtual void capture(const std::int16_t* in, std::size_t frames) = 0;
};

// One opened stream. stop() returns once no callback runs any more and none will until start(); after
// it, time() is the time of the last frame that is heard. No call waits long for a sound server that
// does not answer: the stream fails instead.
class Stream {
public:
    virtual ~Stream() = default;
    virtual Error start() = 0;
    virtual void stop() = 0;
    // The stream's clock in seconds, the same clock as the dacTime handed to OutputSource::render: the
    // time of the frame being heard now. It never goes back.
    virtual double time() const = 0;
    // None while the stream works. Once the sound server has gone away, stopped answering or ended the
    // stream, the reason, for good (SoundServerLost, DeviceNotResponding, StreamRefused); such a stream
    // plays and records nothing more and must be opened anew.
    virtual Error error() const = 0;
    // Looks whether the stream still works, and returns error(). Some failures are found only here: a
    // real recording has nothing watching it in the background, so one whose data stopped coming fails
    // (and its engine drops the connection to the server) when this is called. Its owner calls it before
    // each step that relies on the stream.
    virtual Error check() = 0;
};

// Where sound goes to and comes from. Output streams are float, 2 channels interleaved; input streams
// are signed 16-bit. Opening fails with NoSoundServer, NoOutputDevice / NoInputDevice,
// FormatNotSupported, DeviceBusy, StreamRefused or DeviceNotResponding; it must not hang.
class Engine {
public:
    virtual ~Engine() = default;
    virtual Error openOutput(int rate, OutputSource& source, std::unique_ptr<Stream>& stream) = 0;
    virtual Error openInput(int rate, int channels, InputSink& sink, std::unique_ptr<Stream>& stream) = 0;
};

inline constexpr int kOutputChannels = 2;

} // namespace pikota::sound
