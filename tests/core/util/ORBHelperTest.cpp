#include "core/util/ORBHelper.h"
#include "tests/core/util/CoreTestSupport.h"

#include "platform/os/UserDefaults.h"

#include <gtest/gtest.h>

#include <fstream>

using core::ORBHelper;
using platform::Value;

namespace {

class ORBHelperSettings : public ::testing::Test {
protected:
    void SetUp() override { coretest::signOut(); }
    void TearDown() override { coretest::signOut(); }

    // A second object on the same file sees only what was written to disk.
    static Value storedOnDisk(const std::string& key)
    {
        platform::UserDefaults reread(platform::UserDefaults::standardPath());
        return reread.objectForKey(key);
    }

    coretest::TempHome home;
};

TEST_F(ORBHelperSettings, MissingSettingsStoreTheirDefaultsAndOthersStayAbsent)
{
    coretest::signIn(1001);
    EXPECT_EQ(ORBHelper::userDefaultKey(4), "user_default_1001_4");

    Value zone = ORBHelper::userDefaultForKey(ORBHelper::kZoneNavigationType);
    EXPECT_TRUE(zone.isInteger());
    EXPECT_EQ(zone.intValue(), -1);
    EXPECT_EQ(storedOnDisk("user_default_1001_4").intValue(), -1);

    EXPECT_TRUE(ORBHelper::userDefaultForKey(ORBHelper::kMagazineAds).isNull());
    EXPECT_FALSE(platform::UserDefaults::standard()->dictionaryRepresentation().contains("user_default_1001_6"));
    EXPECT_TRUE(storedOnDisk("user_default_1001_6").isNull());

    Value guide = ORBHelper::userDefaultForKey(ORBHelper::kMagazineShowsGuide);
    ASSERT_TRUE(guide.isBool());
    EXPECT_TRUE(guide.boolValue());
    Value ads = ORBHelper::userDefaultForKey(ORBHelper::kMagazineHasAds);
    ASSERT_TRUE(ads.isBool());
    EXPECT_FALSE(ads.boolValue());
    for (int key : { 0, 1, 3 }) {
        Value text = ORBHelper::userDefaultForKey(key);
        ASSERT_TRUE(text.isString()) << key;
        EXPECT_EQ(*text.asString(), "");
    }
    EXPECT_TRUE(ORBHelper::userDefaultForKey(2).isNull());
    EXPECT_TRUE(ORBHelper::userDefaultForKey(42).isNull());
    EXPECT_TRUE(storedOnDisk("user_default_1001_2").isNull());
}

TEST_F(ORBHelperSettings, SettingsBelongToTheAccountInUseAndSurviveANewDefaultsObject)
{
    coretest::signIn(1001, 1, { 2002 });
    ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineUpdateTime, Value("2024-05-01 08:00:00"));
    ORBHelper::userDefaultSettingForKey(ORBHelper::kZoneNavigationType, Value(9));
    EXPECT_EQ(storedOnDisk("user_default_1001_3").stringValue(), "2024-05-01 08:00:00");

    coretest::signIn(2002, 1, { 1001 });
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime).stringValue(), "");
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kZoneNavigationType).intValue(), -1);

    coretest::signIn(1001, 1, { 2002 });
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime).stringValue(), "2024-05-01 08:00:00");
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kZoneNavigationType).intValue(), 9);

    // Storing nothing removes the entry, on disk too.
    ORBHelper::userDefaultSettingForKey(ORBHelper::kZoneNavigationType, Value());
    EXPECT_TRUE(storedOnDisk("user_default_1001_4").isNull());
    EXPECT_EQ(storedOnDisk("user_default_2002_4").intValue(), -1);

    // Signed out, the settings are those of uid 0.
    coretest::signOut();
    EXPECT_EQ(ORBHelper::userDefaultKey(5), "user_default_0_5");
    ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineAds, Value(platform::Bytes { 1, 2, 3 }));
    auto data = storedOnDisk("user_default_0_6");
    ASSERT_TRUE(data.isData());
    EXPECT_EQ(*data.asData(), (platform::Bytes { 1, 2, 3 }));
}

