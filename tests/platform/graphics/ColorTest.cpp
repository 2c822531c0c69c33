#include "platform/graphics/Color.h"

#include <gtest/gtest.h>

#include <limits>

using platform::Color;
using platform::colorFromHexString;
using platform::colorFromSixDigitHex;

namespace {

::testing::AssertionResult sameColor(const Color& actual, const Color& expected)
{
    if (actual.isClose(expected, 1e-9))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual.description() << " vs " << expected.description();
}

} // namespace

TEST(ColorTest, LenientParserWidensShortTextsAndReadsAlphaLast)
{
    EXPECT_TRUE(sameColor(colorFromHexString("#FFF"), Color(1, 1, 1, 1)));
    EXPECT_TRUE(sameColor(colorFromHexString("ff000080"), Color(1, 0, 0, 128 / 255.0)));
    EXPECT_TRUE(sameColor(colorFromHexString("12"), Color(0, 0, 0, 18 / 255.0)));
    EXPECT_TRUE(sameColor(colorFromHexString("#7fc410"), Color(0x7f / 255.0, 0xc4 / 255.0, 0x10 / 255.0, 1)));
    EXPECT_TRUE(sameColor(colorFromHexString("a5#4a#d1"), Color(0xa5 / 255.0, 0x4a / 255.0, 0xd1 / 255.0, 1)))
        << "every # is removed, not only a leading one";
    EXPECT_TRUE(sameColor(colorFromHexString("abc"), colorFromHexString("aabbcc")));
    // Five digits are scanned as they stand: 0x12345 → green 0x01, blue 0x23, alpha 0x45.
    EXPECT_TRUE(sameColor(colorFromHexString("12345"), Color(0, 1 / 255.0, 0x23 / 255.0, 0x45 / 255.0)));
}

TEST(ColorTest, LenientParserUnknownAndOverlongTexts)
{
    EXPECT_TRUE(sameColor(colorFromHexString(""), Color::clearColor()));
    EXPECT_TRUE(sameColor(colorFromHexString("zzz"), Color::clearColor())) << "not hexadecimal: transparent black";
    EXPECT_TRUE(sameColor(colorFromHexString("hello world"), Color::clearColor()));
    // Scanning stops at the first non-hex character after widening "1g2" → "11gg22ff".
    EXPECT_TRUE(sameColor(colorFromHexString("1g2"), Color(0, 0, 0, 0x11 / 255.0)));
    // Beyond 32 bits the scan saturates: opaque white.
    EXPECT_TRUE(sameColor(colorFromHexString("123456789"), Color(1, 1, 1, 1)));
    EXPECT_TRUE(sameColor(colorFromHexString("#ff0000ff00"), Color(1, 1, 1, 1)));
}

TEST(ColorTest, SixDigitParserRefusesOtherLengths)
{
    auto c = colorFromSixDigitHex("ff3300");
    ASSERT_TRUE(c.has_value());
    EXPECT_TRUE(sameColor(*c, Color(1, 0.2, 0, 1)));
    EXPECT_TRUE(sameColor(*colorFromSixDigitHex("A54AD1"), *colorFromSixDigitHex("a54ad1")));
    EXPECT_FALSE(colorFromSixDigitHex("#ff3300").has_value());
    EXPECT_FALSE(colorFromSixDigitHex("fff").has_value());
    EXPECT_FALSE(colorFromSixDigitHex("ff330000").has_value());
    EXPECT_FALSE(colorFromSixDigitHex("").has_value());
    // Six characters counted as the phone counts: two CJK characters and four digits.
    EXPECT_TRUE(colorFromSixDigitHex("红色1234").has_value());
    EXPECT_FALSE(colorFromSixDigitHex("\xff\xfe\xfd\xfc\xfb\xfa").has_value()) << "invalid UTF-8 is no colour";
}

TEST(ColorTest, SixDigitParserStopsEachPairAtANonHexCharacter)
{
    // "g0": the pair does not start with a digit, so it reads 0; "1z" reads 1.
    EXPECT_TRUE(sameColor(*colorFromSixDigitHex("g01zff"), Color(0, 1 / 255.0, 1, 1)));
    // A space is not skipped.
    EXPECT_TRUE(sameColor(*colorFromSixDigitHex(" fffff"), Color(0, 1, 1, 1)));
    EXPECT_TRUE(sameColor(*colorFromSixDigitHex("-1ffff"), Color(0, 1, 1, 1))) << "no sign is read";
}

TEST(ColorTest, NamedColoursAndVariants)
{
    EXPECT_TRUE(sameColor(Color::darkGrayColor(), Color(1 / 3.0, 1 / 3.0, 1 / 3.0, 1)));
    EXPECT_TRUE(sameColor(Color::lightGrayColor(), Color(2 / 3.0, 2 / 3.0, 2 / 3.0, 1)));
    EXPECT_TRUE(sameColor(Color::grayColor(), Color::fromWhite(0.5)));
    EXPECT_EQ(Color::clearColor().alpha, 0);
    EXPECT_TRUE(sameColor(Color::redColor().withAlpha(0.25), Color(1, 0, 0, 0.25)));
    EXPECT_TRUE(sameColor(Color::fromRGB255(120, 200, 28), Color(120 / 255.0, 200 / 255.0, 28 / 255.0, 1)));

    ASSERT_TRUE(platform::colorNamed("LightGrey").has_value());
    EXPECT_TRUE(sameColor(*platform::colorNamed("LightGrey"), Color::lightGrayColor()));
    EXPECT_TRUE(sameColor(*platform::colorNamed("clear"), Color::clearColor()));
    EXPECT_FALSE(platform::colorNamed("mauve").has_value());
}

TEST(ColorTest, ClampingAndEightBitConversion)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    Color wild(1.5, -0.2, nan, 2);
    EXPECT_TRUE(sameColor(wild.clamped(), Color(1, 0, 0, 1)));
    auto bytes = Color(0.5, 1, 0, 128 / 255.0).toRGBA8();
    EXPECT_EQ(bytes[0], 128);
    EXPECT_EQ(bytes[1], 255);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[3], 128);
    EXPECT_EQ(Color::fromRGBA8(12, 34, 56, 78).toRGBA8(), (std::array<std::uint8_t, 4> { 12, 34, 56, 78 }));
    EXPECT_FALSE(Color(nan, 0, 0, 1).isClose(Color(nan, 0, 0, 1)));
    EXPECT_TRUE(Color(0.5, 0, 0, 1).isClose(Color(0.5004, 0, 0, 1), 1e-3));
}
