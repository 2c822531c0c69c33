#include "platform/os/PlatformJson.h"

#include "platform/os/FileUtil.h"
#include "platform/os/PropertyList.h"
#include "tests/platform/os/FilesTestSupport.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using osfiles_test::sameKinds;
using platform::Array;
using platform::Dictionary;
using platform::Error;
using platform::PlatformJson;
using platform::Value;

namespace {

struct Record final : platform::Object {
    std::string className() const override { return "WeiboInfo"; }
};

Value everyJsonKind()
{
    Dictionary inner;
    inner.set("zeta", Value(1));
    inner.set("alpha", Value(Array { Value(), Value(false), Value(Array {}), Value(Dictionary {}) }));
    Dictionary d;
    d.set("null", Value());
    d.set("yes", Value(true));
    d.set("no", Value(false));
    d.set("int", Value(-42));
    d.set("int64Min", Value(std::numeric_limits<std::int64_t>::min()));
    d.set("uint64Max", Value(std::numeric_limits<std::uint64_t>::max()));
    d.set("double", Value(0.1));
    d.set("wholeDouble", Value(3.0));
    d.set("tiny", Value(-2.5e-300));
    d.set("huge", Value(1.7976931348623157e308));
    // Beyond 64 bits: kept as exact text both ways.
    d.set("decimal", Value::decimal("123456789012345678901234567890"));
    d.set("text", Value("引号 \" 反斜杠 \\ 换行\n制表\t控制\x01 emoji \xF0\x9F\x98\x80 </script>"));
    d.set("empty", Value(""));
    d.set("中文键", Value("值"));
    d.set("nested", Value(inner));
    return Value(d);
}

TEST(PlatformJson, RoundTripsEveryKindItCanHold)
{
    Value original = everyJsonKind();
    for (auto style : { PlatformJson::Style::Compact, PlatformJson::Style::Pretty }) {
        Error error;
        auto text = PlatformJson::write(original, style, &error);
        ASSERT_TRUE(text) << error.description();
        auto back = PlatformJson::read(*text, &error);
        ASSERT_TRUE(back) << error.description() << "\n" << *text;
        EXPECT_TRUE(sameKinds(original, *back));
        // Writing what was read gives the same text.
        EXPECT_EQ(PlatformJson::write(*back, style), text);
    }
    auto compact = *PlatformJson::write(original);
    auto pretty = *PlatformJson::write(original, PlatformJson::Style::Pretty);
    EXPECT_EQ(compact.find('\n'), std::string::npos);
    EXPECT_GT(std::count(pretty.begin(), pretty.end(), '\n'), 15);
    // Control characters inside texts are escaped, never raw.
    EXPECT_EQ(compact.find('\x01'), std::string::npos);
    EXPECT_EQ(compact.find('\t'), std::string::npos);
    auto bytes = PlatformJson::writeData(original);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), compact);
}

TEST(PlatformJson, KeepsSixtyFourBitIntegersExact)
{
    auto maxUnsigned = PlatformJson::read("18446744073709551615");
    ASSERT_TRUE(maxUnsigned);
    EXPECT_EQ(maxUnsigned->kind(), Value::Kind::UInt);
    EXPECT_EQ(maxUnsigned->unsignedLongLongValue(), std::numeric_limits<std::uint64_t>::max());
    auto minSigned = PlatformJson::read("-9223372036854775808");
    ASSERT_TRUE(minSigned);
    EXPECT_EQ(minSigned->kind(), Value::Kind::Int);
    EXPECT_EQ(minSigned->longLongValue(), std::numeric_limits<long long>::min());
    EXPECT_EQ(PlatformJson::write(*maxUnsigned), "18446744073709551615");
    EXPECT_EQ(PlatformJson::write(*minSigned), "-9223372036854775808");

    // Beyond 64 bits the text is kept exactly, not rounded through a double.
    auto beyond = PlatformJson::read("[18446744073709551616, -9223372036854775809]");
    ASSERT_TRUE(beyond);
    EXPECT_EQ((*beyond)[0].kind(), Value::Kind::Decimal);
    EXPECT_EQ((*beyond)[1].kind(), Value::Kind::Decimal);
    EXPECT_EQ(PlatformJson::write(*beyond), "[18446744073709551616,-9223372036854775809]");
    // A number no double can hold is refused rather than turned into infinity.
    Error error;
    EXPECT_FALSE(PlatformJson::read("[1e400]", &error));
    EXPECT_NE(error.localizedDescription().find("overflow"), std::string::npos) << error.description();

    // Integers and doubles stay apart; bools are not numbers here.
    auto mixed = PlatformJson::read("[1, 1.0, 1e2, true, 0]");
    ASSERT_TRUE(mixed);
    EXPECT_EQ((*mixed)[0].kind(), Value::Kind::Int);
    EXPECT_EQ((*mixed)[1].kind(), Value::Kind::Double);
    EXPECT_EQ((*mixed)[2].kind(), Value::Kind::Double);
    EXPECT_EQ((*mixed)[3].kind(), Value::Kind::Bool);
    EXPECT_EQ((*mixed)[4].kind(), Value::Kind::Int);
}