TEST_F(ORBHelperSettings, DocumentPathIsTheHomesDocumentsFolder)
{
    std::string path = ORBHelper::documentPath();
    EXPECT_EQ(
        std::filesystem::path(path).lexically_normal(), std::filesystem::path(home.documents()).lexically_normal());
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(ORBHelperDates, EveryTypeFormatsInTheDevicesZone)
{
    const platform::Date moment = platform::Date::fromSeconds(1709654828); // 2024-03-05 16:07:08 UTC
    struct Row {
        int type;
        const char* shanghai;
        const char* utc;
    };
    const Row rows[] = {
        { 0, "2024-03-06 00:07:08", "2024-03-05 16:07:08" },
        { 1, "2024-03-06", "2024-03-05" },
        { 2, "2024", "2024" },
        { 3, "03", "03" },
        { 4, "06", "05" },
        { 5, "03月06日 00:07", "03月05日 16:07" },
        { 7, "2024-03-06", "2024-03-05" },
        { -1, "2024-03-06", "2024-03-05" },
    };
    {
        coretest::ScopedTimeZone zone("Asia/Shanghai");
        for (const auto& row : rows)
            EXPECT_EQ(ORBHelper::stringFromDate(moment, row.type), row.shanghai) << row.type;
    }
    {
        coretest::ScopedTimeZone zone("UTC");
        for (const auto& row : rows)
            EXPECT_EQ(ORBHelper::stringFromDate(moment, row.type), row.utc) << row.type;
    }
}

TEST(ORBHelperDates, ReadingUsesTheSamePatternsAndThePlainDateForOtherTypes)
{
    coretest::ScopedTimeZone zone("Asia/Shanghai");
    auto full = ORBHelper::dateFromString("2024-03-06 00:07:08", 0);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->seconds, 1709654828);
    // Type 5 reads the plain date, not its own written form.
    EXPECT_FALSE(ORBHelper::dateFromString("03月06日 00:07", 5));
    auto plain = ORBHelper::dateFromString("2024-03-06", 5);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->seconds, 1709654400); // local midnight is 16:00 UTC of the day before
    EXPECT_EQ(ORBHelper::stringFromDate(*plain, 0), "2024-03-06 00:00:00");
    auto year = ORBHelper::dateFromString("2024", 2);
    ASSERT_TRUE(year);
    EXPECT_EQ(ORBHelper::stringFromDate(*year, 0), "2024-01-01 00:00:00");
    EXPECT_FALSE(ORBHelper::dateFromString("2024-13-01", 1));
    {
        coretest::ScopedTimeZone utc("UTC");
        auto sameText = ORBHelper::dateFromString("2024-03-06 00:07:08", 0);
        ASSERT_TRUE(sameText);
        EXPECT_EQ(sameText->seconds - full->seconds, 8 * 3600);
    }
}

TEST(ORBHelperText, LengthCountsTwoAsciiCharactersAsOne)
{
    EXPECT_EQ(ORBHelper::unicodeLengthOfString("abc"), 2);
    EXPECT_EQ(ORBHelper::unicodeLengthOfString("中文"), 2);
    EXPECT_EQ(ORBHelper::unicodeLengthOfString(""), 0);
    EXPECT_EQ(ORBHelper::unicodeLengthOfString("a"), 1);
    EXPECT_EQ(ORBHelper::unicodeLengthOfString("ab"), 1);
    EXPECT_EQ(ORBHelper::unicodeLengthOfString("a中"), 2);
    // An emoji beyond the basic plane is two UTF-16 units, as the phone counts.
    EXPECT_EQ(ORBHelper::unicodeLengthOfString("😀"), 2);
    EXPECT_EQ(ORBHelper::unicodeLengthOfString("é"), 1);
}

void expectColor(const platform::Color& color, double r, double g, double b, double a, const char* text)
{
    EXPECT_DOUBLE_EQ(color.red, r) << text;
    EXPECT_DOUBLE_EQ(color.green, g) << text;
    EXPECT_DOUBLE_EQ(color.blue, b) << text;
    EXPECT_DOUBLE_EQ(color.alpha, a) << text;
}

TEST(ORBHelperText, HexColoursReadRgbaWithWideningAndDefaultOpacity)
{
    expectColor(ORBHelper::colorFromHexString("#FFF"), 1, 1, 1, 1, "#FFF");
    expectColor(ORBHelper::colorFromHexString("ff000080"), 1, 0, 0, 128 / 255.0, "ff000080");
    expectColor(ORBHelper::colorFromHexString("12"), 0, 0, 0, 18 / 255.0, "12");
    expectColor(ORBHelper::colorFromHexString("#1a2B3c"), 0x1a / 255.0, 0x2b / 255.0, 0x3c / 255.0, 1, "#1a2B3c");
    expectColor(ORBHelper::colorFromHexString("#a#b#c"), 0xaa / 255.0, 0xbb / 255.0, 0xcc / 255.0, 1, "#a#b#c");
    expectColor(ORBHelper::colorFromHexString("not hex"), 0, 0, 0, 0, "not hex");
    expectColor(ORBHelper::colorFromHexString(""), 0, 0, 0, 0, "empty");
    // The scan stops at the first character that is not a digit.
    expectColor(ORBHelper::colorFromHexString("12zz"), 0, 0, 0, 0x12 / 255.0, "12zz");
    // Too many digits for 32 bits saturate instead of wrapping around.
    expectColor(ORBHelper::colorFromHexString("123456789"), 1, 1, 1, 1, "123456789");
}

