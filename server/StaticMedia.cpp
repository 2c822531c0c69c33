#include "server/StaticMedia.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/ProgressiveJpeg.h"
#include "platform/graphics/Text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <mutex>
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

namespace {

    std::uint32_t nameHash(std::string_view name)
    {
        std::uint32_t hash = 2166136261u; // FNV-1a
        for (unsigned char c : name)
            hash = (hash ^ c) * 16777619u;
        return hash;
    }

    platform::Color fromHSB(double h, double s, double b)
    {
        double i = std::floor(h * 6), f = h * 6 - i;
        double p = b * (1 - s), q = b * (1 - f * s), t = b * (1 - (1 - f) * s);
        switch (static_cast<int>(i) % 6) {
        case 0:
            return { b, t, p };
        case 1:
            return { q, b, p };
        case 2:
            return { p, b, t };
        case 3:
            return { p, q, b };
        case 4:
            return { t, p, b };
        default:
            return { b, p, q };
        }
    }

    // A landscape: sky, sun, two ranges of hills and a lake, coloured after the
    // name, with fine stripes on the near hills so that zooming and the coarse
    // scans of a progressive file show a difference.
    std::optional<platform::Image> drawLandscape(std::string_view name, int width, int height)
    {
        auto context = platform::Context::createBitmap(platform::Size(width, height), 1.0);
        if (!context)
            return std::nullopt;
        auto& c = *context;
        std::uint32_t hash = nameHash(name);
        double hue = (hash % 360) / 360.0;
        double w = width, h = height;
        auto tone = [&](double shift, double s, double b) { return fromHSB(std::fmod(hue + shift, 1.0), s, b); };
        // The sky's gradient stops where the far hills start; below it the
        // canvas takes its last colour, so no unpainted band shows between hills.
        c.setFillColor(tone(0.58, 0.25, 1.0));
        c.fillRect(platform::Rect(0, 0, w, h));
        c.drawLinearGradient({ { 0, tone(0.55, 0.55, 0.95) }, { 1, tone(0.58, 0.25, 1.0) } }, platform::Point(0, 0),
            platform::Point(0, h * 0.6));
        c.setFillColor(platform::Color(1.0, 0.9, 0.55, 1));
        double sun = std::max(4.0, std::min(w, h) * 0.12);
        c.fillEllipseInRect(platform::Rect(w * 0.7, h * 0.12, sun, sun));
        auto hills = [&](double base, double amplitude, double waves, const platform::Color& colour) {
            c.beginPath();
            c.moveTo(platform::Point(0, h));
            for (int x = 0; x <= 64; ++x) {
                double px = w * x / 64.0;
                c.lineTo(platform::Point(px, h * base - h * amplitude * std::sin(x / 64.0 * M_PI * waves + hue * 6)));
            }
            c.lineTo(platform::Point(w, h));
            c.closePath();
            c.setFillColor(colour);
            c.fillPath();
        };
        hills(0.58, 0.10, 3, tone(0.30, 0.35, 0.55));
        hills(0.72, 0.06, 5, tone(0.25, 0.55, 0.45));
        c.setStrokeColor(tone(0.25, 0.65, 0.35));
        c.setLineWidth(1);
        for (double y = h * 0.8; y < h * 0.86; y += 3) {
            c.beginPath();
            c.moveTo(platform::Point(0, y));
            c.lineTo(platform::Point(w * 0.55, y));
            c.strokePath();
        }
        c.drawLinearGradient({ { 0, tone(0.55, 0.50, 0.75) }, { 1, tone(0.58, 0.60, 0.55) } }, platform::Point(0, h * 0.86),
            platform::Point(0, h));
        return c.makeImage();
    }

    bool parseSize(std::string_view text, int& width, int& height)
    {
        auto x = text.find('x');
        if (x == std::string_view::npos)
            return false;
        auto parse = [](std::string_view digits, int& out) {
            auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
            return ec == std::errc() && end == digits.data() + digits.size() && out >= 1 && out <= 4000;
        };
        return parse(text.substr(0, x), width) && parse(text.substr(x + 1), height);
    }

