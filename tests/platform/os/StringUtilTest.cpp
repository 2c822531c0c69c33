#include "platform/os/StringUtil.h"

#include "tests/platform/os/TextTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

const std::string kGrinning = "\xF0\x9F\x98\x80"; // U+1F600
const std::string kFamily
    = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"; // man ZWJ woman ZWJ girl
const std::string kThumbsMedium = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"; // U+1F44D U+1F3FD
const std::string kChina = "\xF0\x9F\x87\xA8\xF0\x9F\x87\xB3"; // regional indicators C N
const std::string kUsa = "\xF0\x9F\x87\xBA\xF0\x9F\x87\xB8";
const std::string kKeycapOne = "1\xEF\xB8\x8F\xE2\x83\xA3"; // 1 U+FE0F U+20E3
const std::string kHeart = "\xE2\x9D\xA4\xEF\xB8\x8F"; // U+2764 U+FE0F
const std::string kEAcuteDecomposed = "e\xCC\x81"; // e U+0301
const std::string kChinese = "\xE4\xB8\xAD\xE6\x96\x87"; // 中文

// Python's own UTF-16 count, as an independent reference.
std::size_t pythonUtf16Length(const std::string& text)
{
    textsupport::ScratchFolder folder;
    std::string file = folder.write("text", text);
    std::optional<std::string> out = textsupport::runCommand(
        "python3 -c \"import sys;print(len(open(sys.argv[1],'rb').read().decode('utf-8').encode('utf-16-le'))//2)\" '"
        + file + "'");
    EXPECT_TRUE(out);
    return static_cast<std::size_t>(std::stoul(out.value_or("0")));
}

std::string pythonCase(const std::string& text, const char* method)
{
    textsupport::ScratchFolder folder;
    std::string file = folder.write("text", text);
    std::optional<std::string> out
        = textsupport::runCommand(std::string("python3 -c \"import sys;"
                                              "sys.stdout.buffer.write(open(sys.argv[1],'rb')"
                                              ".read().decode('utf-8').")
            + method + "().encode('utf-8'))\" '" + file + "'");
    EXPECT_TRUE(out);
    return out.value_or("");
}

TEST(StringUtil, CountsUtf16UnitsAsThePhoneDoes)
{
    EXPECT_EQ(utf16Length(""), 0u);
    EXPECT_EQ(utf16Length("abc"), 3u);
    EXPECT_EQ(utf16Length(kChinese), 2u);
    EXPECT_EQ(utf16Length(kGrinning), 2u);
    EXPECT_EQ(utf16Length("a" + kGrinning + kChinese), 5u);
    for (const std::string& text : { kFamily, kThumbsMedium, kChina + kUsa, kKeycapOne, kHeart, kEAcuteDecomposed,
             std::string("\xC3\xBF\xF0\x90\x80\x80 x") }) {
        EXPECT_EQ(utf16Length(text), pythonUtf16Length(text)) << text;
        EXPECT_EQ(utf16Length(text), toUtf16(text)->size());
    }
    // A bad byte counts as one replacement character.
    EXPECT_EQ(utf16Length("a\xFF"
                          "b"),
        3u);
}

TEST(StringUtil, SubstringsNeverSplitASurrogatePair)
{
    std::string text = "a" + kGrinning + "b"; // units: a=0, pair=1..2, b=3
    EXPECT_EQ(utf16Substring(text, 0, 1), "a");
    EXPECT_EQ(utf16Substring(text, 0, 2), "a") << "the end falls inside the pair";
    EXPECT_EQ(utf16Substring(text, 0, 3), "a" + kGrinning);
    EXPECT_EQ(utf16Substring(text, 1, 2), kGrinning);
    EXPECT_EQ(utf16Substring(text, 2, 2), "b") << "the start falls inside the pair";
    EXPECT_EQ(utf16Substring(text, 3, 100), "b");
    EXPECT_EQ(utf16Substring(text, 4, 1), "");
    EXPECT_EQ(utf16Substring(text, 100, 1), "");
    EXPECT_EQ(utf16Substring(text, 1, SIZE_MAX), kGrinning + "b");
    EXPECT_EQ(utf16Prefix(kChinese + kGrinning, 3), kChinese);
    EXPECT_EQ(utf16Prefix(kChinese + kGrinning, 4), kChinese + kGrinning);
    for (std::size_t offset = 0; offset < 5; ++offset) {
        for (std::size_t length = 0; length < 5; ++length)
            EXPECT_TRUE(isValidUtf8(utf16Substring(text + kFamily, offset, length)));
    }
    // Invalid input comes out as valid text.
    EXPECT_EQ(utf16Substring("x\xFFy", 0, 3), "x\xEF\xBF\xBDy");
}