TEST(PlatformJson, RefusesValuesJsonCannotHold)
{
    struct Case {
        const char* what;
        Value value;
    };
    std::vector<Case> cases = {
        { "NaN", Value(std::nan("")) },
        { "infinity", Value(std::numeric_limits<double>::infinity()) },
        { "negative infinity", Value(-std::numeric_limits<double>::infinity()) },
        { "data", Value(platform::Bytes { 1, 2, 3 }) },
        { "date", Value(platform::Date { 0 }) },
        { "record", Value(std::make_shared<Record>()) },
        { "NaN deep inside", Value(Dictionary { { "params", Value(Array { Value(1), Value(std::nan("")) }) } }) },
        { "invalid UTF-8 text", Value(std::string("\xC3\x28")) },
        { "invalid UTF-8 key", Value(Dictionary { { std::string("\xFF"), Value(1) } }) },
        { "decimal that is no number", Value::decimal("12abc") },
    };
    for (const auto& c : cases) {
        Error error;
        EXPECT_FALSE(PlatformJson::write(c.value, PlatformJson::Style::Pretty, &error)) << c.what;
        EXPECT_EQ(error.domain(), platform::kCocoaErrorDomain) << c.what;
        EXPECT_EQ(error.code(), platform::kPropertyListWriteInvalidError) << c.what;
        EXPECT_FALSE(PlatformJson::isValidJsonValue(c.value)) << c.what;
    }
    Error error;
    PlatformJson::write(Value(std::make_shared<Record>()), PlatformJson::Style::Compact, &error);
    EXPECT_NE(error.localizedDescription().find("WeiboInfo"), std::string::npos);
}

TEST(PlatformJson, AcceptsTopLevelFragments)
{
    auto three = PlatformJson::read("3");
    ASSERT_TRUE(three);
    EXPECT_EQ(three->kind(), Value::Kind::Int);
    EXPECT_EQ(three->intValue(), 3);
    EXPECT_EQ(PlatformJson::read("\"x\""), Value("x"));
    EXPECT_EQ(PlatformJson::read(" true "), Value(true));
    auto null = PlatformJson::read("null");
    ASSERT_TRUE(null);
    EXPECT_TRUE(null->isNull());
    auto half = PlatformJson::read("\n-0.5\t");
    ASSERT_TRUE(half);
    EXPECT_EQ(half->kind(), Value::Kind::Double);
    EXPECT_EQ(half->doubleValue(), -0.5);
    EXPECT_EQ(PlatformJson::write(Value("x")), "\"x\"");
    EXPECT_EQ(PlatformJson::read("\"\\u4e2d\\ud83d\\ude00\""), Value("中\xF0\x9F\x98\x80"));
}

TEST(PlatformJson, InvalidInputGivesNothingAndAnError)
{
    std::vector<std::string> inputs = { "", "   ", "{", "[1,]", "{\"a\" 1}", "01", "nan", "NaN", "Infinity", "1 2",
        "'x'", "{\"a\":1}}", "[1] x", "\"\\ud800\"", "\"\xFF\"", "\"unterminated", "\"raw\ncontrol\"", "{1:2}",
        std::string("[1,\0 2]", 7), "tru", "-", "1.", ".5", "+1" };
    inputs.push_back(std::string(100000, '['));
    inputs.push_back(std::string(600, '[') + std::string(600, ']'));
    for (const auto& input : inputs) {
        Error error;
        EXPECT_FALSE(PlatformJson::read(input, &error)) << input.substr(0, 40);
        EXPECT_EQ(error.domain(), platform::kCocoaErrorDomain) << input.substr(0, 40);
        EXPECT_EQ(error.code(), platform::kPropertyListReadCorruptError);
        EXPECT_FALSE(error.localizedDescription().empty());
    }
    // Nesting within the limit is fine.
    auto deep = PlatformJson::read(std::string(400, '[') + std::string(400, ']'));
    ASSERT_TRUE(deep);
    EXPECT_TRUE(deep->isArray());
}