std::vector<std::string> split(std::string_view text)
{
    std::vector<std::string> parts;
    ORBHelper::getImageRange(text, parts);
    return parts;
}

TEST(ORBHelperText, PostTextSplitsIntoRunsAndBracketedNames)
{
    using Parts = std::vector<std::string>;
    EXPECT_EQ(split("hi[smile]you"), (Parts { "hi", "[smile]", "you" }));
    EXPECT_EQ(split("[a][b]"), (Parts { "[a]", "[b]", "" }));
    EXPECT_EQ(split("x[y"), (Parts { "x[y" }));
    EXPECT_EQ(split("plain"), (Parts { "plain" }));
    EXPECT_EQ(split("你好[微笑]世界"), (Parts { "你好", "[微笑]", "世界" }));
    // A "]" before the first "[" is ordinary text, and never cuts a negative range.
    EXPECT_EQ(split("a]b[c"), (Parts { "a]b[c" }));
    EXPECT_EQ(split("a]b[c]d"), (Parts { "a]b", "[c]", "d" }));
    EXPECT_EQ(split("]][x]"), (Parts { "]]", "[x]", "" }));

    // Parts are appended to what the list already holds.
    std::vector<std::string> list { "earlier" };
    ORBHelper::getImageRange("[a]b", list);
    EXPECT_EQ(list, (Parts { "earlier", "[a]", "b" }));
}

TEST(ORBHelperText, FirstEmojiPositionCountsUtf16Units)
{
    EXPECT_EQ(ORBHelper::subRangeLocationWithEmoji("hello"), -1);
    EXPECT_EQ(ORBHelper::subRangeLocationWithEmoji(""), -1);
    EXPECT_EQ(ORBHelper::subRangeLocationWithEmoji("ab😀c"), 2);
    EXPECT_EQ(ORBHelper::subRangeLocationWithEmoji("😀😀x"), 0);
    EXPECT_EQ(ORBHelper::subRangeLocationWithEmoji("中文©"), 2);
    EXPECT_EQ(ORBHelper::subRangeLocationWithEmoji("x☀"), 1);
    EXPECT_EQ(ORBHelper::subRangeLocationWithEmoji("ab1\u20E3"), 2);
    // An emoji with a skin-tone modifier is one composed character.
    EXPECT_EQ(ORBHelper::subRangeLocationWithEmoji("x👍🏽y"), 1);
    // The whole block from U+1D000 counts, musical symbols included.
    EXPECT_EQ(ORBHelper::subRangeLocationWithEmoji("ab𝄞"), 2);
    // A character beyond the basic plane outside the emoji block is not one.
    EXPECT_EQ(ORBHelper::subRangeLocationWithEmoji("𠀀"), -1);
}

std::string hexKey()
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : std::string(ORBHelper::kTripleDesKey)) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TEST(ORBHelperCrypto, TripleDesRoundTripsAndMatchesOpenssl)
{
    ASSERT_EQ(std::string(ORBHelper::kTripleDesKey).size(), 24u);
    const std::string text = "家校通 message #1";
    Value cipher = ORBHelper::tripleDES(Value(text), 0);
    ASSERT_TRUE(cipher.isData());
    EXPECT_EQ(cipher.asData()->size() % 8, 0u);
    EXPECT_GT(cipher.asData()->size(), text.size());
    Value plain = ORBHelper::tripleDES(cipher, 1);
    ASSERT_TRUE(plain.isString());
    EXPECT_EQ(*plain.asString(), text);

    coretest::TempHome scratch;
    std::string input = scratch.path() + "/plain.bin";
    std::ofstream(input, std::ios::binary) << text;
    std::string reference
        = coretest::runCommand("openssl enc -des-ede3 -nosalt -K " + hexKey() + " -in " + coretest::shellQuoted(input));
    EXPECT_EQ(std::string(cipher.asData()->begin(), cipher.asData()->end()), reference);

    // A whole block of input gains a whole block of padding.
    Value eight = ORBHelper::tripleDES(Value(platform::Bytes(8, 'x')), 0);
    ASSERT_TRUE(eight.isData());
    EXPECT_EQ(eight.asData()->size(), 16u);
}

TEST(ORBHelperCrypto, TripleDesRefusesWhatItCannotHandle)
{
    EXPECT_TRUE(ORBHelper::tripleDES(Value(platform::Bytes(7, 1)), 1).isNull());
    EXPECT_TRUE(ORBHelper::tripleDES(Value("text is not cipher"), 1).isNull());
    EXPECT_TRUE(ORBHelper::tripleDES(Value(12), 0).isNull());
    EXPECT_TRUE(ORBHelper::tripleDES(Value("x"), 2).isNull());
    // Bytes that do not decrypt to valid padding give nothing, not garbage text.
    EXPECT_TRUE(ORBHelper::tripleDES(Value(platform::Bytes(16, 0x5a)), 1).isNull());
}

} // namespace
