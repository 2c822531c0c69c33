// Conformance of the parser against RFC 8259 and the codec's own limits:
// what is accepted (and as which value), what is refused (and with which text).
#include "JsonTestSupport.h"

#include "foundation/json/JsonParser.h"
#include "platform/os/Error.h"
#include "platform/os/Log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using jsontest::decimal;
using jsontest::parse;
using jsontest::single;
using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

struct Accepted {
    const char* name;
    std::string input;
    Value expected;
};

struct Refused {
    const char* name;
    std::string input;
    std::string error;
};

std::string nested(int depth, const char* open, const char* close)
{
    std::string s;
    for (int i = 0; i < depth; ++i)
        s += open;
    for (int i = 0; i < depth; ++i)
        s += close;
    return s;
}

Value nestedArrays(int depth)
{
    Value v = Array {};
    for (int i = 1; i < depth; ++i)
        v = Array { v };
    return v;
}

} // namespace

TEST(JsonParserConformance, AcceptedDocumentsGiveTheirValues)
{
    const std::vector<Accepted> cases = {
        { "empty object", "{}", Dictionary {} },
        { "empty array", "[]", Array {} },
        { "white space around", " \t\r\n[ 1 , 2 ]\n ", Array { 1, 2 } },
        { "object members in order", R"({"b":1,"a":[true,false,null]})",
            Dictionary { { "b", 1 }, { "a", Array { true, false, nullptr } } } },
        { "repeated key keeps the last value", R"({"a":1,"a":2})", Dictionary { { "a", 2 } } },
        { "nested mixed", R"([{"k":[{}]},[[]],"s"])",
            Array { Dictionary { { "k", Array { Dictionary {} } } }, Array { Array {} }, "s" } },
        { "chinese text unchanged", "[\"家校通 消息\"]", Array { "家校通 消息" } },
        { "empty key and value", R"({"":""})", Dictionary { { "", "" } } },
        { "32 nested arrays", nested(32, "[", "]"), nestedArrays(32) },
    };
    for (const auto& c : cases) {
        auto r = parse(c.input);
        EXPECT_EQ(r.value, c.expected) << c.name << ": " << r.error;
        EXPECT_EQ(r.error, "") << c.name;
    }
}