TEST(PlatformJson, ANulByteDoesNotEndTheText)
{
    // The parser underneath stops at a NUL as at the end of the text: what
    // follows it must not be dropped unseen.
    using namespace std::string_literals;
    const std::string envelope = R"({"code":"0","message":"ok","data":{"id":1}})";
    std::vector<std::string> inputs = { "1\0garbage"s, "1\0"s, "\0"s, "\0 1"s, "[1]\0"s, "\"a\0b\""s,
        envelope + "\0<html><body>502 Bad Gateway</body></html>"s, "{\"a\":1 \0}"s };
    for (const auto& input : inputs) {
        Error error;
        EXPECT_FALSE(PlatformJson::read(input, &error)) << testing::PrintToString(input);
        EXPECT_EQ(error.code(), platform::kPropertyListReadCorruptError);
        EXPECT_NE(error.localizedDescription().find("NUL"), std::string::npos) << error.localizedDescription();
        EXPECT_FALSE(PlatformJson::read(platform::Bytes(input.begin(), input.end())));
    }
    // An escaped NUL inside a string is text like any other.
    auto escaped = PlatformJson::read(R"("a\u0000b")");
    ASSERT_TRUE(escaped);
    EXPECT_EQ(*escaped, Value("a\0b"s));
}

TEST(PlatformJson, KeepsKeyOrderAndTheLastRepeatedKey)
{
    std::string text = R"({"zebra":1,"apple":{"y":true,"b":null},"mango":[3,2,1]})";
    auto value = PlatformJson::read(text);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->asDictionary()->keys(), (std::vector<std::string> { "zebra", "apple", "mango" }));
    EXPECT_EQ(PlatformJson::write(*value), text);

    auto repeated = PlatformJson::read(R"({"a":1,"b":2,"a":3})");
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->count(), 2u);
    EXPECT_EQ((*repeated)["a"].intValue(), 3);
}

TEST(PlatformJson, AgreesWithPythonOnKindsAndValues)
{
    if (!osfiles_test::haveTool("python3"))
        ORB_SKIP_WITHOUT_TOOL("python3 missing");
    osfiles_test::TempDir temp;
    // Python writes a varied document; we read it and write it back in both
    // styles; Python then compares all three with kinds (int, float, bool) checked.
    std::string script = temp / "check.py";
    ASSERT_TRUE(platform::FileUtil::write(script, std::string_view(R"PY(
import json, random, sys
def make(r, depth):
    k = r.randrange(9 if depth < 4 else 6)
    if k == 0: return None
    if k == 1: return r.random() < 0.5
    if k == 2: return r.randrange(-2**63, 2**64)
    if k == 3: return r.uniform(-1e6, 1e6) * 10 ** r.randrange(-300, 300)
    if k == 4: return ''.join(chr(r.choice([r.randrange(0x20, 0x7f), r.randrange(0, 0x20), r.randrange(0x4e00, 0x9fff), r.randrange(0x10000, 0x1ffff)])) for _ in range(r.randrange(12)))
    if k == 5: return float(r.randrange(-1000, 1000))
    if k in (6, 7): return [make(r, depth + 1) for _ in range(r.randrange(5))]
    return {('k%d' % i) + chr(r.randrange(0x4e00, 0x4e10)): make(r, depth + 1) for i in range(r.randrange(5))}
def same(a, b):
    if type(a) is not type(b): return False
    if isinstance(a, list): return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, dict): return list(a) == list(b) and all(same(a[k], b[k]) for k in a)
    return a == b
mode, path = sys.argv[1], sys.argv[2]
if mode == 'make':
    r = random.Random(20240102)
    doc = {'items': [make(r, 0) for _ in range(60)]}
    open(path, 'w', encoding='utf-8').write(json.dumps(doc, ensure_ascii=(r.random() < 0.5)))
else:
    docs = [json.load(open(p, encoding='utf-8')) for p in sys.argv[2:]]
    sys.exit(0 if all(same(docs[0], d) for d in docs[1:]) else 1)
)PY")));
    std::string source = temp / "source.json";
    ASSERT_EQ(osfiles_test::runCommand("python3 " + script + " make " + source).status, 0);
    auto text = platform::FileUtil::readText(source);
    ASSERT_TRUE(text);
    Error error;
    auto value = PlatformJson::read(*text, &error);
    ASSERT_TRUE(value) << error.description();
    auto compact = PlatformJson::write(*value, PlatformJson::Style::Compact, &error);
    auto pretty = PlatformJson::write(*value, PlatformJson::Style::Pretty, &error);
    ASSERT_TRUE(compact && pretty) << error.description();
    ASSERT_TRUE(platform::FileUtil::write(temp / "compact.json", *compact));
    ASSERT_TRUE(platform::FileUtil::write(temp / "pretty.json", *pretty));
    EXPECT_EQ(osfiles_test::runCommand("python3 " + script + " compare " + source + " " + (temp / "compact.json") + " "
                  + (temp / "pretty.json"))
                  .status,
        0);
    if (osfiles_test::haveTool("jq")) {
        // A second, independent parser accepts both forms as well.
        EXPECT_EQ(
            osfiles_test::runCommand("jq empty " + (temp / "pretty.json") + " " + (temp / "compact.json")).status, 0);
    } else {
        EXPECT_FALSE(testsupport::toolsRequired()) << "jq is not installed";
    }
}

} // namespace
