#include "server/StaticMedia.h"

#include <cstdint>
#include <zlib.h>

namespace server {

namespace {

    void appendBigEndian32(std::string& out, std::uint32_t value)
    {
        out.push_back(static_cast<char>(value >> 24));
        out.push_back(static_cast<char>(value >> 16));
        out.push_back(static_cast<char>(value >> 8));
        out.push_back(static_cast<char>(value));
    }

    void appendChunk(std::string& png, const char* type, const std::string& data)
    {
        appendBigEndian32(png, static_cast<std::uint32_t>(data.size()));
        std::string typed = std::string(type, 4) + data;
        png += typed;
        uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
        appendBigEndian32(png, static_cast<std::uint32_t>(crc));
    }

} // namespace

std::string pngImage(std::string_view name, int size)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (unsigned char c : name)
        hash = (hash ^ c) * 16777619u;
    const unsigned char background[3] = { static_cast<unsigned char>(80 + (hash & 0x7f)),
        static_cast<unsigned char>(80 + ((hash >> 8) & 0x7f)), static_cast<unsigned char>(80 + ((hash >> 16) & 0x7f)) };

    // Filter byte 0 then RGB per pixel; a lighter disc in the middle.
    std::string raw;
    raw.reserve(static_cast<std::size_t>(size) * (size * 3 + 1));
    int centre = size / 2;
    for (int y = 0; y < size; ++y) {
        raw.push_back(0);
        for (int x = 0; x < size; ++x) {
            int dx = x - centre, dy = y - centre;
            bool inside = dx * dx + dy * dy < (size * size) / 9;
            for (unsigned char channel : background)
                raw.push_back(static_cast<char>(inside ? 255 - (255 - channel) / 3 : channel));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
        static_cast<uLong>(raw.size()), Z_BEST_SPEED);
    packed.resize(packedSize);

    std::string header;
    appendBigEndian32(header, static_cast<std::uint32_t>(size));
    appendBigEndian32(header, static_cast<std::uint32_t>(size));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", {});
    return png;
}

std::string amrSilence(int seconds)
{
    // Each NO_DATA frame (type 15) is one header byte and stands for 20 ms.
    std::string amr = "#!AMR\n";
    amr.append(static_cast<std::size_t>(seconds > 0 ? seconds : 1) * 50, '\x7c');
    return amr;
}

std::string mp4Placeholder()
{
    std::string mp4;
    appendBigEndian32(mp4, 24);
    mp4 += "ftypisom";
    appendBigEndian32(mp4, 0x200);
    mp4 += "isomiso2";
    appendBigEndian32(mp4, 8);
    mp4 += "free";
    return mp4;
}

} // namespace server
