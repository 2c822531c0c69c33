#pragma once

#include "platform/os/Value.h"

#include <string>

namespace core {

// One voice clip attachment.
struct SoundInfo final : platform::Object {
    std::string amrPath; // local AMR file: the form that is uploaded and downloaded
    std::string wavPath; // local WAV file: the form that is played
    std::string url; // the AMR file on the server
    int seconds = 0;

    std::string className() const override { return "SoundInfo"; }
};

} // namespace core
