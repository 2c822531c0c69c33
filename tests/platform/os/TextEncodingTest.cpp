#include "platform/os/TextEncoding.h"

#include "tests/platform/os/TextTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

// The iconv tool's conversion of the same bytes; nullopt when iconv refuses them.
std::optional<std::string> iconvTool(const std::string& bytes, const std::string& from, const std::string& to)
{
    textsupport::ScratchFolder folder;
    std::string file = folder.write("input", bytes);
    return textsupport::runCommand("iconv -f " + from + " -t " + to + " '" + file + "' 2>/dev/null");
}

const std::string kSample
    = "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95 school \xE5\xAE\xB6\xE6\xA0\xA1"; // 中文测试 school 家校

TEST(TextEncoding, DecodesGbkLikeIconv)
{
    std::optional<std::string> gbk = iconvTool(kSample, "UTF-8", "GBK");
    ASSERT_TRUE(gbk);
    EXPECT_EQ(decodeText(*gbk, kGBKStringEncoding), kSample);

    // A run of double-byte characters from across the GBK table, including
    // the extension areas that GB 2312 lacks (lead bytes 0x81.., 0xA8 0x40, 0xFE 0x4F).
    std::string bytes = "\xB0\xA1\xB0\xA2\xC4\xE3\xBA\xC3\x81\x40\x81\x80\xA8\x40\xFE\x4F\xA1\xA1 ok";
    std::optional<std::string> expected = iconvTool(bytes, "GBK", "UTF-8");
    ASSERT_TRUE(expected);
    EXPECT_EQ(decodeText(bytes, kGBKStringEncoding), *expected);
    // Servers label GBK text "gb2312"; it is read as GBK.
    EXPECT_EQ(decodeText(bytes, kGB2312StringEncoding), *expected);

    std::optional<Bytes> encoded = encodeText(kSample, kGBKStringEncoding);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(std::string(encoded->begin(), encoded->end()), *gbk);
}

TEST(TextEncoding, Gb18030CoversEveryCharacter)
{
    // Four-byte forms: U+00E9, U+1F600 and U+20AC in GB 18030.
    std::string text = "\xC3\xA9\xF0\x9F\x98\x80\xE2\x82\xAC\xE4\xB8\xAD";
    std::optional<std::string> gb18030 = iconvTool(text, "UTF-8", "GB18030");
    ASSERT_TRUE(gb18030);
    EXPECT_EQ(encodeTextToString(text, kGB18030StringEncoding), *gb18030);
    EXPECT_EQ(decodeText(*gb18030, kGB18030StringEncoding), text);
    // GBK has no emoji: the whole conversion fails rather than dropping it.
    EXPECT_FALSE(encodeText(text, kGBKStringEncoding));
    // One Chinese character is two bytes, one ASCII letter one byte.
    EXPECT_EQ(encodeText("\xE5\xBC\xA0", kGB18030StringEncoding)->size(), 2u);
    EXPECT_EQ(encodeText("a", kGB18030StringEncoding)->size(), 1u);
}

TEST(TextEncoding, DecodesLatin1AndWindows1252LikeIconv)
{
    std::string every;
    for (int b = 1; b < 256; ++b)
        every += static_cast<char>(b);
    std::optional<std::string> expected = iconvTool(every, "ISO-8859-1", "UTF-8");
    ASSERT_TRUE(expected);
    EXPECT_EQ(decodeText(every, kISOLatin1StringEncoding), *expected);
    EXPECT_EQ(encodeTextToString(*expected, kISOLatin1StringEncoding), every);

    std::string windows = "\x80 \x93quoted\x94 caf\xE9";
    std::optional<std::string> expectedWindows = iconvTool(windows, "CP1252", "UTF-8");
    ASSERT_TRUE(expectedWindows);
    EXPECT_EQ(decodeText(windows, kWindowsCP1252StringEncoding), *expectedWindows);
    // 0x81 has no character in Windows-1252.
    EXPECT_FALSE(decodeText(std::string("a\x81"), kWindowsCP1252StringEncoding));
    EXPECT_FALSE(iconvTool("a\x81", "CP1252", "UTF-8"));
}

TEST(TextEncoding, InvalidBytesGiveNoText)
{
    for (const std::string& bytes : { std::string("ok\xC3\x28"), std::string("\xED\xA0\x80"), std::string("\xC0\xAF"),
             std::string("cut\xE4\xB8") }) {
        EXPECT_FALSE(decodeText(bytes, kUTF8StringEncoding)) << testing::PrintToString(bytes);
        EXPECT_FALSE(iconvTool(bytes, "UTF-8", "UTF-16")) << "iconv accepted " << testing::PrintToString(bytes);
    }
    // GBK: a lead byte at the end, a trail byte out of range, 0xFF, an unassigned pair.
    for (const std::string& bytes :
        { std::string("ab\x81"), std::string("\x81\x20xyz"), std::string("\xFF\xFF"), std::string("\xA2\xE3") }) {
        EXPECT_FALSE(decodeText(bytes, kGBKStringEncoding)) << testing::PrintToString(bytes);
        EXPECT_FALSE(iconvTool(bytes, "GBK", "UTF-8")) << "iconv accepted " << testing::PrintToString(bytes);
    }
    EXPECT_FALSE(decodeText(std::string("\x81\x30\x81"), kGB18030StringEncoding));
    EXPECT_FALSE(decodeText(std::string("caf\xE9"), kASCIIStringEncoding));
    EXPECT_FALSE(decodeText(std::string("abc"), StringEncoding { 999 }));
    EXPECT_EQ(decodeText(std::string(), kGBKStringEncoding), "");
    EXPECT_EQ(decodeText(Bytes { 'h', 'i' }, kASCIIStringEncoding), "hi");

    // Encoding refuses characters the target cannot hold, and text that is not UTF-8.
    EXPECT_FALSE(encodeText("\xE4\xB8\xAD", kISOLatin1StringEncoding));
    EXPECT_FALSE(encodeText("caf\xC3\xA9", kASCIIStringEncoding));
    EXPECT_FALSE(encodeText("\xC3", kUTF8StringEncoding));
    EXPECT_FALSE(encodeText("\xC3", kGBKStringEncoding));
    EXPECT_FALSE(encodeText("x", StringEncoding { 999 }));
    EXPECT_EQ(encodeTextToString("caf\xC3\xA9", kISOLatin1StringEncoding), "caf\xE9");
}

