// The writer: both output forms, key order, escapes, every number kind and
// every failure text, through the facade and the stream writer.
#include "JsonTestSupport.h"

#include "foundation/json/JsonProxyObject.h"
#include "foundation/json/JsonStreamWriter.h"
#include "foundation/json/JsonStreamWriterAccumulator.h"
#include "foundation/json/JsonWriter.h"
#include "platform/os/Error.h"
#include "platform/os/Log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using jsontest::decimal;
using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

std::string write(const Value& v, bool human = false, bool sort = false)
{
    foundation::JsonWriter writer;
    writer.setHumanReadable(human);
    writer.setSortKeys(sort);
    auto text = writer.stringWithObject(v);
    return text ? *text : "<failed: " + writer.error() + ">";
}

std::string failure(const Value& v)
{
    foundation::JsonWriter writer;
    auto text = writer.stringWithObject(v);
    return text ? "<wrote: " + *text + ">" : writer.error();
}

Value nestedArrays(int depth)
{
    Value v = Array {};
    for (int i = 1; i < depth; ++i)
        v = Array { v };
    return v;
}

class Contact final : public foundation::JsonProxyObject {
public:
    Contact(std::string name, int id)
        : name_(std::move(name))
        , id_(id)
    {
    }
    std::string className() const override { return "Contact"; }
    Value proxyForJson() const override { return Dictionary { { "name", name_ }, { "id", id_ } }; }

private:
    std::string name_;
    int id_;
};

class Plain final : public platform::Object {
public:
    std::string className() const override { return "Plain"; }
};

// A record whose stand-in is itself: must fail, not recurse for ever.
class Loop final : public foundation::JsonProxyObject {
public:
    std::string className() const override { return "Loop"; }
    Value proxyForJson() const override { return Value(std::make_shared<Loop>()); }
};

// A proxy that answers a plain text: fine inside a container, not at the top.
class Label final : public foundation::JsonProxyObject {
public:
    Value proxyForJson() const override { return Value("label"); }
};

} // namespace

TEST(JsonWriterForms, CompactAndHumanReadable)
{
    const Value doc = Dictionary { { "a", 1 }, { "b", Array { 1, 2 } } };
    EXPECT_EQ(write(doc), R"({"a":1,"b":[1,2]})");
    EXPECT_EQ(write(doc, true), "{\n  \"a\": 1,\n  \"b\": [\n    1,\n    2\n  ]\n}");

    const Value deeper = Array { Dictionary { { "k", Dictionary {} } }, Array {}, nullptr };
    EXPECT_EQ(write(deeper), R"([{"k":{}},[],null])");
    EXPECT_EQ(write(deeper, true), "[\n  {\n    \"k\": {\n    }\n  },\n  [\n  ],\n  null\n]");

    EXPECT_EQ(write(Dictionary {}), "{}");
    EXPECT_EQ(write(Array {}), "[]");
    EXPECT_EQ(write(Dictionary {}, true), "{\n}");
    EXPECT_EQ(write(Array {}, true), "[\n]");
}

TEST(JsonWriterForms, HumanReadableOutputParsesBack)
{
    const Value doc = Dictionary { { "list", Array { Dictionary { { "id", 1 }, { "t", "文本" } }, true, nullptr } },
        { "n", decimal("2.5") } };
    auto back = jsontest::parse(write(doc, true));
    EXPECT_EQ(back.value, doc) << back.error;
}

