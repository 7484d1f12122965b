#pragma once

#include "platform/sound/Engine.h"

#include <memory>

namespace pikota::sound {

// The engine on PortAudio, through the ALSA "default" device (which reaches PulseAudio or PipeWire on
// a desktop). PortAudio is started by the first open, never before; an open that fails (no server, no
// device) shuts it down again so that the next open looks afresh. What ALSA and JACK print on stderr
// while PortAudio starts and opens devices, and ALSA's reports of underruns, are silenced.
std::shared_ptr<Engine> makePortAudioEngine();

} // namespace pikota::sound
