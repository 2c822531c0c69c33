// Partial decoding through libjpeg-turbo's suspending data source: the
// decoder is handed the bytes received so far and "suspends" where they end,
// instead of being fed a fake end marker. In buffered-image mode a progressive
// file shows its last whole scan over the full picture.
//
// As in ImageCodecs.cpp, fatal codec errors longjmp back here; every C++ object
// a function owns is created before its setjmp.

#include "platform/graphics/ProgressiveJpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace platform {

namespace {

    bool acceptableSize(unsigned long w, unsigned long h)
    {
        return w > 0 && h > 0 && w <= static_cast<unsigned long>(Image::kMaxDimension)
            && h <= static_cast<unsigned long>(Image::kMaxDimension) && w * h <= Image::kMaxPixels;
    }

    struct PartialJpegError {
        jpeg_error_mgr base;
        std::jmp_buf jump;
        bool corrupt;
    };

    void partialErrorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<PartialJpegError*>(info->err)->jump, 1); }

    void partialEmitMessage(j_common_ptr info, int level)
    {
        // Level -1 is a warning: every warning the decoder gives on data it has
        // (extraneous bytes, bad Huffman codes, ...) means the bytes are corrupt.
        // Running out of data never warns here: the source suspends instead.
        if (level < 0)
            reinterpret_cast<PartialJpegError*>(info->err)->corrupt = true;
    }

    void partialOutputMessage(j_common_ptr) { }

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

    void prepareErrors(jpeg_decompress_struct& info, PartialJpegError& err)
    {
        info.err = jpeg_std_error(&err.base);
        err.base.error_exit = partialErrorExit;
        err.base.emit_message = partialEmitMessage;
        err.base.output_message = partialOutputMessage;
        err.corrupt = false;
    }

    std::uint32_t bigEndian32(const std::uint8_t* p)
    {
        return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
    }

    std::optional<std::pair<int, int>> jpegPixelSize(const std::uint8_t* data, std::size_t size)
    {
        jpeg_decompress_struct info;
        jpeg_source_mgr source;
        PartialJpegError err;
        std::memset(&info, 0, sizeof info);
        std::memset(&source, 0, sizeof source);
        prepareErrors(info, err);
        if (setjmp(err.jump)) {
            jpeg_destroy_decompress(&info);
            return std::nullopt;
        }
        jpeg_create_decompress(&info);
        installSource(info, source, data, size);
        int rc = jpeg_read_header(&info, TRUE);
        bool ok = rc == JPEG_HEADER_OK && !err.corrupt && acceptableSize(info.image_width, info.image_height);
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
        if (!acceptableSize(w, h))
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
    PartialJpegError err;
    std::vector<std::uint8_t> row;
    PartialImage result;
    std::memset(&info, 0, sizeof info);
    std::memset(&source, 0, sizeof source);
    prepareErrors(info, err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    installSource(info, source, data, size);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || err.corrupt
        || !acceptableSize(info.image_width, info.image_height) || info.jpeg_color_space == JCS_CMYK
        || info.jpeg_color_space == JCS_YCCK) {
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

    jpeg_compress_struct info;
    PartialJpegError err;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(source.pixelWidth()) * 3);
    std::vector<std::uint8_t> result;
    unsigned char* buffer = nullptr;
    unsigned long bufferSize = 0;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = partialErrorExit;
    err.base.emit_message = partialEmitMessage;
    err.base.output_message = partialOutputMessage;
    err.corrupt = false;
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
    jpeg_set_quality(&info, codecQuality, TRUE);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const auto& px = source.pixels();
    while (info.next_scanline < info.image_height) {
        const std::uint8_t* src = &px[static_cast<std::size_t>(info.next_scanline) * source.pixelWidth() * 4];
        for (int x = 0; x < source.pixelWidth(); ++x) {
            unsigned a = src[x * 4 + 3];
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

} // namespace platform
