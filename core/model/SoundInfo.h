#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One voice clip attachment. An empty text stands for a path or address not
// known yet.
struct SoundInfo final : platform::Object {
    std::string amrPath; // local AMR file: the form that is uploaded and downloaded
    std::string wavPath; // local WAV file: the form that is played
    std::string url; // the AMR file on the server
    int seconds = 0;

    // From one element of a voice list: "url" (a text, trimmed of white space
    // and line breaks) and "seconds" (a number; a text is ignored). Null for
    // anything but a dictionary.
    static std::shared_ptr<SoundInfo> soundWithObj(const platform::Value& obj);

    std::string className() const override { return "SoundInfo"; }
};

} // namespace core