TEST(JsonWriterForms, KeyOrder)
{
    const Value doc = Dictionary { { "b", 1 }, { "a", 2 }, { "B", 3 }, { "aa", 4 }, { "中", 5 }, { "😀", 6 },
        { "\xEF\xBD\xA1", 7 } };
    // Unsorted: the dictionary's own order.
    EXPECT_EQ(write(doc), "{\"b\":1,\"a\":2,\"B\":3,\"aa\":4,\"中\":5,\"😀\":6,\"\xEF\xBD\xA1\":7}");
    // Sorted by UTF-16 code units, as the phone compares texts: U+1F600 is
    // a surrogate pair (D83D ...) and sorts before U+FF61.
    EXPECT_EQ(write(doc, false, true), "{\"B\":3,\"a\":2,\"aa\":4,\"b\":1,\"中\":5,\"😀\":6,\"\xEF\xBD\xA1\":7}");

    foundation::JsonWriter writer;
    writer.setSortKeys(true);
    // A comparator on length only: the stable sort keeps the dictionary's order among equals.
    writer.setSortKeysComparator([](std::string_view a, std::string_view b) {
        return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    });
    auto text = writer.stringWithObject(Dictionary { { "ccc", 1 }, { "b", 2 }, { "a", 3 }, { "dd", 4 } });
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, R"({"b":2,"a":3,"dd":4,"ccc":1})");
}

TEST(JsonWriterStrings, Escapes)
{
    struct Case {
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        { "\"", R"("\"")" },
        { "\\", R"("\\")" },
        { "/", R"("/")" },
        { "\b\f\n\r\t", R"("\b\f\n\r\t")" },
        { "\x01", R"("\u0001")" },
        { "\x1a\x1F", R"("\u001a\u001f")" },
        { std::string(1, '\0'), R"("\u0000")" },
        { "\x7F", "\"\x7F\"" },
        { "a\"b\\c\nd\x01", R"("a\"b\\c\nd\u0001")" },
        { "家校通", "\"家校通\"" },
        { "😀", "\"😀\"" },
        // Bytes that are no UTF-8 never reach the output as they are.
        { "a\xFF"
          "b",
            "\"a\xEF\xBF\xBD"
            "b\"" },
        { "\xE4\xB8", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"" },
        { "\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(write(Array { c.in }), "[" + c.out + "]") << c.in;
        EXPECT_EQ(write(Dictionary { { c.in, 0 } }), "{" + c.out + ":0}") << c.in;
    }
}

TEST(JsonWriterStrings, EscapingGrowsTheOutputAsNeeded)
{
    // Every byte a control character: six output bytes per input byte.
    std::string controls;
    for (int i = 0; i < 4000; ++i)
        controls.push_back(static_cast<char>(i % 0x20 == 0x08 ? 0x01 : i % 0x20));
    std::string text = write(Array { controls });
    EXPECT_GT(text.size(), controls.size() * 5);
    auto back = jsontest::parse(text);
    EXPECT_EQ(back.value, Value(Array { controls })) << back.error;

    std::string quotes(10000, '"');
    EXPECT_EQ(write(Array { quotes }).size(), 2 + 2 + 2 * quotes.size());
}

TEST(JsonWriterNumbers, EveryKind)
{
    struct Case {
        Value value;
        const char* text;
    };
    const std::vector<Case> cases = {
        { Value(0), "0" },
        { Value(-42), "-42" },
        { Value(std::numeric_limits<long long>::min()), "-9223372036854775808" },
        { Value(std::numeric_limits<long long>::max()), "9223372036854775807" },
        { Value(std::numeric_limits<unsigned long long>::max()), "18446744073709551615" },
        { Value(7u), "7" },
        { Value(true), "true" },
        { Value(false), "false" },
        { Value(0.5), "0.5" },
        { Value(0.1), "0.10000000000000001" },
        { Value(5.0), "5" },
        { Value(-0.0), "-0" },
        { Value(1e300), "1.0000000000000001e+300" },
        { Value(2.5f), "2.5" },
        { decimal("12345678901234567890.5"), "12345678901234567890.5" },
        { decimal("-0.0025"), "-0.0025" },
        { decimal("1E5"), "1E5" },
        // Looser decimal texts are written in the plain JSON form.
        { decimal("+1.50"), "1.5" },
        { decimal(".5"), "0.5" },
        { decimal("-7."), "-7" },
        { decimal("007"), "7" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(write(Array { c.value }), std::string("[") + c.text + "]") << c.text;
}

TEST(JsonWriterNumbers, NotANumberAndInfinitiesFail)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        Value value;
        const char* error;
    };
    const std::vector<Case> cases = {
        { Value(std::nan("")), "NaN is not a valid number in JSON" },
        { Value(-std::nan("")), "NaN is not a valid number in JSON" },
        { Value(std::numeric_limits<float>::quiet_NaN()), "NaN is not a valid number in JSON" },
        { Value(inf), "+Infinity is not a valid number in JSON" },
        { Value(-inf), "-Infinity is not a valid number in JSON" },
        { Value(std::numeric_limits<float>::infinity()), "+Infinity is not a valid number in JSON" },
        { decimal("NaN"), "NaN is not a valid number in JSON" },
        { decimal("nan"), "NaN is not a valid number in JSON" },
        { decimal("Infinity"), "+Infinity is not a valid number in JSON" },
        { decimal("-inf"), "-Infinity is not a valid number in JSON" },
        { decimal("12abc"), "NaN is not a valid number in JSON" },
        { decimal(""), "NaN is not a valid number in JSON" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failure(Array { c.value }), c.error) << c.value.description();
        EXPECT_EQ(failure(Dictionary { { "k", c.value } }), c.error) << c.value.description();
    }
}

TEST(JsonWriterFailures, EveryFacadeText)
{
    EXPECT_EQ(failure(Value("text")), "Not valid type for JSON");
    EXPECT_EQ(failure(Value(1)), "Not valid type for JSON");
    EXPECT_EQ(failure(Value()), "Not valid type for JSON");
    EXPECT_EQ(failure(Value(std::make_shared<Plain>())), "Not valid type for JSON");
    EXPECT_EQ(failure(Value(std::make_shared<Label>())), "Not valid type for JSON");

    EXPECT_EQ(failure(Dictionary { { "when", platform::Date::fromSeconds(0) } }),
        "JSON serialisation not supported for Date");
    EXPECT_EQ(failure(Array { platform::Bytes { 1, 2 } }), "JSON serialisation not supported for Data");
    EXPECT_EQ(failure(Array { Value(std::make_shared<Plain>()) }), "JSON serialisation not supported for Plain");

    EXPECT_EQ(write(nestedArrays(32)), std::string(32, '[') + std::string(32, ']'));
    EXPECT_EQ(failure(nestedArrays(33)), "Nested too deep");
    foundation::JsonWriter unlimited;
    unlimited.setMaxDepth(0);
    auto deep = unlimited.stringWithObject(nestedArrays(200));
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->size(), 400u);
}

