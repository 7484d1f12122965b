// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/Engine.h"

#include <memory>

namespace pikota::sound {

// The engine on PulseAudio's client library (asynchronous API, threaded main loop), which PulseAudio
// serves and, on PipeWire desktops, pipewire-pulse. It starts connecting to the server the moment it is
// made, on its own thread, so that the first open finds the connection ready; an open that finds the
// connection gone connects afresh, so a server that comes back is used again.
//
// - Playback is float, recording signed 16-bit, each on a stream of its own that is created corked at
//   open; start() uncorks it, stop() corks it and throws away what the server still holds, so nothing
//   stale or doubled is heard after a pause.
// - The stream's clock is the server's own account of the frame being heard (the read index less the
//   sink's latency), asked for four times a second, every 10 ms while a playback starts, and run on
//   between answers by the rules of PlaybackClock.h; dacTime is where a buffer lands in the stream (its
//   write index): after a dropout the position follows the sound.
// - No call waits longer than about 1.5 s. A running stream that makes no progress for 1.2 s, or whose
//   server does not answer for as long, fails with DeviceNotResponding, and the connection is dropped; a
//   server that goes away fails the streams with SoundServerLost.
std::shared_ptr<Engine> makePulseEngine();

} // namespace pikota::sound
