#pragma once

#include "Engine.h"

#include <memory>

namespace pikota::sound {

// The engine on PortAudio, through the ALSA "default" device (which reaches PulseAudio or PipeWire on
// a desktop). PortAudio is started when the first stream opens and shut down when the last one
// closes, so every open sees the devices and the sound server as they are now. What ALSA and JACK
// print on stderr while PortAudio starts and opens devices is silenced.
std::shared_ptr<Engine> makePortAudioEngine();

} // namespace pikota::sound
