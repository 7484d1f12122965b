#pragma once

#include <cstdint>

namespace pikota::sound {

// The string-command sound device as the program sees it: one command text in,
// an error code and a reply text out. Texts are the locale's narrow encoding (UTF-8).
class SoundService {
public:
    virtual ~SoundService() = default;

    // Carries out one command. A reply, if the command has one, is written into
    // `reply` NUL-terminated within `size` bytes. Returns 0 on success, otherwise
    // an error code; what the device wrote into `reply` then means nothing.
    virtual std::int32_t sendString(const char* command, char* reply, std::uint32_t size) = 0;

    // Writes the NUL-terminated text of an error code within `size` bytes.
    // Returns false (and writes nothing) for a code it does not know.
    virtual bool errorString(std::int32_t code, char* text, std::uint32_t size) = 0;
};

} // namespace pikota::sound
