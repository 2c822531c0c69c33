#pragma once

#include "platform/graphics/Image.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

// Pictures that are still arriving. A download shows what it has so far: the
// rows of a baseline JPEG received up to now, or the whole picture at the
// detail of the scans of a progressive JPEG received up to now.
//
// This is apart from Image::decode on purpose: a cut-off file is what a
// partial decode expects, while a whole-file decode refuses it. Corrupt bytes
// (the codec's corrupt-data warnings) are refused here as well.
struct PartialImage {
    // Full size; rows not received yet are transparent.
    Image image;
    // Rows that hold received data from the top (every row once a progressive
    // scan has come whole).
    int rowsDecoded = 0;
    // Every byte of the picture was there.
    bool complete = false;
};

// Pixel width and height from the first bytes of a PNG or JPEG; nullopt until
// the header has arrived, for other formats and for absurd sizes (beyond
// Image::kMaxDimension or Image::kMaxPixels).
std::optional<std::pair<int, int>> imagePixelSizeFromPrefix(const std::uint8_t* data, std::size_t size);

// The picture the first `size` bytes of a JPEG give. nullopt before the header
// is complete, for CMYK pictures (shown once they are whole), for absurd sizes
// and for corrupt data.
std::optional<PartialImage> decodePartialJPEG(const std::uint8_t* data, std::size_t size, double scale = 1.0);

// A progressive JPEG (several scans, coarse to fine) at a quality 0…1, as
// Image::encodeJPEG maps it. Null images give nullopt.
std::optional<std::vector<std::uint8_t>> encodeProgressiveJPEG(const Image& image, double quality);

} // namespace platform
