#include "foundation/codec/Base64.h"

#include "tests/foundation/codec/ToolRunner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace foundation;

namespace {

using platform::Bytes;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::string textOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

Bytes randomBytes(std::mt19937& rng, std::size_t length)
{
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes out(length);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(byte(rng));
    return out;
}

std::string stripPadding(std::string text)
{
    while (!text.empty() && text.back() == '=')
        text.pop_back();
    return text;
}

TEST(Base64Tool, StandardEncodingMatchesBase64ForEveryTailLength)
{
    std::mt19937 rng(7);
    // Lengths 1 to 40 cover every tail (0, 1 and 2 bytes left over) several times.
    for (std::size_t length = 1; length <= 40; ++length) {
        const Bytes data = randomBytes(rng, length);
        const std::string expected = codectest::trimNewline(codectest::runTool("base64 -w0", textOf(data)));
        const auto encoded = Base64::stringByEncodingData(data);
        ASSERT_TRUE(encoded) << length;
        EXPECT_EQ(*encoded, expected) << length;
        const auto decoded = Base64::decodeString(expected);
        ASSERT_TRUE(decoded) << length;
        EXPECT_EQ(*decoded, data) << length;
    }
}

TEST(Base64Tool, DecodesTheToolsWrappedLinesOfEveryByteValue)
{
    Bytes all(256 * 3);
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    // base64 breaks its output every 76 characters; the decoder skips the breaks.
    const std::string wrapped = codectest::runTool("base64", textOf(all));
    ASSERT_NE(wrapped.find('\n'), wrapped.size() - 1);
    const auto decoded = Base64::decodeString(wrapped);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, all);
    const auto decodedBytes = Base64::decodeBytes(wrapped.data(), wrapped.size());
    ASSERT_TRUE(decodedBytes);
    EXPECT_EQ(*decodedBytes, all);
}

TEST(Base64Tool, WebSafeEncodingMatchesBasenc)
{
    std::mt19937 rng(11);
    for (std::size_t length = 1; length <= 30; ++length) {
        // Bytes above 0xF8 make "+" and "/" likely, which the URL-safe alphabet replaces.
        Bytes data = randomBytes(rng, length);
        data[0] |= 0xF8;
        const std::string expected = codectest::trimNewline(codectest::runTool("basenc --base64url -w0", textOf(data)));
        const auto padded = Base64::stringByWebSafeEncodingData(data, true);
        const auto bare = Base64::stringByWebSafeEncodingBytes(data.data(), data.size(), false);
        ASSERT_TRUE(padded && bare) << length;
        EXPECT_EQ(*padded, expected) << length;
        EXPECT_EQ(*bare, stripPadding(expected)) << length;
        const auto fromPadded = Base64::webSafeDecodeString(*padded);
        const auto fromBare = Base64::webSafeDecodeString(*bare);
        ASSERT_TRUE(fromPadded && fromBare) << length;
        EXPECT_EQ(*fromPadded, data);
        EXPECT_EQ(*fromBare, data);
    }
}

TEST(Base64Tool, ByteLevelResultsEqualTextResults)
{
    const Bytes data = bytesOf("any carnal pleas");
    const auto asBytes = Base64::encodeData(data);
    const auto asText = Base64::stringByEncodingBytes(data.data(), data.size());
    ASSERT_TRUE(asBytes && asText);
    EXPECT_EQ(textOf(*asBytes), *asText);
    EXPECT_EQ(*asText, codectest::trimNewline(codectest::runTool("base64 -w0", textOf(data))));
    const auto back = Base64::decodeData(*asBytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, data);
    const auto webBytes = Base64::webSafeEncodeBytes(data.data(), data.size(), false);
    ASSERT_TRUE(webBytes);
    const auto webBack = Base64::webSafeDecodeBytes(webBytes->data(), webBytes->size());
    ASSERT_TRUE(webBack);
    EXPECT_EQ(*webBack, data);
}

TEST(Base64Padding, OneByteGivesTwoCharactersAndPadOnlyWhereAsked)
{
    const Bytes one { 0x01 };
    EXPECT_EQ(Base64::stringByEncodingData(one), "AQ==");
    EXPECT_EQ(Base64::stringByWebSafeEncodingData(one, false), "AQ");
    EXPECT_EQ(Base64::stringByWebSafeEncodingData(one, true), "AQ==");
    EXPECT_EQ(Base64::stringByEncodingData(Bytes { 0xFB, 0xFF }), "+/8=");
    EXPECT_EQ(Base64::stringByWebSafeEncodingData(Bytes { 0xFB, 0xFF }, false), "-_8");
}

TEST(Base64Padding, EncodingNothingGivesNoResult)
{
    EXPECT_FALSE(Base64::encodeData({}));
    EXPECT_FALSE(Base64::stringByEncodingBytes("", 0));
    EXPECT_FALSE(Base64::webSafeEncodeData({}, true));
    EXPECT_FALSE(Base64::stringByWebSafeEncodingBytes(nullptr, 3, false));
}

