// The layers under the facade: incremental input, the event stream, the
// adapter's options and the tokeniser's restart on unfinished tokens.
#include "JsonTestSupport.h"

#include "foundation/json/JsonStreamParser.h"
#include "foundation/json/JsonStreamParserAccumulator.h"
#include "foundation/json/JsonStreamParserAdapter.h"
#include "foundation/json/JsonTokeniser.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

struct Feed {
    Value value;
    foundation::JsonStreamParserStatus status;
    std::string error;
    int waits = 0;
};

// Feeds the text in pieces of the given size through the whole stack.
Feed feedInPieces(const std::string& text, std::size_t piece)
{
    auto accumulator = std::make_shared<foundation::JsonStreamParserAccumulator>();
    auto adapter = std::make_shared<foundation::JsonStreamParserAdapter>();
    adapter->setDelegate(accumulator);
    foundation::JsonStreamParser parser;
    parser.setDelegate(adapter);
    Feed feed { {}, foundation::JsonStreamParserStatus::WaitingForData, {} };
    for (std::size_t at = 0; at < text.size(); at += piece) {
        // Each piece lives only for its call: the parser must keep what it
        // still needs (an unfinished token) in its own buffer.
        auto part = std::make_unique<std::string>(text.data() + at, std::min(piece, text.size() - at));
        feed.status = parser.parse(*part);
        part.reset();
        if (feed.status == foundation::JsonStreamParserStatus::Error)
            break;
        if (feed.status == foundation::JsonStreamParserStatus::WaitingForData)
            ++feed.waits;
    }
    feed.value = accumulator->value();
    feed.error = parser.error();
    return feed;
}

// A reply-like document with every token kind, escapes and surrogate pairs
// that pieces will split at every possible byte.
std::string sampleDocument()
{
    std::string s = R"({"result":0,"msg":"成功","data":{"list":[)";
    for (int i = 0; i < 40; ++i) {
        if (i)
            s += ',';
        s += R"({"id":)" + std::to_string(1000000007LL * i) + R"(,"title":"第)" + std::to_string(i)
            + R"(条 通知\n\"引号\"\\ \u4e2d\uD83D\uDE00 😀","score":-12.5e-3,"big":18446744073709551616,)"
            + R"("flags":[true,false,null],"empty":{},"none":[],"ratio":0.1})";
    }
    s += "]}}";
    return s;
}

struct Recorder final : foundation::JsonStreamParserDelegate {
    std::vector<std::string> events;
    void parserFoundObjectStart(foundation::JsonStreamParser&) override { events.push_back("{"); }
    void parserFoundObjectKey(foundation::JsonStreamParser&, std::string key) override
    {
        events.push_back("key:" + key);
    }
    void parserFoundObjectEnd(foundation::JsonStreamParser&) override { events.push_back("}"); }
    void parserFoundArrayStart(foundation::JsonStreamParser&) override { events.push_back("["); }
    void parserFoundArrayEnd(foundation::JsonStreamParser&) override { events.push_back("]"); }
    void parserFoundBoolean(foundation::JsonStreamParser&, bool value) override
    {
        events.push_back(value ? "true" : "false");
    }
    void parserFoundNull(foundation::JsonStreamParser&) override { events.push_back("null"); }
    void parserFoundNumber(foundation::JsonStreamParser&, Value number) override
    {
        events.push_back(std::string("num:") + number.kindName() + ":" + number.description());
    }
    void parserFoundString(foundation::JsonStreamParser&, std::string string) override
    {
        events.push_back("str:" + string);
    }
};

struct Collector final : foundation::JsonStreamParserAdapterDelegate {
    std::vector<std::pair<std::string, Value>> found;
    void parserFoundArray(foundation::JsonStreamParser&, Value array) override
    {
        found.emplace_back("array", std::move(array));
    }
    void parserFoundObject(foundation::JsonStreamParser&, Value object) override
    {
        found.emplace_back("object", std::move(object));
    }
};

} // namespace

TEST(JsonStreamParser, PiecesOfAnySizeGiveTheSameValue)
{
    const std::string text = sampleDocument();
    auto whole = jsontest::parse(text);
    ASSERT_TRUE(whole.value.isDictionary()) << whole.error;
    ASSERT_EQ(whole.value["data"]["list"].count(), 40u);
    EXPECT_EQ(whole.value["data"]["list"][3]["title"], Value("第3条 通知\n\"引号\"\\ 中😀 😀"));
    for (std::size_t piece : { 1u, 2u, 7u, 4096u }) {
        Feed feed = feedInPieces(text, piece);
        EXPECT_EQ(feed.status, foundation::JsonStreamParserStatus::Complete) << piece << ": " << feed.error;
        EXPECT_EQ(feed.value, whole.value) << "pieces of " << piece;
        if (piece < text.size()) {
            EXPECT_GT(feed.waits, 0) << piece;
        }
    }
}

