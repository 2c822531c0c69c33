#include "foundation/codec/PinyinConverter.h"

#include "foundation/codec/PinyinTable.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace foundation;

namespace {

std::string upper(std::string_view text)
{
    std::string out(text);
    for (auto& ch : out)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return out;
}

std::string utf8(char16_t code)
{
    std::string out;
    if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
    return out;
}

std::u16string_view rowCharacters(std::string_view syllable)
{
    for (std::size_t row = 0; row < kPinyinTableSize; ++row) {
        if (syllable == kPinyinTable[row].syllable)
            return kPinyinTable[row].characters;
    }
    return {};
}

TEST(PinyinQuickConvert, NamesBecomeUpperCaseSyllables)
{
    EXPECT_EQ(PinyinConverter::quickConvert("张三"), "ZHANGSAN");
    EXPECT_EQ(PinyinConverter::quickConvert("王ab1"), "WANGAB1");
    EXPECT_EQ(PinyinConverter::quickConvert("曾乐"), "ZENGYUE");
    EXPECT_EQ(PinyinConverter::quickConvert("左"), "ZUO");
    EXPECT_EQ(PinyinConverter::quickConvert(""), "");
    EXPECT_EQ(PinyinConverter::quickConvert("abc"), "ABC");
}

TEST(PinyinQuickConvert, SeveralReadingsGiveTheAlphabeticallyLastRow)
{
    EXPECT_EQ(PinyinConverter::quickConvert("乐"), "YUE");
    EXPECT_EQ(PinyinConverter::quickConvert("重"), "ZHONG");
    EXPECT_EQ(PinyinConverter::quickConvert("行"), "XING");
    EXPECT_EQ(PinyinConverter::quickConvert("单"), "SHAN");
    EXPECT_EQ(PinyinConverter::quickConvert("曾"), "ZENG");
}

TEST(PinyinQuickConvert, PunctuationAndUnknownCharactersAreDroppedLatinKept)
{
    EXPECT_EQ(PinyinConverter::quickConvert("张，三！"), "ZHANGSAN");
    EXPECT_EQ(PinyinConverter::quickConvert("李😀四"), "LISI");
    // U+5159 is an ideograph of the range that has no Mandarin reading.
    EXPECT_EQ(PinyinConverter::quickConvert("兙"), "");
    EXPECT_EQ(PinyinConverter::quickConvert("Zoë 李"), "ZOË LI");
    EXPECT_EQ(PinyinConverter::quickConvert("straße"), "STRASSE");
    // Bytes that are not UTF-8 are dropped, never read past the end.
    EXPECT_EQ(PinyinConverter::quickConvert("a\xE5\xBC"), "A");
    EXPECT_EQ(PinyinConverter::quickConvert("\xFF\xC0\x80z"), "Z");
}

TEST(PinyinQuickConvert, CommonSyllablesMissingFromTheOldRowListStillConvert)
{
    // Without rows for these syllables the surname 冷 and words such as 姑娘
    // would vanish from names and sort keys.
    EXPECT_EQ(PinyinConverter::quickConvert("冷静"), "LENGJING");
    EXPECT_EQ(PinyinConverter::quickConvert("姑娘"), "GUNIANG");
    EXPECT_EQ(PinyinConverter::quickConvert("仍扔"), "RENGRENG");
}

TEST(PinyinStringConvert, KeepsWhatHasNoSyllable)
{
    EXPECT_EQ(PinyinConverter::stringConvert("张，三！"), "ZHANG，SAN！");
    EXPECT_EQ(PinyinConverter::stringConvert("兙x"), "兙X");
    EXPECT_EQ(PinyinConverter::stringConvert("乐"), "YUE");
    EXPECT_EQ(PinyinConverter::stringConvert("ωmega"), "ΩMEGA");
}

TEST(PinyinConvert, SearchesRowsInOrderSoTheFirstReadingWins)
{
    EXPECT_EQ(PinyinConverter::convert("乐"), "LE");
    EXPECT_EQ(PinyinConverter::convert("重"), "CHONG");
    EXPECT_EQ(PinyinConverter::convert("行"), "HANG");
    EXPECT_EQ(PinyinConverter::convert("单"), "DAN");
    EXPECT_EQ(PinyinConverter::convert("曾"), "CENG");
    EXPECT_EQ(PinyinConverter::convert("张三abc"), "ZHANGSANABC");
    EXPECT_EQ(PinyinConverter::convert(""), "");
}

TEST(PinyinConvert, OnlyTheGb2312IdeographAreaIsLookedUp)
{
    // 丂 (U+4E02) has a reading but lies outside GB 2312; full-width and
    // Latin-1 letters are not ideographs. All stay as they are.
    ASSERT_FALSE(PinyinConverter::quickConvert("丂").empty());
    EXPECT_EQ(PinyinConverter::convert("丂"), "丂");
    EXPECT_EQ(PinyinConverter::convert("，é"), "，É");
}

TEST(PinyinTable, RowsAreSortedAndHoldOnlyTheUnifiedIdeographs)
{
    ASSERT_GT(kPinyinTableSize, 470u);
    EXPECT_STREQ(kPinyinTable[0].syllable, "A");
    EXPECT_STREQ(kPinyinTable[kPinyinTableSize - 1].syllable, "Zuo");
    std::set<char16_t> seen;
    for (std::size_t row = 0; row < kPinyinTableSize; ++row) {
        if (row > 0) {
            EXPECT_LT(std::string_view(kPinyinTable[row - 1].syllable), std::string_view(kPinyinTable[row].syllable));
        }
        for (const char16_t* p = kPinyinTable[row].characters; *p; ++p) {
            EXPECT_GE(static_cast<int>(*p), 0x4E00);
            EXPECT_LE(static_cast<int>(*p), 0x9FA5);
            seen.insert(*p);
        }
    }
    // Nearly every ideograph of the range has a reading.
    EXPECT_GT(seen.size(), 20800u);
    EXPECT_EQ(PinyinConverter::rowCount(), kPinyinTableSize);
    EXPECT_EQ(PinyinConverter::syllableAt(0), "A");
    EXPECT_EQ(PinyinConverter::syllableAt(kPinyinTableSize), "");
}

TEST(PinyinTable, TellingRowsHoldTheirCharacters)
{
    EXPECT_TRUE(rowCharacters("A") == u"啊阿呵吖嗄腌锕錒");
    EXPECT_TRUE(rowCharacters("Zhang").starts_with(u"张章帐仗丈掌涨账"));
    EXPECT_TRUE(rowCharacters("Chang").starts_with(u"长唱常场厂尝肠畅"));
    EXPECT_TRUE(rowCharacters("Zuo").starts_with(u"做作坐左座昨凿琢"));
    for (const char* syllable : { "Le", "Luo", "Yao", "Yue" })
        EXPECT_NE(rowCharacters(syllable).find(u'乐'), std::u16string_view::npos) << syllable;
    for (const char* syllable : { "Chong", "Tong", "Zhong" })
        EXPECT_NE(rowCharacters(syllable).find(u'重'), std::u16string_view::npos) << syllable;
    EXPECT_EQ(rowCharacters("Chan").find(u'单'), std::u16string_view::npos);
}

TEST(PinyinTable, CacheAgreesWithTheTableForEveryCharacter)
{
    // The cache must give every character its last row and convert its first,
    // including the characters at both ends of the cached range.
    std::vector<int> firstRow(0x9FA6 - 0x4E00, -1);
    std::vector<int> lastRow(0x9FA6 - 0x4E00, -1);
    for (std::size_t row = 0; row < kPinyinTableSize; ++row) {
        for (const char16_t* p = kPinyinTable[row].characters; *p; ++p) {
            if (firstRow[*p - 0x4E00] < 0)
                firstRow[*p - 0x4E00] = static_cast<int>(row);
            lastRow[*p - 0x4E00] = static_cast<int>(row);
        }
    }
    int checked = 0;
    for (char16_t code = 0x4E00; code <= 0x9FA5; ++code) {
        const std::string text = utf8(code);
        const int last = lastRow[code - 0x4E00];
        const std::string expected = last < 0 ? "" : upper(kPinyinTable[last].syllable);
        ASSERT_EQ(PinyinConverter::quickConvert(text), expected) << std::hex << static_cast<int>(code);
        ++checked;
    }
    EXPECT_EQ(checked, 0x9FA6 - 0x4E00);
    // convert takes the first row; these common characters all lie in GB 2312.
    for (char16_t code : std::u16string_view(u"的一是了我不人在他有这个长和地得")) {
        const int first = firstRow[code - 0x4E00];
        ASSERT_GE(first, 0);
        EXPECT_EQ(PinyinConverter::convert(utf8(code)), upper(kPinyinTable[first].syllable))
            << std::hex << static_cast<int>(code);
    }
}

TEST(PinyinTable, CheckedInTableIsWhatTheGeneratorMakes)
{
    if (!std::filesystem::exists("/usr/share/unicode/Unihan_Readings.txt.bz2")
        && !std::filesystem::exists("/usr/share/unicode/Unihan.zip"))
        ORB_SKIP_WITHOUT_TOOL("the Unihan data of unicode-data is not installed");
    const std::filesystem::path source(testsupport::sourceDir());
    testsupport::TempDir dir("orb-pinyin");
    const std::string output = dir / "PinyinTable.cpp";
    const std::string command = "python3 " + testsupport::shellQuoted((source / "tools/pinyin/generate_table.py").string())
        + " --output " + testsupport::shellQuoted(output) + " 2>/dev/null";
    ASSERT_EQ(testsupport::runCommand(command).status, 0);
    const std::string generated = testsupport::readTextFile(output);
    EXPECT_FALSE(generated.empty());
    EXPECT_TRUE(generated == testsupport::readTextFile((source / "foundation/codec/PinyinTable.cpp").string()))
        << "run tools/pinyin/generate_table.py and check the table in";
}

TEST(PinyinSort, ChineseNamesSortByTheirPinyin)
{
    std::vector<std::string> names = { "张伟", "王芳", "李娜", "刘洋", "陈静", "曾乐", "安然", "左明", "冷锋", "Amy" };
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return PinyinConverter::quickConvert(a) < PinyinConverter::quickConvert(b);
    });
    const std::vector<std::string> expected
        = { "Amy", "安然", "陈静", "冷锋", "李娜", "刘洋", "王芳", "曾乐", "张伟", "左明" };
    EXPECT_EQ(names, expected);
}

TEST(PinyinCache, ClearedCacheIsRebuiltAndSharedAcrossThreads)
{
    PinyinConverter::clearCache();
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&results, i] {
            std::string joined;
            for (int round = 0; round < 50; ++round)
                joined = PinyinConverter::quickConvert("曾乐重行单");
            results[i] = joined;
            if (i == 0)
                PinyinConverter::clearCache();
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (const auto& result : results)
        EXPECT_EQ(result, "ZENGYUEZHONGXINGSHAN");
    PinyinConverter::initCache();
    EXPECT_EQ(PinyinConverter::stringConvert("张"), "ZHANG");
}

} // namespace
