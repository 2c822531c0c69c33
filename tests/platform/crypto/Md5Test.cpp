#include "platform/crypto/Md5.h"
#include "tests/platform/crypto/CryptoTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

using namespace platform;
using namespace cryptotest;

namespace {

std::string md5sumOf(const TempDir& dir, const Bytes& bytes)
{
    auto path = dir.file("input");
    writeFile(path, bytes);
    auto md5sum = testsupport::runCommand("md5sum " + testsupport::shellQuoted(path));
    EXPECT_EQ(md5sum.status, 0) << "md5sum failed";
    return md5sum.output.substr(0, 32);
}

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(Md5, EqualsMd5sumOnTextBinaryAndLargeInputs)
{
    TempDir dir;
    Bytes everyByte;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b)
            everyByte.push_back(static_cast<std::uint8_t>(b));
    const std::vector<std::pair<std::string, Bytes>> inputs {
        { "empty", {} },
        { "one byte", { 'a' } },
        { "sentence", bytesOf("The quick brown fox jumps over the lazy dog") },
        { "chinese", bytesOf("家校通 消息 2024") },
        { "every byte value with NULs", everyByte },
        { "one block less one", randomBytes(55, 1) },
        { "one block", randomBytes(64, 2) },
        { "1 MB random", randomBytes(1 << 20, 3) },
    };
    for (const auto& [name, bytes] : inputs) {
        std::string expected = md5sumOf(dir, bytes);
        ASSERT_EQ(expected.size(), 32u) << name;
        EXPECT_EQ(Md5::hex(bytes), expected) << name;
        EXPECT_EQ(Md5::hex(bytes, HexCase::Upper), upper(expected)) << name;
        EXPECT_EQ(Md5::toHex(Md5::digest(bytes.data(), bytes.size())), expected) << name;
    }
}

TEST(Md5, TextDigestCoversEveryByteIncludingNul)
{
    TempDir dir;
    const std::string_view withNul("key\0tail", 8);
    EXPECT_EQ(Md5::hex(withNul), md5sumOf(dir, bytesOf(withNul)));
    EXPECT_NE(Md5::hex(withNul), Md5::hex(std::string_view("key")));
}

TEST(Md5, IncrementalFeedingMatchesOneShotAndStartsOver)
{
    Bytes data = randomBytes(100000, 7);
    Md5 md5;
    std::size_t pos = 0;
    std::size_t step = 1;
    while (pos < data.size()) {
        std::size_t n = std::min(step, data.size() - pos);
        md5.update(data.data() + pos, n);
        pos += n;
        step = step * 3 % 997 + 1; // chunks of varying size cross block borders
    }
    EXPECT_EQ(md5.finish(), Md5::digest(data));
    // After finish the object starts over.
    md5.update(std::string_view("abc"));
    EXPECT_EQ(md5.finish(), Md5::digest(std::string_view("abc")));
    EXPECT_EQ(md5.finish(), Md5::digest(Bytes {}));
}

} // namespace