TEST(JsonStreamParser, PiecesGiveTheSameErrorAsTheWhole)
{
    const std::vector<std::string> broken = {
        R"({"a":[1,2,{"b":"\uD83D\u0041"}]})",
        R"({"a":[1,2,{"b":"ok"},01]})",
        "[\"abc\xE4\xB8\"]",
        R"([1,2,3,])",
        R"({"a":123456789012345678901234567890123456789})",
        R"([1e65537])",
        R"([true,nul])",
    };
    for (const auto& text : broken) {
        auto whole = jsontest::parse(text);
        ASSERT_FALSE(whole.error.empty()) << text;
        for (std::size_t piece : { 1u, 2u, 7u, 4096u }) {
            Feed feed = feedInPieces(text, piece);
            EXPECT_EQ(feed.status, foundation::JsonStreamParserStatus::Error) << text << " / " << piece;
            EXPECT_EQ(feed.error, whole.error) << text << " / " << piece;
        }
    }
}

TEST(JsonStreamParser, EventsComeInDocumentOrder)
{
    auto recorder = std::make_shared<Recorder>();
    foundation::JsonStreamParser parser;
    parser.setDelegate(recorder);
    EXPECT_EQ(parser.parse(R"({"a":[1,"x",true,null,{}],"b":-2.50})"), foundation::JsonStreamParserStatus::Complete);
    const std::vector<std::string> expected
        = { "{", "key:a", "[", "num:int:1", "str:x", "true", "null", "{", "}", "]", "key:b", "num:decimal:-2.5", "}" };
    EXPECT_EQ(recorder->events, expected);
}

TEST(JsonStreamParser, StatusesAndTheStickyErrorState)
{
    foundation::JsonStreamParser parser;
    EXPECT_EQ(parser.maxDepth(), 32u);
    EXPECT_FALSE(parser.supportMultipleDocuments());
    EXPECT_EQ(parser.parse("[1,"), foundation::JsonStreamParserStatus::WaitingForData);
    EXPECT_EQ(parser.stateStack().size(), 1u);
    EXPECT_EQ(parser.parse("2]"), foundation::JsonStreamParserStatus::Complete);
    EXPECT_STREQ(parser.state()->name(), "after outer-most array or object");
    EXPECT_EQ(parser.parse("  \n"), foundation::JsonStreamParserStatus::Complete);
    // A token starting after the value keeps the parser from completing.
    EXPECT_EQ(parser.parse("1"), foundation::JsonStreamParserStatus::WaitingForData);
    EXPECT_EQ(parser.parse(" "), foundation::JsonStreamParserStatus::Error);
    EXPECT_EQ(parser.error(), "Token 'number' not expected after outer-most array or object");
    parser.setError("");
    EXPECT_TRUE(parser.state()->isError());
    // Once in error, every later call fails at once.
    parser.setError("");
    EXPECT_EQ(parser.parse("{}"), foundation::JsonStreamParserStatus::Error);
    EXPECT_EQ(parser.error(), "");
}

TEST(JsonStreamParser, MultipleDocumentsWhenAsked)
{
    auto collector = std::make_shared<Collector>();
    auto adapter = std::make_shared<foundation::JsonStreamParserAdapter>();
    adapter->setDelegate(collector);
    foundation::JsonStreamParser parser;
    parser.setDelegate(adapter);
    parser.setSupportMultipleDocuments(true);
    EXPECT_EQ(parser.parse(R"([1] {"a":2})"), foundation::JsonStreamParserStatus::WaitingForData);
    EXPECT_EQ(parser.parse("\n[[]]"), foundation::JsonStreamParserStatus::WaitingForData);
    ASSERT_EQ(collector->found.size(), 3u);
    EXPECT_EQ(collector->found[0], std::make_pair(std::string("array"), Value(Array { 1 })));
    EXPECT_EQ(collector->found[1], std::make_pair(std::string("object"), Value(Dictionary { { "a", 2 } })));
    EXPECT_EQ(collector->found[2], std::make_pair(std::string("array"), Value(Array { Array {} })));
}