TEST(JsonParserConformance, RefusedDocumentsGiveTheExactText)
{
    const std::vector<Refused> cases = {
        // Input shape.
        { "empty", "", "Unexpected end of input" },
        { "only white space", " \n\t ", "Unexpected end of input" },
        { "unclosed object", "{", "Unexpected end of input" },
        { "unfinished array", "[1", "Unexpected end of input" },
        { "literal cut at the end", "[nul", "Unexpected end of input" },
        { "bare number at the end", "123", "Unexpected end of input" },
        { "bare number", "123 ", "Token 'number' not expected before outer-most array or object" },
        { "bare string", "\"a\"", "Token 'string' not expected before outer-most array or object" },
        { "bare null", "null", "Token 'null' not expected before outer-most array or object" },
        { "bare boolean", "true", "Token 'boolean' not expected before outer-most array or object" },
        { "two documents", "{}{}", "Token 'start of object' not expected after outer-most array or object" },
        { "extra close", "[1]]", "Token 'end of array' not expected after outer-most array or object" },
        // An unfinished token after the value is not ignored.
        { "number after the value", "[1]12", "Token 'number' not expected after outer-most array or object" },
        { "exponent after the value", "[1]1E+2", "Token 'number' not expected after outer-most array or object" },
        { "cut literal after the value", "{} tru", "Expected 'true' after initial 't'" },
        { "minus after the value", "[1]-", "No digits after initial minus" },
        { "open string after the value", "[1] \"abc", "Unexpected end of input" },
        // Every state's refusal.
        { "trailing comma in array", "[1,]", "Token 'end of array' not expected as array value" },
        { "missing comma", "[1 2]", "Token 'number' not expected after array value" },
        { "booleans without comma", "[true false]", "Token 'boolean' not expected after array value" },
        { "leading comma", "[,1]", "Token 'value separator' not expected at array start" },
        { "array closed as object", "[}", "Token 'end of object' not expected at array start" },
        { "colon in array", "[:", "Token 'key-value separator' not expected at array start" },
        { "number as key", "{1:2}", "Token 'number' not expected at beginning of object" },
        { "missing colon", R"({"a" 1})", "Token 'number' not expected after object key" },
        { "missing value", R"({"a":})", "Token 'end of object' not expected as object value" },
        { "double colon", R"({"a"::1})", "Token 'key-value separator' not expected as object value" },
        { "trailing comma in object", R"({"a":1,})", "Token 'end of object' not expected in place of object key" },
        { "object closed as array", R"({"a":1])", "Token 'end of array' not expected after object value" },
        { "missing comma in object", R"({"a":1 "b":2})", "Token 'string' not expected after object value" },
        { "null as key", R"({"a":1,null:2})", "Token 'null' not expected in place of object key" },
        // Tokens.
        { "garbage after value", "[1] x", "Illegal start of token [x]" },
        { "control byte", "[\x01]", "Illegal start of token [\x01]" },
        { "form feed is no white space", "[\f1]", "Illegal start of token [\f]" },
        { "byte order mark", "\xEF\xBB\xBF[1]", "Illegal start of token [\xC3\xAF]" },
        { "raw high byte", "[\xE4\xB8\xAD]", "Illegal start of token [\xC3\xA4]" },
        { "single quotes", "['a']", "Illegal start of token [']" },
        { "NaN literal", "[NaN]", "Illegal start of token [N]" },
        { "point first", "[.5]", "Illegal start of token [.]" },
        { "true misspelt", "[tru]", "Expected 'true' after initial 't'" },
        { "false misspelt", "[fals]", "Expected 'false' after initial 'f'" },
        { "null misspelt", "[nulx]", "Expected 'null' after initial 'n'" },
        { "literal runs on", "[truex]", "Illegal start of token [x]" },
        // Numbers.
        { "leading plus", "[+1]", "Leading + is illegal in number" },
        { "leading zero", "[01]", "Leading zero is illegal in number" },
        { "negative leading zero", "[-01]", "Leading zero is illegal in number" },
        { "point without digits", "[1.]", "No digits after decimal point" },
        { "point before exponent", "[1.e5]", "No digits after decimal point" },
        { "exponent without digits", "[1e]", "No digits in exponent" },
        { "signed exponent without digits", "[1e+]", "No digits in exponent" },
        { "minus alone", "[-]", "No digits after initial minus" },
        { "minus then exponent", "[-e5]", "No digits after initial minus" },
        { "39 digits", "[123456789012345678901234567890123456789]", "Precision is too high" },
        { "39 digits with point", "[1234567890123456789.01234567890123456789]", "Precision is too high" },
        { "exponent 128", "[1e128]", "Exponent out of range" },
        { "exponent -129", "[1e-129]", "Exponent out of range" },
        { "fraction pushes exponent", "[0.1e-128]", "Exponent out of range" },
        { "exponent 200", "[1e200]", "Exponent out of range" },
        { "exponent past 16 bits", "[1e65537]", "Exponent out of range" },
        { "negative exponent past 16 bits", "[1e-65537]", "Exponent out of range" },
        { "huge exponent", "[1e99999999999999999999999]", "Exponent out of range" },
        // Strings.
        { "raw tab", "[\"a\tb\"]", "Unescaped control character [0x09]" },
        { "raw line feed", "[\"a\nb\"]", "Unescaped control character [0x0A]" },
        { "raw 0x1F", "[\"\x1F\"]", "Unescaped control character [0x1F]" },
        { "raw NUL", std::string("[\"\0\"]", 5), "Unescaped control character [0x00]" },
        { "control after escape", "[\"\\n\x01\"]", "Unescaped control character [0x01]" },
        { "unknown escape", R"(["\x41"])", "Illegal escape character" },
        { "escaped single quote", R"(["\'"])", "Illegal escape character" },
        { "bad hex", R"(["\u12G4"])", "Invalid hex quad" },
        { "short hex", R"(["\u12"]   )", "Invalid hex quad" },
        { "high surrogate alone", R"(["\uD83D"]    )", "Missing low character in surrogate pair" },
        { "high surrogate then text", R"(["\uD83Dabcdef"])", "Missing low character in surrogate pair" },
        { "high surrogate then bad quad", R"(["\uD83D\uZZZZ"])", "Missing low character in surrogate pair" },
        { "high surrogate then other escape", R"(["\uD83D\n\uDE00"])", "Missing low character in surrogate pair" },
        { "high then non-low", R"(["\uD83D\u0041"])", "Invalid low character in surrogate pair" },
        { "two highs", R"(["\uD83D\uD83D"])", "Invalid low character in surrogate pair" },
        { "low surrogate alone", R"(["\uDE00"])", "Invalid high character in surrogate pair" },
        { "low surrogate first", R"(["\uDC00\uD800"])", "Invalid high character in surrogate pair" },
        // Depth.
        { "33 nested arrays", nested(33, "[", "]"), "Input depth exceeds max depth of 32" },
        { "33 nested objects", nested(32, "{\"k\":", "}").insert(0, "[") + "]", "Input depth exceeds max depth of 32" },
    };
    for (const auto& c : cases) {
        auto r = parse(c.input);
        EXPECT_TRUE(r.value.isNull()) << c.name;
        EXPECT_EQ(r.error, c.error) << c.name;
    }
}

TEST(JsonParserConformance, InvalidUtf8InsideStringsIsRefused)
{
    const std::vector<std::pair<const char*, std::string>> broken = {
        { "overlong slash, 2 bytes", "\xC0\xAF" },
        { "overlong, C1", "\xC1\xBF" },
        { "overlong slash, 3 bytes", "\xE0\x80\xAF" },
        { "overlong slash, 4 bytes", "\xF0\x80\x80\xAF" },
        { "lone continuation 80", "\x80" },
        { "lone continuation BF", "a\xBF" },
        { "truncated 2-byte", "\xC3" },
        { "truncated 3-byte", "\xE4\xB8" },
        { "truncated 4-byte", "\xF0\x9F\x98" },
        { "truncated before escape", "\xE4\xB8\\n" },
        { "encoded high surrogate", "\xED\xA0\x80" },
        { "encoded low surrogate", "\xED\xBF\xBF" },
        { "above U+10FFFF", "\xF4\x90\x80\x80" },
        { "F5 lead", "\xF5\x80\x80\x80" },
        { "FE byte", "\xFE" },
        { "FF byte", "\xFF" },
        { "lead then ASCII",
            "\xE4"
            "a"
            "\xAD" },
    };
    for (const auto& [name, bytes] : broken) {
        auto r = parse("[\"" + bytes + "\"]");
        EXPECT_TRUE(r.value.isNull()) << name;
        EXPECT_EQ(r.error, "Broken Unicode encoding") << name;
        // The same bytes as a key.
        auto k = parse("{\"" + bytes + "\":1}");
        EXPECT_EQ(k.error, "Broken Unicode encoding") << name << " as key";
    }
}

TEST(JsonParserConformance, ValidUtf8BoundariesPass)
{
    const std::vector<std::string> good = {
        "\xC2\x80", // U+0080
        "\xDF\xBF", // U+07FF
        "\xE0\xA0\x80", // U+0800
        "\xED\x9F\xBF", // U+D7FF
        "\xEE\x80\x80", // U+E000
        "\xEF\xBF\xBF", // U+FFFF
        "\xF0\x90\x80\x80", // U+10000
        "\xF4\x8F\xBF\xBF", // U+10FFFF
        "\x7F", // DEL needs no escape
        "\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80",
    };
    for (const auto& bytes : good)
        EXPECT_EQ(single("[\"" + bytes + "\"]"), Value(bytes)) << bytes;
}

TEST(JsonParserConformance, EveryEscapeDecodes)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        { R"(\")", "\"" },
        { R"(\\)", "\\" },
        { R"(\/)", "/" },
        { R"(\b)", "\b" },
        { R"(\f)", "\f" },
        { R"(\n)", "\n" },
        { R"(\r)", "\r" },
        { R"(\t)", "\t" },
        { R"(\u0041)", "A" },
        { R"(\u00e9)", "\xC3\xA9" },
        { R"(\u00E9)", "\xC3\xA9" },
        { R"(\u4e2D)", "\xE4\xB8\xAD" },
        { R"(\u0000)", std::string(1, '\0') },
        { R"(\u001f)", "\x1F" },
        { R"(\uffff)", "\xEF\xBF\xBF" },
        { R"(\uD83D\uDE00)", "\xF0\x9F\x98\x80" },
        { R"(\uD800\uDC00)", "\xF0\x90\x80\x80" },
        { R"(\uDBFF\uDFFF)", "\xF4\x8F\xBF\xBF" },
        { R"(a\nb\u4e2dc)",
            "a\nb\xE4\xB8\xAD"
            "c" },
        { R"(\\u0041)", "\\u0041" },
    };
    for (const auto& [escaped, decoded] : cases) {
        EXPECT_EQ(single("[\"" + escaped + "\"]"), Value(decoded)) << escaped;
        auto r = parse("{\"" + escaped + "\":0}");
        ASSERT_TRUE(r.value.isDictionary()) << escaped << ": " << r.error;
        EXPECT_TRUE(r.value.asDictionary()->contains(decoded)) << escaped;
    }
}