TEST(StringUtil, Utf16UnitsAndConversions)
{
    EXPECT_EQ(utf16UnitAt(kGrinning, 0), u'\xD83D');
    EXPECT_EQ(utf16UnitAt(kGrinning, 1), u'\xDE00');
    EXPECT_EQ(utf16UnitAt("a" + kChinese, 1), u'\x4E2D');
    EXPECT_FALSE(utf16UnitAt(kGrinning, 2));

    std::string text = "a" + kChinese + kFamily + "\xC3\xA9";
    std::optional<std::u16string> units = toUtf16(text);
    ASSERT_TRUE(units);
    EXPECT_EQ(fromUtf16(*units), text);
    EXPECT_EQ(toUtf16(kGrinning), std::u16string(u"\U0001F600"));
    EXPECT_FALSE(toUtf16("\xE4\xB8"));
    EXPECT_FALSE(fromUtf16(std::u16string(1, u'\xD83D')));
    EXPECT_FALSE(fromUtf16(std::u16string(1, u'\xDE00')));
    EXPECT_FALSE(fromUtf16(std::u16string { u'\xD83D', u'a' }));
    EXPECT_EQ(utf8FromCodePoint(0x1F600), kGrinning);
    EXPECT_EQ(utf8FromCodePoint(0xD800), "");
    EXPECT_EQ(utf8FromCodePoint(0x110000), "");
}

TEST(StringUtil, ValidatesUtf8Strictly)
{
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8(kChinese + kFamily + "\xF4\x8F\xBF\xBF"));
    const std::vector<std::string> invalid = {
        "\xC3\x28", // bad continuation
        "\x80", // lone continuation
        "\xC0\xAF", // overlong "/"
        "\xE0\x80\xAF", // overlong
        "\xED\xA0\x80", // a surrogate
        "\xF4\x90\x80\x80", // beyond U+10FFFF
        "\xF5\x80\x80\x80",
        "\xE4\xB8", // cut off
        "abc\xF0\x9F\x98", // cut off at the end
        "\xFE",
    };
    for (const std::string& bytes : invalid) {
        EXPECT_FALSE(isValidUtf8(bytes)) << testing::PrintToString(bytes);
        // Python agrees that these are not UTF-8.
        textsupport::ScratchFolder folder;
        std::string file = folder.write("bytes", bytes);
        EXPECT_FALSE(textsupport::runCommand(
            "python3 -c \"import sys;open(sys.argv[1],'rb').read().decode('utf-8')\" '" + file + "' 2>/dev/null"));
    }
}

