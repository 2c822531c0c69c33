// libFuzzer target: the partial JPEG decoder, as a download calls it on the
// bytes received so far (each tenth of the file, then the whole). Whatever a
// prefix gives stays within the decoding limits for the bytes it had, has the
// size the header says, shows its received rows opaque and the others
// transparent, and is complete only with every row; nothing may crash.
#include "platform/graphics/ProgressiveJpeg.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const std::uint8_t* data, std::size_t size, double scale)
{
    using platform::Image;
    auto partial = platform::decodePartialJPEG(data, size, scale);
    if (!partial)
        return;
    const Image& image = partial->image;
    const int width = image.pixelWidth(), height = image.pixelHeight();
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    if (image.isNull() || image.pixels().size() != pixels * 4 || pixels > Image::kMaxDecodePixels
        || pixels > std::max(Image::kSmallDecodePixels, size * Image::kMaxJpegPixelsPerByte))
        std::abort();
    auto header = platform::imagePixelSizeFromPrefix(data, size);
    if (!header || header->first != width || header->second != height)
        std::abort();
    if (partial->rowsDecoded < 0 || partial->rowsDecoded > height
        || (partial->complete && partial->rowsDecoded != height))
        std::abort();
    for (int y = 0; y < height; y += std::max(1, height / 64)) {
        const std::uint8_t alpha = image.pixelAt(width / 2, y)[3];
        if ((y < partial->rowsDecoded) != (alpha == 255) || (y >= partial->rowsDecoded && alpha != 0))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const double scale = size % 2 ? 2.0 : 1.0;
    for (std::size_t tenth = 1; tenth < 10; ++tenth)
        check(data, size * tenth / 10, scale);
    check(data, size, scale);
    return 0;
}