TEST(JsonParserNumbers, KindsAndExactValues)
{
    struct Case {
        const char* text;
        Value expected;
        Value::Kind kind;
    };
    const std::vector<Case> cases = {
        { "0", Value(0), Value::Kind::Int },
        { "-0", Value(0), Value::Kind::Int },
        { "10", Value(10), Value::Kind::Int },
        { "-42", Value(-42), Value::Kind::Int },
        { "9223372036854775807", Value(9223372036854775807LL), Value::Kind::Int },
        { "-9223372036854775808", Value(-9223372036854775807LL - 1), Value::Kind::Int },
        // 2^63 .. 2^64-1 fit an unsigned 64-bit integer.
        { "9223372036854775808", Value(9223372036854775808ULL), Value::Kind::UInt },
        { "18446744073709551615", Value(18446744073709551615ULL), Value::Kind::UInt },
        // Past 64 bits: exact decimals, never wrapped.
        { "18446744073709551616", decimal("18446744073709551616"), Value::Kind::Decimal },
        { "99999999999999999999", decimal("99999999999999999999"), Value::Kind::Decimal },
        { "-9223372036854775809", decimal("-9223372036854775809"), Value::Kind::Decimal },
        { "-18446744073709551616", decimal("-18446744073709551616"), Value::Kind::Decimal },
        { "1234567890123456789012345", decimal("1234567890123456789012345"), Value::Kind::Decimal },
        { "12345678901234567890123456789012345678", decimal("12345678901234567890123456789012345678"),
            Value::Kind::Decimal },
        { "-12345678901234567890123456789012345678", decimal("-12345678901234567890123456789012345678"),
            Value::Kind::Decimal },
        // A 20-digit mantissa with a fraction does not fit 64 bits either.
        { "9999999999999999999.9", decimal("9999999999999999999.9"), Value::Kind::Decimal },
        { "18446744073709551616.5", decimal("18446744073709551616.5"), Value::Kind::Decimal },
        // Fractions and exponents are exact decimals in one plain form.
        { "1.5", decimal("1.5"), Value::Kind::Decimal },
        { "1.50", decimal("1.5"), Value::Kind::Decimal },
        { "15e-1", decimal("1.5"), Value::Kind::Decimal },
        { "0.1", decimal("0.1"), Value::Kind::Decimal },
        { "1.0", decimal("1"), Value::Kind::Decimal },
        { "-0.0", decimal("0"), Value::Kind::Decimal },
        { "1E2", decimal("100"), Value::Kind::Decimal },
        { "1e+2", decimal("100"), Value::Kind::Decimal },
        { "-2.5e-3", decimal("-0.0025"), Value::Kind::Decimal },
        { "0e5", decimal("0"), Value::Kind::Decimal },
        // Plain digits while they fit 38, then digits and an exponent, so
        // that every decimal can be written and read back.
        { "1e37", decimal("10000000000000000000000000000000000000"), Value::Kind::Decimal },
        { "1e38", decimal("1e38"), Value::Kind::Decimal },
        { "1e127", decimal("1e127"), Value::Kind::Decimal },
        { "1e-37", decimal(("0." + std::string(36, '0') + "1").c_str()), Value::Kind::Decimal },
        { "1e-38", decimal("1e-38"), Value::Kind::Decimal },
        { "-1.25e-35", decimal(("-0." + std::string(34, '0') + "125").c_str()), Value::Kind::Decimal },
        { "-1.25e-36", decimal("-125e-38"), Value::Kind::Decimal },
        { "1e-127", decimal("1e-127"), Value::Kind::Decimal },
        { "1e-128", decimal("1e-128"), Value::Kind::Decimal },
        { "-2.5e-120", decimal("-25e-121"), Value::Kind::Decimal },
        { "1.5e127", decimal("15e126"), Value::Kind::Decimal },
        // The exponent as read is in range; without its zero it would not be.
        { "10e127", decimal("10e127"), Value::Kind::Decimal },
        // Accepted though RFC 8259 has no such form: a minus, a point, digits.
        { "-.5", decimal("-0.5"), Value::Kind::Decimal },
    };
    for (const auto& c : cases) {
        Value v = single(std::string("[") + c.text + "]");
        EXPECT_EQ(v, c.expected) << c.text << " gave " << v.description();
        EXPECT_EQ(v.kind(), c.kind) << c.text;
    }
}

