// Partial decoding through libjpeg-turbo's suspending data source: the
// decoder is handed the bytes received so far and "suspends" where they end,
// instead of being fed a fake end marker. In buffered-image mode a progressive
// file shows its last whole scan over the full picture.
//
// Fatal codec errors longjmp back here as JpegInternal.h tells; every C++
// object a function owns is created before its setjmp.

#include "platform/graphics/ProgressiveJpeg.h"

#include "platform/graphics/GraphicsInternal.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/graphics/JpegInternal.h"

namespace platform {

namespace {

    using graphics_internal::acceptablePixelSize;
    using graphics_internal::decodable;
    using graphics_internal::JpegError;
    using graphics_internal::JpegWarnings;

    // A source holding what has arrived; asking for more suspends the decoder.
    void sourceInit(j_decompress_ptr) { }
    boolean sourceFill(j_decompress_ptr) { return FALSE; }
    void sourceSkip(j_decompress_ptr info, long count)
    {
        auto* src = info->src;
        if (count <= 0)
            return;
        if (static_cast<std::size_t>(count) > src->bytes_in_buffer) {
            // Past what has arrived: the next read suspends.
            src->next_input_byte += src->bytes_in_buffer;
            src->bytes_in_buffer = 0;
            return;
        }
        src->next_input_byte += count;
        src->bytes_in_buffer -= static_cast<std::size_t>(count);
    }
    void sourceTerm(j_decompress_ptr) { }

    void installSource(jpeg_decompress_struct& info, jpeg_source_mgr& source, const std::uint8_t* data, std::size_t size)
    {
        source.init_source = sourceInit;
        source.fill_input_buffer = sourceFill;
        source.skip_input_data = sourceSkip;
        source.resync_to_restart = jpeg_resync_to_restart;
        source.term_source = sourceTerm;
        source.next_input_byte = data;
        source.bytes_in_buffer = size;
        info.src = &source;
    }

    // Zeroes the decoder and its source and installs the error handling: every
    // warning the decoder gives on data it has (extraneous bytes, bad Huffman
    // codes, ...) means the bytes are corrupt and is noted in err.corrupt.
    // Running out of data never warns here: the source suspends instead.
    void prepareDecoder(jpeg_decompress_struct& info, jpeg_source_mgr& source, JpegError& err)
    {
        std::memset(&info, 0, sizeof info);
        std::memset(&source, 0, sizeof source);
        info.err = graphics_internal::prepareJpegErrors(err, JpegWarnings::NoteCorrupt);
    }

    // After the setjmp: creates the decoder reading what has arrived.
    void openDecoder(jpeg_decompress_struct& info, jpeg_source_mgr& source, const std::uint8_t* data, std::size_t size)
    {
        jpeg_create_decompress(&info);
        installSource(info, source, data, size);
    }

    std::uint32_t bigEndian32(const std::uint8_t* p)
    {
        return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
    }

