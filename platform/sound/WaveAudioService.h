// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/CommandParser.h"
#include "platform/sound/Engine.h"
#include "platform/sound/SoundService.h"

#include <memory>
#include <string>

namespace pikota::sound {

// The waveaudio device behind the string commands: one alias, `wfile`, which holds either a sound file
// opened for playback or a new recording (44100 Hz, 16-bit, 2 channels).
//
// - Positions and lengths are whole milliseconds (the only time format). The position is the frame
//   being heard; once playback has reached the end, position and length are the same text and
//   "play" plays nothing until "seek wfile to start".
// - "stop" keeps the position, "seek wfile to start" stops and goes back to 0, "play" resumes.
// - While a recording is open, "status wfile envelope F" answers what arrived from frame F on (from the
//   start without F): "first framesPerStep rate low high low high ...", at most 15 whole steps of the
//   left channel's lowest and highest sample (see EnvelopeRing::read), so that the next ask goes on from
//   first + steps x framesPerStep; asking twice gives the same answer. On a file it fails with
//   NotARecording.
// - A recording records, after a stop, on at its end. It can be played back (not while it records),
//   saved any number of times (not while it records) and is discarded by "close".
// - Commands the state does not allow fail with their own code and change nothing; "close wfile" with
//   nothing open fails with NotOpen.
// - Once the sound server has gone away or stopped answering, play, record, stop, seek, status and close
//   answer with that error (stop, seek and close still stop and close); what was recorded until then
//   can still be saved. No command waits on the server for longer than about 1.5 s.
//
// Call it from one thread (the window's); playback and recording run on the engine's threads.
class WaveAudioService final : public SoundService {
public:
    explicit WaveAudioService(std::shared_ptr<Engine> engine);
    ~WaveAudioService() override;

    std::int32_t sendString(const char* command, char* reply, std::uint32_t size) override;
    bool errorString(std::int32_t code, char* text, std::uint32_t size) override;

private:
    struct Device;

    Error execute(const Command& command, std::string& reply);
    Error openFile(const std::string& path);
    Error openNew();
    Error play();
    void stop();
    std::int64_t position();
    std::int64_t length() const;
    // The error of the first stream that no longer works: after looking (Stream::check), or as known.
    Error checkStreams();
    Error streamError() const;

    std::shared_ptr<Engine> engine_;
    std::unique_ptr<Device> device_;
};

// The real device, on PulseAudio's client library (served by PulseAudio, and by pipewire-pulse on
// PipeWire). It starts connecting to the sound server here, in the background, so that the first open
// does not wait; an open after the server went away connects afresh, so a server that comes back or
// appears later is found.
std::unique_ptr<SoundService> makeSoundService();

// The device on any engine, e.g. a VirtualEngine in tests (see VirtualEngine.h).
std::unique_ptr<SoundService> makeSoundService(std::shared_ptr<Engine> engine);

} // namespace pikota::sound
