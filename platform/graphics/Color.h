#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A colour as red, green, blue and alpha components in 0…1, not premultiplied,
// in the device RGB space. Components are stored as given; clamped() brings
// them into range and every drawing call clamps on use, so out-of-range or NaN
// components never reach the pixel buffers (NaN reads as 0).
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    constexpr Color() = default;
    constexpr Color(double r, double g, double b, double a = 1.0)
        : red(r)
        , green(g)
        , blue(b)
        , alpha(a)
    {
    }
    // Exact comparison; see isClose for computed colours.
    constexpr bool operator==(const Color&) const = default;

    // A grey level (0 black … 1 white) with an alpha.
    static constexpr Color fromWhite(double white, double alpha = 1.0) { return { white, white, white, alpha }; }
    // Components given out of 255, as the screens write them ("red 120, green 200, blue 28").
    static constexpr Color fromRGB255(double r, double g, double b, double alpha = 1.0)
    {
        return { r / 255.0, g / 255.0, b / 255.0, alpha };
    }

    // The named colours, with the platform's component values (the names keep
    // the "Color" suffix so that they do not clash with the component fields).
    static constexpr Color blackColor() { return fromWhite(0.0); }
    static constexpr Color darkGrayColor() { return fromWhite(1.0 / 3.0); }
    static constexpr Color grayColor() { return fromWhite(0.5); }
    static constexpr Color lightGrayColor() { return fromWhite(2.0 / 3.0); }
    static constexpr Color whiteColor() { return fromWhite(1.0); }
    static constexpr Color clearColor() { return { 0, 0, 0, 0 }; }
    static constexpr Color redColor() { return { 1, 0, 0 }; }
    static constexpr Color greenColor() { return { 0, 1, 0 }; }
    static constexpr Color blueColor() { return { 0, 0, 1 }; }
    static constexpr Color cyanColor() { return { 0, 1, 1 }; }
    static constexpr Color yellowColor() { return { 1, 1, 0 }; }
    static constexpr Color magentaColor() { return { 1, 0, 1 }; }
    static constexpr Color orangeColor() { return { 1, 0.5, 0 }; }
    static constexpr Color purpleColor() { return { 0.5, 0, 0.5 }; }
    static constexpr Color brownColor() { return { 0.6, 0.4, 0.2 }; }

    // The same colour with another alpha (the colour's own alpha is replaced).
    constexpr Color withAlpha(double a) const { return { red, green, blue, a }; }

    // Every component in 0…1; NaN becomes 0.
    Color clamped() const;
    bool isClear() const { return clamped().alpha == 0; }

    // Component-wise |difference| <= tolerance (NaN components never match).
    bool isClose(const Color& other, double tolerance = 1e-6) const;

    // 8-bit straight (not premultiplied) RGBA of the clamped colour, each
    // component rounded to the nearest of 0…255.
    std::array<std::uint8_t, 4> toRGBA8() const;
    static Color fromRGBA8(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a);

    // "rgba(r, g, b, a)" with three decimals, for logs and test messages.
    std::string description() const;
};

// The strict six-digit parser of the colour texts in layouts and server data:
// exactly six characters (counted as UTF-16 units), no "#". Characters 1–2,
// 3–4 and 5–6 are each read as a base-16 number that stops at the first
// character that is not a hex digit (so "g0" reads as 0 and "0g" as 0, "f" then
// anything else as 15); alpha 1. Any other length gives nullopt: "#ff3300" and
// "fff" are refused. Upper and lower case digits are both read.
std::optional<Color> colorFromSixDigitHex(std::string_view text);

// The lenient parser of the app-wide utility:
//  1. every "#" is removed;
//  2. a text of 3 characters has each doubled ("abc" → "aabbcc");
//  3. a text of 6 characters gets "ff" appended (opaque);
//  4. the text is scanned as one unsigned 32-bit hexadecimal number v: leading
//     white space is skipped, an optional "0x"/"0X" is accepted, and reading
//     stops at the first non-hex character; a text without any digit scans as 0;
//     a number beyond 32 bits saturates to 0xFFFFFFFF (opaque white), as the
//     platform's scanner does;
//  5. red = v>>24, green = (v>>16)&255, blue = (v>>8)&255, alpha = v&255, each /255.
// So "#FFF" is opaque white, "ff000080" red at alpha 128/255, "12" black at
// alpha 18/255, and a text that is not hexadecimal is transparent black.
Color colorFromHexString(std::string_view text);

// Colour names for layout files: "black", "darkGray", "gray", "lightGray",
// "white", "clear", "red", "green", "blue", "cyan", "yellow", "magenta",
// "orange", "purple", "brown" (case-insensitive; "grey" spellings accepted).
// Unknown names give nullopt.
std::optional<Color> colorNamed(std::string_view name);

} // namespace platform