TEST(StringUtil, FirstCharacterIsWholeOrNothing)
{
    EXPECT_EQ(platform::firstCharacter("abc"), "a");
    EXPECT_EQ(platform::firstCharacter("\xC3\x89" "cole"), "\xC3\x89"); // É
    EXPECT_EQ(platform::firstCharacter("\xE5\x88\x86\xE6\x95\xB0"), "\xE5\x88\x86"); // 分
    EXPECT_EQ(platform::firstCharacter("\xF0\x9F\x98\x80!"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(platform::firstCharacter(""), "");
    EXPECT_EQ(platform::firstCharacter("\xC3"), ""); // cut short
    EXPECT_EQ(platform::firstCharacter("\x89" "abc"), ""); // a continuation byte first
    EXPECT_EQ(platform::firstCharacter("\xC0\x80"), ""); // overlong
    EXPECT_EQ(platform::firstCharacter("\xF8\x88\x80\x80\x80"), "");
}

TEST(StringUtil, UpperAndLowerCaseCoverLatin1)
{
    EXPECT_EQ(toUpper("stra\xC3\x9F"
                      "e"),
        "STRASSE");
    EXPECT_EQ(toUpper("\xC3\xBF"), "\xC5\xB8"); // ÿ → Ÿ
    EXPECT_EQ(toLower("\xC5\xB8"), "\xC3\xBF");
    EXPECT_EQ(toUpper("zhang" + kChinese + "1"), "ZHANG" + kChinese + "1");
    EXPECT_EQ(toLower("ABC\xC3\x80\xC3\x89\xC3\x8E"), "abc\xC3\xA0\xC3\xA9\xC3\xAE");

    // Every Latin-1 character, compared with Python's case mapping.
    std::string latin1;
    for (char32_t cp = 0x20; cp <= 0xFF; ++cp) {
        if (cp < 0x7F || cp >= 0xA0)
            latin1 += utf8FromCodePoint(cp);
    }
    EXPECT_EQ(toUpper(latin1), pythonCase(latin1, "upper"));
    EXPECT_EQ(toLower(latin1), pythonCase(latin1, "lower"));
    std::string greekCyrillic = "\xCE\xB1\xCE\xB2\xCE\x93\xD0\xB6\xD0\x96\xD1\x8F"; // αβΓжЖя
    EXPECT_EQ(toUpper(greekCyrillic), pythonCase(greekCyrillic, "upper"));
    EXPECT_EQ(toLower(greekCyrillic), pythonCase(greekCyrillic, "lower"));

    EXPECT_EQ(asciiToLower("SELECT \xC3\x80 FROM T"), "select \xC3\x80 from t");
    EXPECT_EQ(asciiToUpper("content-type"), "CONTENT-TYPE");
    EXPECT_TRUE(equalsIgnoringAsciiCase("Content-Length", "content-LENGTH"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("abc", "abd"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("abc", "ab"));
}

TEST(StringUtil, TrimsUnicodeWhiteSpaceAndNewlines)
{
    EXPECT_EQ(trimWhitespaceAndNewlines(" \t\r\n http://h/a.amr \r\n"), "http://h/a.amr");
    // U+3000 ideographic space, U+00A0 no-break space, U+2028 line separator, U+0085 next line.
    EXPECT_EQ(trimWhitespaceAndNewlines("\xE3\x80\x80\xC2\xA0 a b \xE2\x80\xA8\xC2\x85"), "a b");
    EXPECT_EQ(trimWhitespaceAndNewlines(kChinese + " "), kChinese);
    EXPECT_EQ(trimWhitespaceAndNewlines(" \n\xE3\x80\x80"), "");
    EXPECT_EQ(trimWhitespaceAndNewlines(""), "");
    EXPECT_EQ(trimWhitespaceAndNewlines("inner  space"), "inner  space");
    EXPECT_TRUE(isWhitespaceOrNewline(0x2003));
    EXPECT_FALSE(isWhitespaceOrNewline(0x200B)) << "zero width space is not white space";
}

TEST(StringUtil, HtmlEscapingLeavesNoMarkupAndKeepsTheText)
{
    EXPECT_EQ(htmlEscaped(R"x(<img src=x onerror="a('&')">)x"),
        "&lt;img src=x onerror=&quot;a(&#39;&amp;&#39;)&quot;&gt;");
    // Already escaped text is escaped again: it is text, not markup.
    EXPECT_EQ(htmlEscaped("&lt;"), "&amp;lt;");
    EXPECT_EQ(htmlEscaped(kChinese + " 1 + 1"), kChinese + " 1 + 1");
    EXPECT_EQ(htmlEscaped(""), "");
}

TEST(StringUtil, ReplaceSplitAndAffixes)
{
    EXPECT_EQ(replaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replaceAll("a.b.c", ".", "::"), "a::b::c");
    EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(replaceAll("\\n" + kChinese + "\\n", "\\n", "\n"), "\n" + kChinese + "\n");

    EXPECT_EQ(split("a,,b", ","), (std::vector<std::string> { "a", "", "b" }));
    EXPECT_EQ(split("", ","), (std::vector<std::string> { "" }));
    EXPECT_EQ(split(",", ","), (std::vector<std::string> { "", "" }));
    EXPECT_EQ(split("k1=v1&&k2", "&&"), (std::vector<std::string> { "k1=v1", "k2" }));
    EXPECT_EQ(split("abc", ""), (std::vector<std::string> { "abc" }));

    EXPECT_TRUE(hasPrefix("http://x", "http://"));
    EXPECT_FALSE(hasPrefix("http", "http://"));
    EXPECT_TRUE(hasSuffix("a.png", ".png"));
    EXPECT_TRUE(hasSuffix("a", ""));
    EXPECT_FALSE(hasSuffix("a.PNG", ".png"));
}

TEST(StringUtil, ComposedCharactersKeepClustersTogether)
{
    struct Case {
        std::string text;
        std::vector<std::size_t> utf16Lengths;
    };
    const std::vector<Case> cases = {
        { "", {} }, { "ab", { 1, 1 } }, { kChinese, { 1, 1 } }, { kEAcuteDecomposed + "x", { 2, 1 } },
        { kGrinning + "a", { 2, 1 } }, { kThumbsMedium, { 4 } }, { kFamily + kGrinning, { 8, 2 } },
        { kChina + kUsa, { 4, 4 } }, { kChina + kUsa.substr(0, 4), { 4, 2 } }, { kKeycapOne + "2", { 3, 1 } },
        { kHeart + kHeart, { 2, 2 } }, { "\r\n\n", { 2, 1 } },
        { "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB", { 3 } }, // conjoining jamo of 한
        { "\xCC\x81"
          "a",
            { 1, 1 } }, // a mark with nothing before it stands alone
    };
    for (const Case& c : cases) {
        std::vector<ComposedCharacter> clusters = composedCharacters(c.text);
        ASSERT_EQ(clusters.size(), c.utf16Lengths.size()) << testing::PrintToString(c.text);
        std::size_t bytes = 0, units = 0;
        for (std::size_t i = 0; i < clusters.size(); ++i) {
            EXPECT_EQ(clusters[i].utf16Length, c.utf16Lengths[i]) << testing::PrintToString(c.text) << " #" << i;
            // Clusters are contiguous and cover the whole text.
            EXPECT_EQ(clusters[i].byteOffset, bytes);
            EXPECT_EQ(clusters[i].utf16Offset, units);
            bytes += clusters[i].byteLength;
            units += clusters[i].utf16Length;
        }
        EXPECT_EQ(bytes, c.text.size());
        EXPECT_EQ(units, utf16Length(c.text));
    }
    std::vector<ComposedCharacter> clusters = composedCharacters("ab" + kFamily);
    ASSERT_EQ(clusters.size(), 3u);
    EXPECT_EQ(std::string("ab" + kFamily).substr(clusters[2].byteOffset, clusters[2].byteLength), kFamily);
}

TEST(ScriptStringLiteral, EscapesWhatWouldEndTheStringTheLineOrTheScriptElement)
{
    EXPECT_EQ(scriptStringLiteral(""), "''");
    EXPECT_EQ(scriptStringLiteral("李老师 ok"), "'李老师 ok'");
    EXPECT_EQ(scriptStringLiteral("a'b\"c\\d"), R"('a\'b\"c\\d')");
    EXPECT_EQ(scriptStringLiteral("one\ntwo\rthree\tfour"), R"('one\ntwo\rthree\x09four')");
    EXPECT_EQ(scriptStringLiteral(std::string("nul\0end", 7)), R"('nul\x00end')");
    EXPECT_EQ(scriptStringLiteral("</script><!-- & -->"), R"('\x3C/script\x3E\x3C!-- \x26 --\x3E')");
    // The line and paragraph separators, also at the very end, and the
    // characters beside them left alone.
    EXPECT_EQ(scriptStringLiteral("a\xE2\x80\xA8" "b\xE2\x80\xA9"), R"('a\u2028b\u2029')");
    EXPECT_EQ(scriptStringLiteral("\xE2\x80\xA7\xE2\x80\xAA"), "'\xE2\x80\xA7\xE2\x80\xAA'");
    // A separator cut short by the end of the text is copied as it is.
    EXPECT_EQ(scriptStringLiteral("x\xE2\x80"), "'x\xE2\x80'");
    EXPECT_EQ(scriptStringLiteral("\x7F"), R"('\x7F')");
}

} // namespace
