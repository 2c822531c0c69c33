#include "platform/os/PropertyList.h"

#include "platform/os/FileUtil.h"
#include "tests/platform/os/FilesTestSupport.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using osfiles_test::runCommand;
using osfiles_test::sameKinds;
using osfiles_test::shellQuoted;
using osfiles_test::TempDir;
using platform::Array;
using platform::Bytes;
using platform::Date;
using platform::Dictionary;
using platform::Error;
using platform::FileUtil;
using platform::PropertyList;
using platform::Value;

namespace {

// The structure of an XML property list, for xmllint's validation.
constexpr const char* kPlistDtd
    = R"DTD(<!ENTITY % plistObject "(array | data | date | dict | real | integer | string | true | false)">
<!ELEMENT plist %plistObject;>
<!ATTLIST plist version CDATA "1.0">
<!ELEMENT array (%plistObject;)*>
<!ELEMENT dict (key, %plistObject;)*>
<!ELEMENT key (#PCDATA)>
<!ELEMENT string (#PCDATA)>
<!ELEMENT data (#PCDATA)>
<!ELEMENT date (#PCDATA)>
<!ELEMENT true EMPTY>
<!ELEMENT false EMPTY>
<!ELEMENT real (#PCDATA)>
<!ELEMENT integer (#PCDATA)>
)DTD";

Bytes everyByte()
{
    Bytes out;
    for (int i = 0; i < 256; ++i)
        out.push_back(static_cast<std::uint8_t>(i));
    return out;
}

Value everyPlistKind()
{
    Dictionary colors;
    colors.set("main", Value(Dictionary { { "color", Value("1E90FF") } }));
    colors.set("main_light", Value(Dictionary { { "color", Value("E6F2FF") } }));
    Dictionary d;
    d.set("text", Value("<tag> & \"quotes\" 'apostrophe' ]]> 中文 \xF0\x9F\x98\x80 tab\tnewline\ncr\r"));
    d.set("spaces", Value("  leading and trailing  "));
    d.set("empty", Value(""));
    d.set("zero", Value(0));
    d.set("negative", Value(-1));
    d.set("int64Min", Value(std::numeric_limits<std::int64_t>::min()));
    d.set("uint64Max", Value(std::numeric_limits<std::uint64_t>::max()));
    d.set("real", Value(0.1));
    d.set("wholeReal", Value(3.0));
    d.set("tinyReal", Value(-2.5e-300));
    d.set("negativeZero", Value(-0.0));
    d.set("nan", Value(std::nan("")));
    d.set("infinity", Value(std::numeric_limits<double>::infinity()));
    d.set("minusInfinity", Value(-std::numeric_limits<double>::infinity()));
    d.set("yes", Value(true));
    d.set("no", Value(false));
    d.set("bytes", Value(everyByte()));
    d.set("oneByte", Value(Bytes { 0xFF }));
    d.set("noBytes", Value(Bytes {}));
    d.set("date", Value(Date { 1704164645 }));
    d.set("before1970", Value(Date { -86400.0 * 365 - 1 }));
    d.set("colors", Value(colors));
    d.set("list", Value(Array { Value(1), Value("two"), Value(Array {}), Value(Dictionary {}) }));
    d.set("中文键 <&>", Value("值"));
    return Value(d);
}

TEST(PropertyList, RoundTripsEveryKindThroughAFile)
{
    TempDir temp;
    Value original = everyPlistKind();
    Error error;
    ASSERT_TRUE(PropertyList::writeFile(temp / "all.plist", original, &error)) << error.description();
    auto back = PropertyList::readFile(temp / "all.plist", &error);
    ASSERT_TRUE(back) << error.description();
    EXPECT_TRUE(sameKinds(original, *back));
    // Keys come back in the order they were written.
    EXPECT_EQ(back->asDictionary()->keys(), original.asDictionary()->keys());
    // Every kind at the top, too.
    for (const auto& [key, value] : *original.asDictionary()) {
        auto text = PropertyList::serialize(value, &error);
        ASSERT_TRUE(text) << key;
        auto single = PropertyList::parse(*text, &error);
        ASSERT_TRUE(single) << key << ": " << error.description();
        EXPECT_TRUE(sameKinds(value, *single)) << key;
    }
}

TEST(PropertyList, OutputPassesXmllintAndTheStructure)
{
    if (!osfiles_test::haveTool("xmllint"))
        ORB_SKIP_WITHOUT_TOOL("xmllint missing");
    TempDir temp;
    ASSERT_TRUE(FileUtil::write(temp / "plist.dtd", std::string_view(kPlistDtd)));
    ASSERT_TRUE(PropertyList::writeFile(temp / "all.plist", everyPlistKind()));
    std::string file = shellQuoted(temp / "all.plist");
    EXPECT_EQ(runCommand("xmllint --noout " + file + " 2>&1").status, 0);
    auto valid = runCommand("xmllint --noout --dtdvalid " + shellQuoted(temp / "plist.dtd") + " " + file + " 2>&1");
    EXPECT_EQ(valid.status, 0) << valid.output;
    // xmllint reads the same texts back out of the file.
    auto key = runCommand("xmllint --xpath 'string(/plist/dict/key[1]/following-sibling::*[1])' " + file);
    EXPECT_EQ(key.output, everyPlistKind()["text"].stringValue() + "\n");
    auto date = runCommand("xmllint --xpath 'string(/plist/dict/date[1])' " + file);
    auto gnuDate = runCommand("date -u -d @1704164645 +%Y-%m-%dT%H:%M:%SZ");
    EXPECT_EQ(date.output, gnuDate.output);
}

TEST(PropertyList, InteroperatesWithPythonPlistlib)
{
    if (!osfiles_test::haveTool("python3"))
        ORB_SKIP_WITHOUT_TOOL("python3 missing");
    TempDir temp;
    // Python's writer turns a carriage return into a line feed, as XML readers
    // do with raw ones; leave it out of the comparison.
    Value original = everyPlistKind();
    original.asDictionary()->set("text", Value("<tag> & \"quotes\" ]]> 中文 \xF0\x9F\x98\x80 tab\tnewline\n"));
    ASSERT_TRUE(PropertyList::writeFile(temp / "ours.plist", original));
    std::string script = "import plistlib,sys\n"
                         "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
                         "open(sys.argv[2], 'wb').write(plistlib.dumps(d, sort_keys=False))\n";
    ASSERT_TRUE(FileUtil::write(temp / "copy.py", std::string_view(script)));
    auto result = runCommand("python3 " + shellQuoted(temp / "copy.py") + " " + shellQuoted(temp / "ours.plist") + " "
        + shellQuoted(temp / "theirs.plist") + " 2>&1");
    ASSERT_EQ(result.status, 0) << result.output;
    Error error;
    auto theirs = PropertyList::readFile(temp / "theirs.plist", &error);
    ASSERT_TRUE(theirs) << error.description();
    EXPECT_TRUE(sameKinds(original, *theirs));
}

TEST(PropertyList, DatesMatchGnuDate)
{
    for (double seconds : { 0.0, 1704164645.0, 951782400.0, -1.0, -2208988800.0, 253402300799.0, 1e9 + 0.75 }) {
        auto ours = PropertyList::formatDate(Date { seconds });
        ASSERT_TRUE(ours) << seconds;
        auto gnu = runCommand(
            "date -u -d @" + std::to_string(static_cast<long long>(std::floor(seconds))) + " +%Y-%m-%dT%H:%M:%SZ");
        EXPECT_EQ(*ours + "\n", gnu.output) << seconds;
        EXPECT_EQ(PropertyList::parseDate(*ours)->seconds, std::floor(seconds));
    }
    EXPECT_FALSE(PropertyList::formatDate(Date { 1e15 }));
    EXPECT_FALSE(PropertyList::formatDate(Date { std::nan("") }));
    for (const char* bad :
        { "2024-02-30T00:00:00Z", "2023-02-29T00:00:00Z", "2024-01-02 03:04:05Z", "2024-01-02T03:04:05",
            "2024-01-02T24:00:00Z", "2024-13-01T00:00:00Z", "24-01-02T03:04:05Z", "2024-01-02T03:04:5xZ" })
        EXPECT_FALSE(PropertyList::parseDate(bad)) << bad;
    EXPECT_TRUE(PropertyList::parseDate("2024-02-29T23:59:59Z"));
}

TEST(PropertyList, MalformedInputGivesAnError)
{
    const char* head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">";
    std::vector<std::string> bodies = {
        "<dict><key>a</key></dict>",
        "<dict><string>no key</string><string>v</string></dict>",
        "<dict><key>a</key><key>b</key></dict>",
        "<integer>12x</integer>",
        "<integer>18446744073709551616</integer>",
        "<integer>-9223372036854775809</integer>",
        "<integer></integer>",
        "<real>1.5.2</real>",
        "<real>1e999</real>",
        "<data>AB$=</data>",
        "<data>A</data>",
        "<date>2024-01-02</date>",
        "<true>yes</true>",
        "<string><b>bold</b></string>",
        "<unknown/>",
        "<array>loose text<string/></array>",
        "<string>a</string><string>b</string>",
        "",
    };
    for (const auto& body : bodies) {
        Error error;
        EXPECT_FALSE(PropertyList::parse(std::string(head) + body + "</plist>", &error)) << body;
        EXPECT_EQ(error.domain(), platform::kCocoaErrorDomain) << body;
        EXPECT_EQ(error.code(), platform::kPropertyListReadCorruptError) << body;
    }
    for (const char* text : { "", "   ", "not xml", "<plist>", "<?xml version=\"1.0\"?>", "\xFF\xFE<\0p" }) {
        Error error;
        EXPECT_FALSE(PropertyList::parse(text, &error)) << text;
        EXPECT_FALSE(error.localizedDescription().empty());
    }

    // Every cut of a valid file is refused (none of them is a whole document).
    auto full = PropertyList::serialize(everyPlistKind());
    ASSERT_TRUE(full);
    // (The last byte is a line feed: dropping only that leaves a whole document.)
    std::size_t cuts = 0, refused = 0;
    for (std::size_t cut = 0; cut + 1 < full->size(); cut += 7, ++cuts)
        refused += PropertyList::parse(std::string_view(*full).substr(0, cut)) ? 0 : 1;
    EXPECT_EQ(refused, cuts);
    EXPECT_GT(cuts, 100u);

    TempDir temp;
    Error error;
    EXPECT_FALSE(PropertyList::readFile(temp / "missing.plist", &error));
    EXPECT_EQ(error.domain(), platform::kPosixErrorDomain);
    ASSERT_TRUE(FileUtil::write(temp / "half.plist", std::string_view(*full).substr(0, full->size() / 2)));
    EXPECT_FALSE(PropertyList::readFile(temp / "half.plist", &error));
    EXPECT_EQ(error.userInfo().get(platform::kFilePathErrorKey).stringValue(), temp / "half.plist");
}

TEST(PropertyList, NeverFetchesOrExpandsEntities)
{
    TempDir temp;
    ASSERT_TRUE(FileUtil::write(temp / "secret.txt", std::string_view("SECRET")));
    std::string external = "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY x SYSTEM \"file://" + (temp / "secret.txt")
        + "\">]><plist version=\"1.0\"><string>&x;</string></plist>";
    auto value = PropertyList::parse(external);
    EXPECT_TRUE(!value || value->stringValue().find("SECRET") == std::string::npos);

    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'k'; ++c) {
        std::string refs;
        for (int i = 0; i < 10; ++i)
            refs += std::string("&") + static_cast<char>(c - 1) + ";";
        laughs += std::string("<!ENTITY ") + c + " \"" + refs + "\">";
    }
    laughs += "]><plist version=\"1.0\"><string>&k;</string></plist>";
    auto bomb = PropertyList::parse(laughs);
    EXPECT_TRUE(!bomb || bomb->count() < 1000);

    // A plain DOCTYPE with a public identifier is read without fetching it.
    auto typed = PropertyList::parse("<?xml version=\"1.0\"?><!DOCTYPE plist PUBLIC \"-//Test//DTD PLIST 1.0//EN\" "
                                     "\"http://example.invalid/plist.dtd\"><plist version=\"1.0\"><true/></plist>");
    ASSERT_TRUE(typed);
    EXPECT_EQ(*typed, Value(true));
}

TEST(PropertyList, RefusesValuesWithoutAListFormAndKeepsTheOldFile)
{
    TempDir temp;
    std::string path = temp / "NavMessage.plist";
    Value good(Array { Value(Dictionary { { "eventType", Value(1) }, { "content", Value("c") } }) });
    ASSERT_TRUE(PropertyList::writeFile(path, good));
    auto before = FileUtil::read(path);

    struct Record final : platform::Object { };
    std::vector<Value> refused = {
        Value(),
        Value(Array { Value(1), Value() }),
        Value(std::make_shared<Record>()),
        Value("control \x01 character"),
        Value(std::string("bad \xC3\x28 UTF-8")),
        Value(Dictionary { { std::string("key \x02"), Value(1) } }),
        Value(Date { 1e15 }),
    };
    for (const auto& value : refused) {
        Error error;
        EXPECT_FALSE(PropertyList::isValid(value)) << value.description();
        EXPECT_FALSE(PropertyList::writeFile(path, value, &error)) << value.description();
        EXPECT_EQ(error.code(), platform::kPropertyListWriteInvalidError);
    }
    EXPECT_EQ(FileUtil::read(path), before);
    EXPECT_EQ(FileUtil::list(temp.path()), (std::vector<std::string> { "NavMessage.plist" }));
}

} // namespace
