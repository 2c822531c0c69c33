#pragma once

#include <string>

namespace foundation {

// Converts recorded WAV files into AMR-NB files for upload, and downloaded AMR
// files into WAV files for playback.
class VoiceFileConverter final {
public:
    // True when at least one frame was written to the WAV file.
    static bool amrToWav(const std::string& amrPath, const std::string& wavSavePath);
    // A status code: 0 when at least one frame was written, 1 when none was.
    // (It runs the other way from amrToWav's result.)
    static int wavToAmr(const std::string& wavPath, const std::string& amrSavePath, int channels, int depth);
};

} // namespace foundation
