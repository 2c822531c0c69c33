#pragma once

#include "platform/media/WavFile.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Where players send their sound when the machine has a sound device (the
// window host installs one). Without one, players stay timed models that
// nothing hears. Called on the main thread; each player is one voice, named
// by an opaque key, and starting a voice again replaces what it played.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Plays the file's sound from the frame on, at the volume (0…1).
    virtual void play(
        const void* voice, const std::string& path, const WavFormat& format, std::uint64_t fromFrame, float volume)
        = 0;
    virtual void stop(const void* voice) = 0;
    virtual void setVolume(const void* /*voice*/, float /*volume*/) { }

    // The installed output; nullptr (the default) when there is no device.
    static std::shared_ptr<SoundOutput> current();
    static void setCurrent(std::shared_ptr<SoundOutput> output);
};

} // namespace platform
