#pragma once

#include <memory>
#include <string>

namespace platform::host {

class SdlSoundOutput;
class SdlCaptureSource;

// The desktop's sound device behind the players and recorders, through SDL
// audio at 8000 Hz, one channel, 16 bits, as the voice clips are. Players keep
// their timed model and are heard through the output besides; recorders take
// their input from the capture device instead of the generated tone. A side
// whose device does not open keeps today's behaviour (silent timing, the
// generated input), so a machine without sound runs as before.
class HostAudio final {
public:
    static constexpr int kSampleRate = 8000;

    HostAudio();
    ~HostAudio();
    HostAudio(const HostAudio&) = delete;
    HostAudio& operator=(const HostAudio&) = delete;

    // Opens what can be opened and installs it. False (with the reason) when
    // neither side has a device; calling it again after a start does nothing.
    bool start(std::string* reason = nullptr);
    // Puts the timed models back and closes the devices.
    void stop();

    bool hasOutput() const { return output_ != nullptr; }
    bool hasInput() const { return input_ != nullptr; }

private:
    bool audioUp_ = false;
    std::shared_ptr<SdlSoundOutput> output_;
    std::shared_ptr<SdlCaptureSource> input_;
};

} // namespace platform::host
