// libFuzzer target: PNG and JPEG decoding (downloaded pictures, avatars,
// album photos). A decoded picture has the pixels it says, stays within the
// decoding limits (the budget, and no more pixels than the bytes can hold),
// and nothing may crash.
#include "platform/graphics/Image.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using platform::Image;
    const auto format = Image::sniffFormat(data, size);
    (void)Image::jpegOrientation(data, size);
    auto image = Image::decode(data, size, size % 2 ? 2.0 : 1.0);
    if (!image)
        return 0;
    if (format == platform::ImageFormat::Unknown)
        std::abort();
    const std::size_t pixels = static_cast<std::size_t>(image->pixelWidth()) * image->pixelHeight();
    if (image->isNull() || image->pixels().size() != pixels * 4 || pixels > Image::kMaxDecodePixels)
        std::abort();
    if (format == platform::ImageFormat::JPEG
        && pixels > std::max(Image::kSmallDecodePixels, size * Image::kMaxJpegPixelsPerByte))
        std::abort();
    // What the screens do next with a picture: a thumbnail.
    if (pixels <= 1024 * 1024)
        (void)image->covering(platform::Size(120, 120));
    return 0;
}