TEST(JsonWriterFailures, ErrorIsClearedByTheNextWriteAndReported)
{
    foundation::JsonWriter writer;
    EXPECT_FALSE(writer.dataWithObject(Value("x")));
    EXPECT_EQ(writer.error(), "Not valid type for JSON");
    auto data = writer.dataWithObject(Array { "中" });
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()), "[\"中\"]");
    EXPECT_EQ(writer.error(), "");

    platform::Error error;
    EXPECT_FALSE(writer.stringWithObject(Array { std::nan("") }, &error));
    EXPECT_EQ(error.domain(), "org.vantrell.JsonWriter.ErrorDomain");
    EXPECT_EQ(error.code(), 0);
    EXPECT_EQ(error.localizedDescription(), "NaN is not a valid number in JSON");
}

TEST(JsonWriterProxies, RecordsAreWrittenAsTheirStandIn)
{
    auto contact = std::make_shared<Contact>("李老师", 9);
    EXPECT_EQ(write(Value(contact)), R"({"name":"李老师","id":9})");
    EXPECT_EQ(write(Dictionary { { "to", Array { Value(contact), Value(std::make_shared<Label>()) } } }),
        R"({"to":[{"name":"李老师","id":9},"label"]})");
    EXPECT_EQ(failure(Value(std::make_shared<Loop>())), "Nested too deep");
    EXPECT_EQ(failure(Array { Value(std::make_shared<Loop>()) }), "Nested too deep");
}

TEST(JsonWriterConvenience, LogsItsFailure)
{
    platform::LogCapture capture;
    EXPECT_EQ(foundation::JSONRepresentation(Array { 1, "a" }), std::optional<std::string>("[1,\"a\"]"));
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_FALSE(foundation::JSONRepresentation(Value(3)));
    EXPECT_TRUE(capture.contains("-JSONRepresentation failed. Error is: Not valid type for JSON"));
}