TEST(JsonStreamParserAdapter, LevelsToSkipDeliverInnerValuesOneByOne)
{
    struct Case {
        unsigned skip;
        const char* text;
        std::vector<std::pair<std::string, Value>> expected;
    };
    const std::vector<Case> cases = {
        { 0, R"([1,[2]])", { { "array", Array { 1, Array { 2 } } } } },
        { 1, R"([1,[2,3],{"a":4},"s"])",
            { { "object", 1 }, { "array", Array { 2, 3 } }, { "object", Dictionary { { "a", 4 } } },
                { "object", "s" } } },
        { 1, R"({"a":1,"b":[2],"c":{"d":null}})",
            { { "object", 1 }, { "array", Array { 2 } }, { "object", Dictionary { { "d", nullptr } } } } },
        { 2, R"([[1,{"k":[2]}],[3]])",
            { { "object", 1 }, { "object", Dictionary { { "k", Array { 2 } } } }, { "object", 3 } } },
    };
    for (const auto& c : cases) {
        auto collector = std::make_shared<Collector>();
        auto adapter = std::make_shared<foundation::JsonStreamParserAdapter>();
        adapter->setDelegate(collector);
        adapter->setLevelsToSkip(c.skip);
        foundation::JsonStreamParser parser;
        parser.setDelegate(adapter);
        EXPECT_EQ(parser.parse(c.text), foundation::JsonStreamParserStatus::Complete) << c.text;
        EXPECT_EQ(collector->found, c.expected) << c.text;
        EXPECT_EQ(adapter->depth(), 0u);
    }
}

TEST(JsonTokeniser, UnfinishedTokensAreReadAgainWhenMoreArrives)
{
    foundation::JsonTokeniser tokeniser;
    std::string text;
    Value number;
    auto append
        = [&](std::string_view s) { tokeniser.appendData(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); };
    append("[nu");
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::ArrayStart);
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::EndOfInput);
    append("ll,\"ab\\u00");
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::Null);
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::ValueSeparator);
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::EndOfInput);
    // Consumed bytes are dropped on append; the unfinished string stays.
    append("e9\",12");
    EXPECT_EQ(tokeniser.stream().index(), 0u);
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::String);
    EXPECT_EQ(text, "ab\xC3\xA9");
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::ValueSeparator);
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::EndOfInput);
    append("3]");
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::Number);
    EXPECT_EQ(number, Value(123));
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::ArrayEnd);
    EXPECT_EQ(tokeniser.getToken(text, number), foundation::JsonTokenType::EndOfInput);
}

TEST(JsonTokeniser, TokenNamesUsedInMessages)
{
    using T = foundation::JsonTokenType;
    const std::vector<std::pair<T, const char*>> names
        = { { T::ArrayStart, "start of array" }, { T::ArrayEnd, "end of array" }, { T::ObjectStart, "start of object" },
              { T::ObjectEnd, "end of object" }, { T::ValueSeparator, "value separator" },
              { T::KeyValueSeparator, "key-value separator" }, { T::Number, "number" }, { T::String, "string" },
              { T::True, "boolean" }, { T::False, "boolean" }, { T::Null, "null" } };
    for (const auto& [type, name] : names)
        EXPECT_STREQ(foundation::jsonTokenName(type), name);
}

TEST(JsonUTF8Stream, ReadingPrimitives)
{
    foundation::JsonUTF8Stream stream;
    const std::string s = "  abc\"def";
    stream.appendData(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    stream.skipWhitespace();
    EXPECT_EQ(stream.index(), 2u);
    EXPECT_TRUE(stream.haveRemainingCharacters(7));
    EXPECT_FALSE(stream.haveRemainingCharacters(8));
    EXPECT_FALSE(stream.skipCharacters("abd", 3));
    EXPECT_EQ(stream.index(), 2u);
    EXPECT_TRUE(stream.skipCharacters("ab", 2));
    std::uint8_t ch = 0;
    ASSERT_TRUE(stream.getUnichar(&ch));
    EXPECT_EQ(ch, 'c');
    std::string_view fragment;
    ASSERT_TRUE(stream.getStringFragment(&fragment));
    EXPECT_EQ(fragment, "c");
    ASSERT_TRUE(stream.getNextUnichar(&ch));
    EXPECT_EQ(ch, 'd');
    EXPECT_FALSE(stream.getStringFragment(&fragment));
    EXPECT_EQ(stream.stringWithRange(2, 3), "abc");
    stream.setIndex(s.size());
    EXPECT_FALSE(stream.getUnichar(&ch));
    EXPECT_FALSE(stream.getNextUnichar(&ch));
}
