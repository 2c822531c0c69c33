// PNG and JPEG through libpng and libjpeg-turbo, from and to memory. How
// libjpeg's errors come back here is told in JpegInternal.h.

#include "platform/graphics/GraphicsInternal.h"
#include "platform/graphics/Image.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/graphics/JpegInternal.h"

namespace platform::graphics_internal {

namespace {

    void jpegErrorExit(j_common_ptr info)
    {
        auto* err = reinterpret_cast<JpegError*>(info->err);
        std::longjmp(err->jump, 1);
    }

    // Warnings the decoder may give about a sound file: a JFIF or Adobe
    // version it does not know. Every other warning is about corrupt data
    // (premature end of data or of a segment, a bad Huffman or arithmetic
    // code, a missing restart marker, an inconsistent progression, extraneous
    // bytes, a bad ICC marker): the library goes on and pads with grey; under
    // RefuseCorrupt we refuse the image at once.
    bool harmlessWarning(int code) { return code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM; }

    void jpegEmitMessage(j_common_ptr info, int level)
    {
        auto* err = reinterpret_cast<JpegError*>(info->err);
        if (level >= 0)
            return;
        switch (err->warnings) {
        case JpegWarnings::Ignore:
            break;
        case JpegWarnings::RefuseCorrupt:
            if (!harmlessWarning(err->base.msg_code))
                std::longjmp(err->jump, 1);
            break;
        case JpegWarnings::NoteCorrupt:
            err->corrupt = true;
            break;
        }
    }

    void jpegOutputMessage(j_common_ptr) { }

    // The most pixels a PNG of size bytes can hold, a byte of its file at a
    // time: each pixel takes bits (from the header's bit depth and colour
    // type) of the image data, and the deflate stream that carries that data
    // expands at most 1032 times. 0 for a header it cannot read.
    double pngPixelsPerByte(const std::uint8_t* data, std::size_t size)
    {
        // The signature, then IHDR: length, type, width, height, bit depth, colour type.
        if (size < 33 || std::memcmp(data + 12, "IHDR", 4) != 0)
            return 0;
        const int depth = data[24];
        int channels = 0;
        switch (data[25]) {
        case 0: // grey
        case 3: // palette
            channels = 1;
            break;
        case 2:
            channels = 3;
            break;
        case 4:
            channels = 2;
            break;
        case 6:
            channels = 4;
            break;
        default:
            return 0;
        }
        if (depth < 1 || depth > 16)
            return 0;
        return 1032.0 * 8 / (depth * channels);
    }

    // The decoder stops once it has the pixels, so a file cut inside or just before
    // its end chunk would still decode. A complete file is a chain of chunks that
    // fits the bytes exactly up to an intact IEND (whose CRC is a constant).
    bool pngIsComplete(const std::uint8_t* data, std::size_t size)
    {
        static const std::uint8_t iend[12] = { 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82 };
        std::size_t pos = 8;
        while (pos + 12 <= size) {
            std::size_t length = (std::size_t(data[pos]) << 24) | (std::size_t(data[pos + 1]) << 16)
                | (std::size_t(data[pos + 2]) << 8) | std::size_t(data[pos + 3]);
            if (length > size - pos - 12)
                return false;
            if (std::memcmp(data + pos + 4, "IEND", 4) == 0)
                return std::memcmp(data + pos, iend, 12) == 0;
            pos += 12 + length;
        }
        return false;
    }

} // namespace

std::optional<Image> decodePNG(const std::uint8_t* data, std::size_t size, double scale)
{
    if (!pngIsComplete(data, size))
        return std::nullopt;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size))
        return std::nullopt;
    if (!decodable(image.width, image.height, size, pngPixelsPerByte(data, size))) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGBA;
    Image out(static_cast<int>(image.width), static_cast<int>(image.height), scale);
    if (out.isNull()) {
        png_image_free(&image);
        return std::nullopt;
    }
    if (!png_image_finish_read(&image, nullptr, out.mutablePixels().data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> encodePNG(const Image& source)
{
    bool opaque = source.isOpaque();
    std::vector<std::uint8_t> rgb;
    const void* pixels = source.pixels().data();
    if (opaque) {
        // Opaque pictures are written without the alpha channel: a quarter smaller.
        rgb.resize(static_cast<std::size_t>(source.pixelWidth()) * source.pixelHeight() * 3);
        const auto& px = source.pixels();
        for (std::size_t i = 0, j = 0; i < px.size(); i += 4, j += 3)
            std::memcpy(&rgb[j], &px[i], 3);
        pixels = rgb.data();
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(source.pixelWidth());
    image.height = static_cast<png_uint_32>(source.pixelHeight());
    image.format = opaque ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, pixels, 0, nullptr))
        return std::nullopt;
    std::vector<std::uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels, 0, nullptr))
        return std::nullopt;
    out.resize(size);
    return out;
}

