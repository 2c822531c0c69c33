#pragma once

#include <string>
#include <string_view>

namespace server {

// Small stand-ins for the pictures, voice clips and videos the demo data
// points at, made on request so the data folder holds only what clients send.

// A square RGB PNG whose colours follow from the name, so each avatar or
// photo looks different and the same name always gives the same bytes.
std::string pngImage(std::string_view name, int size);

// An AMR-NB storage file ("#!AMR\n") of silent frames lasting the given seconds.
std::string amrSilence(int seconds);

// A minimal MP4 file header for the video addresses (the client's player
// models playback; it does not decode).
std::string mp4Placeholder();

} // namespace server
