#include "platform/graphics/Color.h"

#include "platform/os/StringUtil.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace platform {

namespace {

    double clampUnit(double v)
    {
        if (std::isnan(v))
            return 0;
        return std::clamp(v, 0.0, 1.0);
    }

    bool isScannerSpace(char16_t c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }

} // namespace

Color Color::clamped() const { return { clampUnit(red), clampUnit(green), clampUnit(blue), clampUnit(alpha) }; }

bool Color::isClose(const Color& other, double tolerance) const
{
    auto near = [tolerance](double x, double y) { return std::fabs(x - y) <= tolerance; };
    return near(red, other.red) && near(green, other.green) && near(blue, other.blue) && near(alpha, other.alpha);
}

std::array<std::uint8_t, 4> Color::toRGBA8() const
{
    Color c = clamped();
    auto byte = [](double v) { return static_cast<std::uint8_t>(std::lround(v * 255.0)); };
    return { byte(c.red), byte(c.green), byte(c.blue), byte(c.alpha) };
}

Color Color::fromRGBA8(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a)
{
    return { r / 255.0, g / 255.0, b / 255.0, a / 255.0 };
}

std::string Color::description() const
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "rgba(%.3f, %.3f, %.3f, %.3f)", red, green, blue, alpha);
    return buffer;
}

std::optional<Color> colorFromSixDigitHex(std::string_view text)
{
    // Counted in UTF-16 units, as the phone counts string lengths; invalid
    // UTF-8 cannot be a colour.
    auto units = toUtf16(text);
    if (!units || units->size() != 6)
        return std::nullopt;
    auto pair = [&](std::size_t at) {
        int value = 0;
        for (std::size_t i = at; i < at + 2; ++i) {
            int digit = platform::hexDigitValue((*units)[i]);
            if (digit < 0)
                break;
            value = value * 16 + digit;
        }
        return value / 255.0;
    };
    return Color(pair(0), pair(2), pair(4), 1.0);
}

Color colorFromHexString(std::string_view text)
{
    std::u16string units;
    for (char32_t cp : codePoints(text)) {
        if (cp == U'#')
            continue;
        if (cp > 0xFFFF) {
            // Outside the BMP: two units, like the phone's string.
            char32_t v = cp - 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp));
        }
    }
    if (units.size() == 3) {
        std::u16string widened;
        for (char16_t u : units) {
            widened.push_back(u);
            widened.push_back(u);
        }
        units = widened;
    }
    if (units.size() == 6)
        units += u"ff";

    std::size_t i = 0;
    while (i < units.size() && isScannerSpace(units[i]))
        ++i;
    if (i + 2 < units.size() && units[i] == u'0' && (units[i + 1] == u'x' || units[i + 1] == u'X')
        && platform::hexDigitValue(units[i + 2]) >= 0)
        i += 2;
    std::uint64_t value = 0;
    bool saturated = false;
    for (; i < units.size(); ++i) {
        int digit = platform::hexDigitValue(units[i]);
        if (digit < 0)
            break;
        if (!saturated) {
            value = value * 16 + static_cast<std::uint64_t>(digit);
            saturated = value > 0xFFFFFFFFull;
        }
    }
    if (saturated)
        value = 0xFFFFFFFFull;
    auto v = static_cast<std::uint32_t>(value);
    return Color(((v >> 24) & 0xFF) / 255.0, ((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0);
}

std::optional<Color> colorNamed(std::string_view name)
{
    std::string key = asciiToLower(name);
    key = replaceAll(key, "grey", "gray");
    struct Entry {
        const char* name;
        Color color;
    };
    static const Entry entries[] = {
        { "black", Color::blackColor() },
        { "darkgray", Color::darkGrayColor() },
        { "gray", Color::grayColor() },
        { "lightgray", Color::lightGrayColor() },
        { "white", Color::whiteColor() },
        { "clear", Color::clearColor() },
        { "red", Color::redColor() },
        { "green", Color::greenColor() },
        { "blue", Color::blueColor() },
        { "cyan", Color::cyanColor() },
        { "yellow", Color::yellowColor() },
        { "magenta", Color::magentaColor() },
        { "orange", Color::orangeColor() },
        { "purple", Color::purpleColor() },
        { "brown", Color::brownColor() },
    };
    for (const Entry& e : entries) {
        if (key == e.name)
            return e.color;
    }
    return std::nullopt;
}

} // namespace platform