    std::optional<MediaFile> makePhoto(std::string_view name)
    {
        if (name == "missing.jpg")
            return MediaFile { 404, "text/html; charset=UTF-8",
                "<!DOCTYPE html><html><head><title>404</title></head><body>Not found</body></html>" };
        if (name == "not-an-image.jpg")
            return MediaFile { 200, "text/html; charset=UTF-8",
                "<!DOCTYPE html><html><head><title>Photo</title></head><body><p>This is a page, not a "
                "picture.</p></body></html>" };
        std::string_view stem = name;
        bool progressive = false;
        int width = 0, height = 0;
        std::string_view extension;
        auto dot = stem.rfind('.');
        if (dot == std::string_view::npos)
            return std::nullopt;
        extension = stem.substr(dot + 1);
        stem = stem.substr(0, dot);
        if (stem.size() > 3 && stem.substr(stem.size() - 3) == "@2x")
            stem.remove_suffix(3);
        if (stem == "large-progressive" && extension == "jpg") {
            progressive = true;
            width = 2400;
            height = 1800;
        } else if (stem.rfind("photo-", 0) == 0 && (extension == "jpg" || extension == "png")) {
            if (!parseSize(stem.substr(6), width, height))
                return std::nullopt;
        } else if (stem.rfind("progressive-", 0) == 0 && extension == "jpg") {
            if (!parseSize(stem.substr(12), width, height))
                return std::nullopt;
            progressive = true;
        } else
            return std::nullopt;
        auto image = drawLandscape(stem, width, height);
        if (!image)
            return std::nullopt;
        std::optional<std::vector<std::uint8_t>> bytes;
        if (extension == "png")
            bytes = image->encodePNG();
        else if (progressive)
            bytes = platform::encodeProgressiveJPEG(*image, 0.85);
        else
            bytes = image->encodeJPEG(0.85);
        if (!bytes)
            return std::nullopt;
        return MediaFile { 200, extension == "png" ? "image/png" : "image/jpeg", std::string(bytes->begin(), bytes->end()) };
    }

} // namespace

std::string avatarMark(std::string_view name)
{
    // Back from the end over UTF-8 continuation bytes to the last character's start.
    std::size_t start = name.size();
    while (start > 0) {
        --start;
        if ((static_cast<unsigned char>(name[start]) & 0xC0) != 0x80)
            break;
    }
    return std::string(name.substr(start));
}

std::string avatarImage(std::string_view key, std::string_view mark, int size)
{
    static std::mutex mutex;
    static std::map<std::string, std::string, std::less<>> made;
    std::lock_guard lock(mutex);
    std::string id = std::string(key) + "|" + std::string(mark) + "|" + std::to_string(size);
    if (auto found = made.find(id); found != made.end())
        return found->second;

    std::string png;
    auto context = platform::Context::createBitmap(platform::Size(size, size), 1.0);
    if (context) {
        auto& c = *context;
        double side = size;
        double hue = (nameHash(key) % 360) / 360.0;
        c.drawLinearGradient({ { 0, fromHSB(hue, 0.45, 0.85) }, { 1, fromHSB(hue, 0.55, 0.65) } },
            platform::Point(0, 0), platform::Point(0, side));
        if (!mark.empty()) {
            platform::Font font = platform::Font::boldSystemFont(side * 0.5);
            double lineHeight = font.lineHeight();
            platform::drawText(c, mark, font, platform::Rect(0, (side - lineHeight) / 2, side, lineHeight),
                platform::Color::whiteColor(), platform::LineBreakMode::Clip, platform::TextAlignment::Center, 1);
        }
        if (auto bytes = c.makeImage().encodePNG())
            png.assign(bytes->begin(), bytes->end());
    }
    if (png.empty())
        png = pngImage(key, size);
    made.emplace(std::move(id), png);
    return png;
}

std::optional<MediaFile> photoMedia(std::string_view name)
{
    static std::mutex mutex;
    static std::map<std::string, std::optional<MediaFile>, std::less<>> made;
    std::lock_guard lock(mutex);
    auto found = made.find(name);
    if (found == made.end())
        found = made.emplace(std::string(name), makePhoto(name)).first;
    return found->second;
}

} // namespace server