TEST(JsonParserNumbers, NumbersEndOnlyWhenTheNextByteIsHere)
{
    foundation::JsonParser parser;
    for (const char* cut : { "[1", "[-", "[1.", "[1.5", "[1e", "[1e+", "[1e5", "[0", "[-0" }) {
        EXPECT_TRUE(parser.objectWithString(cut).isNull()) << cut;
        EXPECT_EQ(parser.error(), "Unexpected end of input") << cut;
    }
}

TEST(JsonParserFacade, NilInputAndTheErrorObject)
{
    foundation::JsonParser parser;
    EXPECT_EQ(parser.error(), "");
    EXPECT_EQ(parser.maxDepth(), 32u);
    EXPECT_TRUE(parser.objectWithString(static_cast<const std::string*>(nullptr)).isNull());
    EXPECT_EQ(parser.error(), "Input was 'nil'");
    parser.setError("");
    EXPECT_TRUE(parser.objectWithData(static_cast<const platform::Bytes*>(nullptr)).isNull());
    EXPECT_EQ(parser.error(), "Input was 'nil'");

    platform::Error error;
    EXPECT_TRUE(parser.objectWithString("[1,", &error).isNull());
    EXPECT_EQ(error.domain(), "org.vantrell.JsonParser.ErrorDomain");
    EXPECT_EQ(error.code(), 0);
    EXPECT_EQ(error.localizedDescription(), "Unexpected end of input");

    platform::Error untouched("kept", 7);
    EXPECT_EQ(parser.objectWithString("[1]", &untouched), Value(Array { 1 }));
    EXPECT_EQ(untouched.domain(), "kept");
}