std::optional<Image> decodeJPEG(const std::uint8_t* data, std::size_t size, double scale)
{
    jpeg_decompress_struct info;
    JpegError err;
    std::vector<std::uint8_t> row;
    Image out;
    std::memset(&info, 0, sizeof info);
    info.err = prepareJpegErrors(err, JpegWarnings::RefuseCorrupt);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    // Checked before jpeg_start_decompress, which for a progressive file
    // allocates the coefficients of the whole picture.
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK
        || !decodable(info.image_width, info.image_height, size, Image::kMaxJpegPixelsPerByte)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    out = Image(static_cast<int>(info.output_width), static_cast<int>(info.output_height), scale);
    if (out.isNull() || info.output_components != 4) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    row.resize(static_cast<std::size_t>(info.output_width) * 4);
    auto& px = out.mutablePixels();
    // Adobe writes CMYK inverted (0 = full ink); other writers are rare enough
    // to treat the same way.
    bool inverted = info.saw_Adobe_marker;
    while (info.output_scanline < info.output_height) {
        std::size_t y = info.output_scanline;
        JSAMPROW rows[1] = { row.data() };
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            break;
        std::uint8_t* dst = &px[y * info.output_width * 4];
        if (!cmyk) {
            std::memcpy(dst, row.data(), row.size());
            continue;
        }
        for (std::size_t x = 0; x < info.output_width; ++x) {
            unsigned c = row[x * 4], m = row[x * 4 + 1], yy = row[x * 4 + 2], k = row[x * 4 + 3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                yy = 255 - yy;
                k = 255 - k;
            }
            dst[x * 4] = static_cast<std::uint8_t>((c * k + 127) / 255);
            dst[x * 4 + 1] = static_cast<std::uint8_t>((m * k + 127) / 255);
            dst[x * 4 + 2] = static_cast<std::uint8_t>((yy * k + 127) / 255);
            dst[x * 4 + 3] = 255;
        }
    }
    bool complete = info.output_scanline == info.output_height;
    if (complete)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (!complete)
        return std::nullopt;
    return out;
}

jpeg_error_mgr* prepareJpegErrors(JpegError& err, JpegWarnings warnings)
{
    jpeg_error_mgr* mgr = jpeg_std_error(&err.base);
    err.base.error_exit = jpegErrorExit;
    err.base.emit_message = jpegEmitMessage;
    err.base.output_message = jpegOutputMessage;
    err.warnings = warnings;
    err.corrupt = false;
    return mgr;
}

std::optional<std::vector<std::uint8_t>> encodeJPEG(const Image& source, int quality)
{
    return encodeJpegRgb(source, quality, false);
}

std::optional<std::vector<std::uint8_t>> encodeJpegRgb(const Image& source, int quality, bool progressive)
{
    jpeg_compress_struct info;
    JpegError err;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(source.pixelWidth()) * 3);
    std::vector<std::uint8_t> result;
    unsigned char* buffer = nullptr;
    unsigned long bufferSize = 0;
    std::memset(&info, 0, sizeof info);
    info.err = prepareJpegErrors(err, JpegWarnings::Ignore);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return std::nullopt;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &bufferSize);
    info.image_width = static_cast<JDIMENSION>(source.pixelWidth());
    info.image_height = static_cast<JDIMENSION>(source.pixelHeight());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const auto& px = source.pixels();
    while (info.next_scanline < info.image_height) {
        const std::uint8_t* src = &px[static_cast<std::size_t>(info.next_scanline) * source.pixelWidth() * 4];
        for (int x = 0; x < source.pixelWidth(); ++x) {
            unsigned a = src[x * 4 + 3];
            // Composed over black, as a premultiplied bitmap without alpha shows.
            for (int c = 0; c < 3; ++c)
                row[static_cast<std::size_t>(x) * 3 + c] = static_cast<std::uint8_t>((src[x * 4 + c] * a + 127) / 255);
        }
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    result.assign(buffer, buffer + bufferSize);
    std::free(buffer);
    return result;
}

} // namespace platform::graphics_internal
