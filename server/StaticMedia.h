#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace server {

// Small stand-ins for the pictures, voice clips and videos the demo data
// points at, made on request so the data folder holds only what clients send.

// A square RGB PNG whose colours follow from the name, so each avatar or
// photo looks different and the same name always gives the same bytes.
std::string pngImage(std::string_view name, int size);

// A person's picture as a square PNG of `size` pixels: a colour that follows
// from `key`, with `mark` (one character of the name, so faces differ at a
// glance) drawn large in its middle. Drawn once per key, mark and size.
std::string avatarImage(std::string_view key, std::string_view mark, int size);

// The character a picture of the named person shows: the last of the name.
std::string avatarMark(std::string_view name);

// An AMR-NB storage file ("#!AMR\n") of silent frames lasting the given seconds.
std::string amrSilence(int seconds);

// A minimal MP4 file header for the video addresses (the client's player
// models playback; it does not decode).
std::string mp4Placeholder();

// A file of the demo photo folder ("mobile2/pull/static/photos/<name>"), which the image
// loaders and the photo browser are tried against:
//   "photo-<W>x<H>.jpg" / ".png"      a landscape picture of that pixel size
//   "progressive-<W>x<H>.jpg"         the same, written as a progressive JPEG
//   "large-progressive.jpg"           a 2400 x 1800 progressive JPEG
//   "not-an-image.jpg"                an HTML page answered with 200
//   "missing.jpg"                     404
// A name may carry "@2x" before its extension ("photo-64x64@2x.png"). Sizes
// run from 1 to 4000 pixels a side. Pictures are drawn once per name and kept.
struct MediaFile {
    int status = 200;
    std::string contentType;
    std::string body;
};
std::optional<MediaFile> photoMedia(std::string_view name);

} // namespace server