TEST(JsonParserFacade, ASuccessKeepsThePreviousError)
{
    foundation::JsonParser parser;
    EXPECT_TRUE(parser.objectWithString("[01]").isNull());
    EXPECT_EQ(parser.objectWithString(R"({"a":[1]})"), Value(Dictionary { { "a", Array { 1 } } }));
    EXPECT_EQ(parser.error(), "Leading zero is illegal in number");
}

TEST(JsonParserFacade, DataAndTextAgree)
{
    const std::string text = R"({"名字":"张三","ids":[1,2.5,-3],"ok":true})";
    foundation::JsonParser parser;
    Value fromText = parser.objectWithString(text);
    Value fromData = parser.objectWithData(platform::Bytes(text.begin(), text.end()));
    ASSERT_TRUE(fromText.isDictionary());
    EXPECT_EQ(fromText, fromData);
    EXPECT_EQ(fromText["名字"], Value("张三"));
    EXPECT_EQ(fromText["ids"][1], decimal("2.5"));
}

TEST(JsonParserFacade, MaxDepthIsConfigurable)
{
    foundation::JsonParser parser;
    parser.setMaxDepth(3);
    EXPECT_TRUE(parser.objectWithString("[[[]]]").isArray());
    EXPECT_TRUE(parser.objectWithString("[[[{}]]]").isNull());
    EXPECT_EQ(parser.error(), "Input depth exceeds max depth of 3");
    parser.setMaxDepth(100);
    EXPECT_EQ(parser.objectWithString(nested(100, "[", "]")), nestedArrays(100));
}

TEST(JsonParserFacade, ConveniencesLogTheirFailure)
{
    platform::LogCapture capture;
    EXPECT_EQ(foundation::JSONValue(std::string_view("[true]")), Value(Array { true }));
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_TRUE(foundation::JSONValue(std::string_view("{")).isNull());
    EXPECT_TRUE(capture.contains("-JSONValue failed. Error is: Unexpected end of input"));
    std::string bad = "[\"\xC0\xAF\"]";
    EXPECT_TRUE(foundation::JSONValue(platform::Bytes(bad.begin(), bad.end())).isNull());
    EXPECT_TRUE(capture.contains("-JSONValue failed. Error is: Broken Unicode encoding"));
}