    std::optional<std::pair<int, int>> jpegPixelSize(const std::uint8_t* data, std::size_t size)
    {
        jpeg_decompress_struct info;
        jpeg_source_mgr source;
        JpegError err;
        prepareDecoder(info, source, err);
        if (setjmp(err.jump)) {
            jpeg_destroy_decompress(&info);
            return std::nullopt;
        }
        openDecoder(info, source, data, size);
        int rc = jpeg_read_header(&info, TRUE);
        bool ok = rc == JPEG_HEADER_OK && !err.corrupt && acceptablePixelSize(info.image_width, info.image_height);
        int w = static_cast<int>(info.image_width), h = static_cast<int>(info.image_height);
        jpeg_destroy_decompress(&info);
        if (!ok)
            return std::nullopt;
        return std::make_pair(w, h);
    }

} // namespace

std::optional<std::pair<int, int>> imagePixelSizeFromPrefix(const std::uint8_t* data, std::size_t size)
{
    if (!data)
        return std::nullopt;
    switch (Image::sniffFormat(data, size)) {
    case ImageFormat::PNG: {
        // Signature, then the IHDR chunk: length, type, width, height.
        if (size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0)
            return std::nullopt;
        std::uint32_t w = bigEndian32(data + 16), h = bigEndian32(data + 20);
        if (!acceptablePixelSize(w, h))
            return std::nullopt;
        return std::make_pair(static_cast<int>(w), static_cast<int>(h));
    }
    case ImageFormat::JPEG:
        return jpegPixelSize(data, size);
    default:
        return std::nullopt;
    }
}

std::optional<PartialImage> decodePartialJPEG(const std::uint8_t* data, std::size_t size, double scale)
{
    if (!data || Image::sniffFormat(data, size) != ImageFormat::JPEG)
        return std::nullopt;
    jpeg_decompress_struct info;
    jpeg_source_mgr source;
    JpegError err;
    std::vector<std::uint8_t> row;
    PartialImage result;
    prepareDecoder(info, source, err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    openDecoder(info, source, data, size);
    // The whole-file decoder's limits, held to the bytes received so far and
    // checked before jpeg_start_decompress: a progressive file's coefficients
    // for the whole picture are allocated there, and the picture right after.
    // A sound file has at least twice the bytes the limit asks of its size,
    // so a real download passes after a small share of it has come.
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || err.corrupt
        || !decodable(info.image_width, info.image_height, size, Image::kMaxJpegPixelsPerByte)
        || info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    info.out_color_space = JCS_EXT_RGBA;
    bool progressive = jpeg_has_multiple_scans(&info);
    info.buffered_image = progressive ? TRUE : FALSE;
    bool started = jpeg_start_decompress(&info);
    result.image = Image(static_cast<int>(info.image_width), static_cast<int>(info.image_height), scale);
    if (result.image.isNull()) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    if (started && info.output_components == 4 && info.output_width == info.image_width) {
        auto& px = result.image.mutablePixels();
        row.resize(static_cast<std::size_t>(info.output_width) * 4);
        bool readRows = true;
        if (progressive) {
            int status;
            do
                status = jpeg_consume_input(&info);
            while (status != JPEG_SUSPENDED && status != JPEG_REACHED_EOI);
            // The scan being read when the bytes ran out is not whole; show the
            // one before it (or the first, as far as it goes).
            int scan = info.input_scan_number;
            if (!jpeg_input_complete(&info) && scan > 1)
                --scan;
            readRows = jpeg_start_output(&info, scan);
        }
        while (readRows && info.output_scanline < info.output_height) {
            std::size_t y = info.output_scanline;
            JSAMPROW rows[1] = { row.data() };
            if (jpeg_read_scanlines(&info, rows, 1) != 1)
                break;
            std::memcpy(&px[y * info.output_width * 4], row.data(), row.size());
        }
        result.rowsDecoded = static_cast<int>(info.output_scanline);
        if (result.rowsDecoded == result.image.pixelHeight()) {
            // Whole when the end marker is among the bytes (a progressive file's
            // input was read to it above; a baseline file reads on to it here).
            result.complete = progressive ? jpeg_input_complete(&info) : jpeg_finish_decompress(&info);
        }
    }
    bool corrupt = err.corrupt;
    jpeg_destroy_decompress(&info);
    if (corrupt)
        return std::nullopt;
    return result;
}

std::optional<std::vector<std::uint8_t>> encodeProgressiveJPEG(const Image& source, double quality)
{
    if (source.isNull())
        return std::nullopt;
    if (!(quality == quality))
        quality = 0.75;
    quality = quality < 0 ? 0 : (quality > 1 ? 1 : quality);
    int codecQuality = static_cast<int>(quality * 100 + 0.5);
    if (codecQuality < 1)
        codecQuality = 1;

    return graphics_internal::encodeJpegRgb(source, codecQuality, true);
}

} // namespace platform
