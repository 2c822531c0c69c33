#include "foundation/codec/StringMd5.h"

#include "tests/foundation/codec/ToolRunner.h"

#include <gtest/gtest.h>

using namespace foundation;

namespace {

std::string md5sumOf(const std::string& text)
{
    const std::string line = codectest::runTool("md5sum", text);
    return line.substr(0, line.find(' '));
}

TEST(StringMd5, EqualsMd5sumForAsciiChineseAndEmptyTexts)
{
    const std::string texts[] = {
        "",
        "a",
        "abc",
        "appKey=lesson&timestamp=1400000000&nonce=42",
        "\xE5\xBC\xA0\xE4\xB8\x89\xE7\x9A\x84\xE4\xBD\x9C\xE4\xB8\x9A", // 张三的作业
        std::string(1000, 'x') + "tail",
    };
    for (const auto& text : texts) {
        const std::string digest = md5(text);
        EXPECT_EQ(digest.size(), 32u);
        EXPECT_EQ(digest, md5sumOf(text)) << text;
    }
}

TEST(StringMd5, DigitsAreLowerCaseHex)
{
    const std::string digest = md5("The quick brown fox jumps over the lazy dog");
    EXPECT_EQ(digest, md5sumOf("The quick brown fox jumps over the lazy dog"));
    for (char ch : digest)
        EXPECT_TRUE((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f')) << digest;
}

TEST(StringMd5, TextCountsUpToItsFirstZeroByte)
{
    const std::string withZero("sign\0ignored", 12);
    EXPECT_EQ(md5(withZero), md5sumOf("sign"));
    EXPECT_NE(md5(withZero), md5sumOf(withZero));
}

} // namespace