TEST(TextEncoding, Utf16HonoursTheByteOrderMark)
{
    std::string text = "a\xE4\xB8\xAD\xF0\x9F\x98\x80";
    std::optional<std::string> utf16 = encodeTextToString(text, kUTF16StringEncoding);
    ASSERT_TRUE(utf16);
    std::optional<std::string> expected = iconvTool(text, "UTF-8", "UTF-16LE");
    ASSERT_TRUE(expected);
    EXPECT_EQ(*utf16, "\xFF\xFE" + *expected);
    EXPECT_EQ(decodeText(*utf16, kUTF16StringEncoding), text);

    std::optional<std::string> bigEndian = iconvTool(text, "UTF-8", "UTF-16BE");
    ASSERT_TRUE(bigEndian);
    EXPECT_EQ(decodeText("\xFE\xFF" + *bigEndian, kUTF16StringEncoding), text);
    EXPECT_EQ(decodeText(*bigEndian, kUTF16StringEncoding), text) << "no mark reads big-endian";
    EXPECT_EQ(decodeText(*bigEndian, kUTF16BigEndianStringEncoding), text);
    EXPECT_EQ(encodeTextToString(text, kUTF16LittleEndianStringEncoding), *expected);
    EXPECT_FALSE(decodeText(std::string("\x00", 1), kUTF16StringEncoding)) << "odd length";
    EXPECT_FALSE(decodeText(std::string("\xD8\x3D", 2), kUTF16BigEndianStringEncoding)) << "lone surrogate";
}

TEST(TextEncoding, IanaNames)
{
    struct Case {
        const char* name;
        StringEncoding encoding;
    };
    for (const Case& c : std::vector<Case> { { "utf-8", kUTF8StringEncoding }, { "UTF-8", kUTF8StringEncoding },
             { "utf8", kUTF8StringEncoding }, { "iso-8859-1", kISOLatin1StringEncoding },
             { "ISO_8859-1", kISOLatin1StringEncoding }, { "latin1", kISOLatin1StringEncoding },
             { "gbk", kGBKStringEncoding }, { "GBK", kGBKStringEncoding }, { "gb2312", kGB2312StringEncoding },
             { "GB18030", kGB18030StringEncoding }, { "windows-1252", kWindowsCP1252StringEncoding },
             { "us-ascii", kASCIIStringEncoding }, { " \"utf-8\" ", kUTF8StringEncoding },
             { "UTF-16", kUTF16StringEncoding }, { "big5", kBig5StringEncoding } }) {
        EXPECT_EQ(encodingForIanaName(c.name), c.encoding) << c.name;
    }
    for (const char* unknown : { "", "utf-9", "x-unknown", "gbk2", "iso-8859-99", "\"\"" })
        EXPECT_FALSE(encodingForIanaName(unknown)) << unknown;

    EXPECT_EQ(ianaNameForEncoding(kUTF8StringEncoding), "utf-8");
    EXPECT_EQ(ianaNameForEncoding(kISOLatin1StringEncoding), "iso-8859-1");
    EXPECT_EQ(ianaNameForEncoding(kGB18030StringEncoding), "gb18030");
    EXPECT_FALSE(ianaNameForEncoding(StringEncoding { 3 }));
    // Every supported encoding's name leads back to it, and iconv knows the name.
    for (StringEncoding encoding :
        { kASCIIStringEncoding, kUTF8StringEncoding, kISOLatin1StringEncoding, kShiftJISStringEncoding,
            kISOLatin2StringEncoding, kUTF16StringEncoding, kWindowsCP1251StringEncoding, kWindowsCP1252StringEncoding,
            kWindowsCP1250StringEncoding, kUTF16BigEndianStringEncoding, kUTF16LittleEndianStringEncoding,
            kGBKStringEncoding, kGB18030StringEncoding, kGB2312StringEncoding, kBig5StringEncoding }) {
        EXPECT_TRUE(isSupportedEncoding(encoding));
        std::optional<std::string> name = ianaNameForEncoding(encoding);
        ASSERT_TRUE(name) << encoding;
        EXPECT_EQ(encodingForIanaName(*name), encoding) << *name;
        EXPECT_TRUE(iconvTool("abcd", *name, "UTF-8")) << "iconv does not know " << *name;
        // Plain ASCII survives every ASCII-compatible encoding.
        if (encoding < kUTF16BigEndianStringEncoding && encoding != kUTF16StringEncoding) {
            EXPECT_EQ(encodeTextToString("Hello, 1", encoding), "Hello, 1") << *name;
        }
    }
}

TEST(TextEncoding, LossyAscii)
{
    EXPECT_EQ(lossyAscii("caf\xC3\xA9 \xE4\xB8\xAD\xF0\x9F\x98\x80!"),
        "caf? ?"
        "?!");
    EXPECT_EQ(lossyAscii("plain/path.amr"), "plain/path.amr");
    EXPECT_EQ(lossyAscii("a\xFF"
                         "b"),
        "a?b");
}

} // namespace