TEST(JsonStreamWriter, LowLevelWritesAndTheirRefusals)
{
    auto make = [] {
        auto writer = std::make_unique<foundation::JsonStreamWriter>();
        writer->setDelegate(std::make_shared<foundation::JsonStreamWriterAccumulator>());
        return writer;
    };
    auto output = [](foundation::JsonStreamWriter& w) {
        return static_cast<foundation::JsonStreamWriterAccumulator&>(*w.delegate()).data();
    };

    auto w = make();
    EXPECT_TRUE(w->writeObjectOpen());
    EXPECT_TRUE(w->writeString("k"));
    EXPECT_TRUE(w->writeArrayOpen());
    EXPECT_TRUE(w->writeNumber(Value(1)));
    EXPECT_TRUE(w->writeBool(true));
    EXPECT_TRUE(w->writeNull());
    EXPECT_TRUE(w->writeArrayClose());
    EXPECT_TRUE(w->writeObjectClose());
    EXPECT_EQ(output(*w), R"({"k":[1,true,null]})");
    EXPECT_FALSE(w->writeNull());
    EXPECT_EQ(w->error(), "Stream is closed");
    EXPECT_FALSE(w->writeArray(Array {}));
    EXPECT_EQ(w->error(), "Stream is closed");

    // A value where a key belongs.
    for (auto step : std::vector<std::function<bool(foundation::JsonStreamWriter&)>> {
             [](auto& x) { return x.writeNumber(Value(1)); }, [](auto& x) { return x.writeNull(); },
             [](auto& x) { return x.writeBool(false); }, [](auto& x) { return x.writeArrayOpen(); },
             [](auto& x) { return x.writeObjectOpen(); }, [](auto& x) { return x.writeArrayClose(); } }) {
        auto k = make();
        ASSERT_TRUE(k->writeObjectOpen());
        EXPECT_FALSE(step(*k));
        EXPECT_EQ(k->error(), "JSON object key must be string");
        // Also after a complete member.
        auto m = make();
        ASSERT_TRUE(m->writeObjectOpen() && m->writeString("a") && m->writeNull());
        EXPECT_FALSE(step(*m));
        EXPECT_EQ(m->error(), "JSON object key must be string");
    }

    // Closes that do not match what is open would make text that is not JSON.
    auto a = make();
    EXPECT_FALSE(a->writeArrayClose());
    EXPECT_EQ(a->error(), "No open array to close");
    auto b = make();
    EXPECT_FALSE(b->writeObjectClose());
    EXPECT_EQ(b->error(), "No open object to close");
    auto c = make();
    ASSERT_TRUE(c->writeArrayOpen());
    EXPECT_FALSE(c->writeObjectClose());
    EXPECT_EQ(c->error(), "No open object to close");
    auto d = make();
    ASSERT_TRUE(d->writeObjectOpen() && d->writeString("a"));
    EXPECT_FALSE(d->writeObjectClose());
    EXPECT_EQ(d->error(), "JSON object key has no value");
    EXPECT_FALSE(d->writeArrayClose());
    EXPECT_EQ(d->error(), "No open array to close");
    EXPECT_EQ(output(*d), R"({"a")");
}

TEST(JsonStreamWriter, EachTextIsEncodedOnce)
{
    foundation::JsonWriter writer;
    Array rows;
    for (int i = 0; i < 50; ++i)
        rows.push_back(Dictionary { { "name", "同一个名字" }, { "id", i } });
    auto text = writer.stringWithObject(rows);
    ASSERT_TRUE(text);
    auto back = jsontest::parse(*text);
    EXPECT_EQ(back.value, Value(rows));

    foundation::JsonStreamWriter stream;
    auto accumulator = std::make_shared<foundation::JsonStreamWriterAccumulator>();
    stream.setDelegate(accumulator);
    ASSERT_TRUE(stream.writeArray(Array { "x\n", "x\n", "y" }));
    EXPECT_EQ(accumulator->data(), R"(["x\n","x\n","y"])");
}