TEST(Base64Padding, StandardDecoderRequiresPaddingWebSafeDoesNot)
{
    EXPECT_FALSE(Base64::decodeString("AQ"));
    EXPECT_FALSE(Base64::decodeString("AQI"));
    const auto web = Base64::webSafeDecodeString("AQ");
    ASSERT_TRUE(web);
    EXPECT_EQ(*web, (Bytes { 0x01 }));
    const auto webThree = Base64::webSafeDecodeString("AQI");
    ASSERT_TRUE(webThree);
    EXPECT_EQ(*webThree, (Bytes { 0x01, 0x02 }));
    // A single character left over cannot make a byte in either alphabet.
    EXPECT_FALSE(Base64::webSafeDecodeString("AQIDB"));
    EXPECT_FALSE(Base64::decodeString("AQIDB==="));
}

TEST(Base64Padding, MalformedPaddingAndLeftoverBitsAreRejected)
{
    EXPECT_FALSE(Base64::decodeString("AR==")) << "leftover bits not zero";
    EXPECT_FALSE(Base64::decodeString("AQJ=")) << "leftover bits not zero";
    EXPECT_FALSE(Base64::decodeString("AQ=")) << "two characters need two pad characters";
    EXPECT_FALSE(Base64::decodeString("AQ=x")) << "two characters need two pad characters";
    EXPECT_FALSE(Base64::decodeString("A===")) << "one character cannot be padded";
    EXPECT_FALSE(Base64::decodeString("====")) << "a group cannot start with padding";
    EXPECT_FALSE(Base64::decodeString("AQ==AQ==")) << "only blanks may follow the padding";
    EXPECT_FALSE(Base64::decodeString("AQI==")) << "a third pad character";
    EXPECT_FALSE(Base64::decodeString("AQ*=")) << "outside the alphabet";
    EXPECT_FALSE(Base64::decodeString("-_8=")) << "URL-safe characters in the standard alphabet";
    EXPECT_FALSE(Base64::webSafeDecodeString("+/8=")) << "standard characters in the URL-safe alphabet";
    EXPECT_FALSE(Base64::decodeString("QUJD\xC3\xA9")) << "text that is not ASCII";
    EXPECT_FALSE(Base64::decodeString("")) << "empty input";
}

TEST(Base64Padding, BlanksMayStandAnywhereAndAZeroByteEndsTheInput)
{
    const auto spaced = Base64::decodeString(" A\tQ\r\n=\n\v=  \f");
    ASSERT_TRUE(spaced);
    EXPECT_EQ(*spaced, (Bytes { 0x01 }));

    const Bytes latin1Blanks { 'Q', 0xA0, 'U', 'J', 0xFF, 'D' };
    const auto decoded = Base64::decodeData(latin1Blanks);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(textOf(*decoded), "ABC");

    const std::string withZero("QUJD\0garbage", 12);
    const auto truncated = Base64::decodeBytes(withZero.data(), withZero.size());
    ASSERT_TRUE(truncated);
    EXPECT_EQ(textOf(*truncated), "ABC");
}

TEST(Base64Raw, DestinationTooSmallIsRefusedNotOverrun)
{
    const char source[] = "hello world";
    char exact[16] = {};
    ASSERT_EQ(Base64::calcEncodedLength(11, true), 16u);
    EXPECT_EQ(Base64::baseEncode(source, 11, exact, sizeof exact, Base64::kStandardCharset, true), 16u);
    EXPECT_EQ(std::string(exact, 16), "aGVsbG8gd29ybGQ=");

    char small[15] = {};
    EXPECT_EQ(Base64::baseEncode(source, 11, small, sizeof small, Base64::kStandardCharset, true), 0u);
    EXPECT_EQ(Base64::baseEncode(source, 11, small, sizeof small, Base64::kStandardCharset, false), 15u);

    char decoded[8] = {};
    EXPECT_EQ(Base64::baseDecode(exact, 16, decoded, sizeof decoded, Base64::kStandardCharset, true), 0u);
    char roomy[12] = {};
    EXPECT_EQ(Base64::baseDecode(exact, 16, roomy, sizeof roomy, Base64::kStandardCharset, true), 11u);
    EXPECT_EQ(std::string(roomy, 11), "hello world");
}

TEST(Base64Raw, AnyAlphabetRoundTrips)
{
    // A reversed alphabet: decoding must build its table from the charset given.
    const std::string reversed(Base64::kStandardCharset, Base64::kStandardCharset + 64);
    const std::string charset(reversed.rbegin(), reversed.rend());
    const Bytes data { 0x00, 0x10, 0x83, 0x10, 'Q', 0x87, ' ', 'c' };
    const auto encoded = Base64::baseEncode(data.data(), data.size(), charset.c_str(), true);
    ASSERT_TRUE(encoded);
    EXPECT_NE(textOf(*encoded), *Base64::stringByEncodingData(data));
    const auto decoded = Base64::baseDecode(encoded->data(), encoded->size(), charset.c_str(), true);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, data);
}

} // namespace
