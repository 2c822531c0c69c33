// What the screens' blocks receive for each kind of reply.
#include "core/model/AlbumInfo.h"
#include "core/model/ClassInfo.h"
#include "core/model/CommentHistoryInfo.h"
#include "core/model/HotActivityInfo.h"
#include "core/model/ScheduleInfo.h"
#include "core/model/StudentInfo.h"
#include "core/model/SubjectInfo.h"
#include "core/model/SuggestCommentInfo.h"
#include "core/model/WeiboData.h"
#include "core/model/WeiboReplyData.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBReplyParser.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Url.h"
#include "server/Compression.h"
#include "core/session/ORBEndpoints.h"
#include "tests/core/network/DispatcherFixture.h"
#include "tests/support/GzipBomb.h"
#include "tests/support/LoopAndMemoryWatch.h"

#include <chrono>

using namespace dispatchertest;
using core::ORBReplyParser;
using platform::Array;
using platform::Bytes;
using platform::Dictionary;
using platform::Value;
using server::ScriptedReply;

namespace {

constexpr const char* kConnectionFailed = "服务连接出错，请重试";

template <class T> std::vector<std::shared_ptr<T>> modelsIn(const Outcome& outcome)
{
    std::vector<std::shared_ptr<T>> models;
    if (!outcome.success || !outcome.success->isArray()) {
        ADD_FAILURE() << "not a list: " << (outcome.success ? outcome.success->description() : *outcome.failure);
        return models;
    }
    for (const Value& element : *outcome.success->asArray()) {
        auto model = element.objectAs<T>();
        EXPECT_TRUE(model) << element.description();
        if (model)
            models.push_back(model);
    }
    return models;
}

std::string jsonText(const Value& value) { return platform::PlatformJson::write(value).value_or(""); }

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// ----- the envelope -----

TEST_F(DispatcherTest, ResultStateOneAsNumberOrTextIsSuccess)
{
    signIn();
    Outcome plain = post(36);
    ASSERT_TRUE(plain.success);
    EXPECT_EQ((*plain.success)["resultState"], Value(1));

    standin().script().forCommand("60002", ScriptedReply::resultStateAsText());
    Outcome text = post(36);
    ASSERT_TRUE(text.success) << text.failure.value_or("");
    EXPECT_EQ((*text.success)["resultState"], Value("1"));
    EXPECT_TRUE((*text.success)["items"].isArray());
}

TEST_F(DispatcherTest, RefusalsReachTheFailureBlockWithAReadableText)
{
    signIn();
    struct Case {
        ScriptedReply reply;
        std::string expected;
    };
    std::vector<Case> cases {
        { ScriptedReply::errorEnvelope("期刊不存在"), "期刊不存在" },
        { ScriptedReply::custom(200, R"({"resultState":0})"), ORBReplyParser::kNoServerMessageText },
        { ScriptedReply::custom(200, R"({"resultState":2,"resultMsg":5})"), ORBReplyParser::kNoServerMessageText },
        { ScriptedReply::custom(200, R"({"resultState":"0","resultMsg":null})"), ORBReplyParser::kNoServerMessageText },
        { ScriptedReply::custom(200, R"({"resultState":"abc","resultMsg":"忙"})"), "忙" },
        { ScriptedReply::custom(200, R"({"resultMsg":"没有状态"})"), "没有状态" },
        { ScriptedReply::custom(200, R"({"resultState":0,"resultMsg":""})"), ORBReplyParser::kNoServerMessageText },
        { ScriptedReply::custom(500, R"({"resultState":0,"resultMsg":"服务器内部错误"})"), "服务器内部错误" },
        { ScriptedReply::listInsteadOfObject(), "数据解析错误" },
        { ScriptedReply::invalidJson(), "数据解析错误" },
        { ScriptedReply::http500Html(), "数据解析错误" },
        { ScriptedReply::custom(200, "\"just a text\""), "数据解析错误" },
        { ScriptedReply::custom(200, ""), "数据解析错误" },
        // Past the ceiling once inflated: the transfer fails, and no parser
        // is handed the compressed bytes as if they were the reply.
        { ScriptedReply::custom(200,
              testsupport::gzipOfRepeats(foundation::HTTPRequest::kLargestInflatedBody + 1, ' ', R"({"items":[)"),
              "application/json; charset=UTF-8", { { "Content-Encoding", "gzip" } }),
            core::ORBNetworkHelper::kConnectionFailedText },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.description());
        standin().script().forCommand("60002", c.reply);
        Outcome outcome = post(36);
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_EQ(outcome.successes, 0);
        EXPECT_EQ(outcome.failure, c.expected);
    }
}

TEST_F(DispatcherTest, PrettyPrintedRepliesAndRawLineBreaksInTextsParse)
{
    signIn();
    standin().script().forCommand("60002", ScriptedReply::prettyPrinted());
    Outcome pretty = post(36);
    ASSERT_TRUE(pretty.success) << pretty.failure.value_or("");
    EXPECT_FALSE((*pretty.success)["items"].asArray()->empty());

    standin().script().forCommand("10005", ScriptedReply::rawNewlineInString());
    Outcome raw = post(5, Dictionary { { "account", kTeacherLogin } });
    ASSERT_TRUE(raw.success) << raw.failure.value_or("");
    ASSERT_TRUE(raw.success->isString());
    EXPECT_NE(raw.success->asString()->find('\n'), std::string::npos);

    std::string body
        = "{\n\t\"resultState\" : 1,\r\n  \"resultMsg\" : \"第一行\n第二行\t制表\",\n  \"items\" : [ ]\n}\n";
    standin().script().forCommand("10005", ScriptedReply::custom(200, body));
    Outcome both = post(5, Dictionary { { "account", kTeacherLogin } });
    ASSERT_TRUE(both.success) << both.failure.value_or("");
    EXPECT_EQ(*both.success, Value("第一行\n第二行\t制表"));
}

TEST_F(DispatcherTest, TimeOutAndResetGiveTheConnectionText)
{
    signIn();
    core::ORBNetworkHelper::sharedORBNetworkHelper().setTimeOutSeconds(0.8);
    standin().script().forCommand("60002", ScriptedReply::normal().delayed(30));
    auto started = std::chrono::steady_clock::now();
    Outcome late = post(36, {}, 25);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(late.failure, kConnectionFailed);
    EXPECT_EQ(late.successes, 0);
    EXPECT_LT(seconds, 20.0) << "the time-out, not the server, ended the request";

    core::ORBNetworkHelper::sharedORBNetworkHelper().setTimeOutSeconds(5);
    standin().script().forCommand("60002", ScriptedReply::connectionReset());
    Outcome reset = post(36);
    EXPECT_EQ(reset.failure, kConnectionFailed);
    EXPECT_EQ(reset.failures, 1);
    EXPECT_EQ(reset.successes, 0);
}

TEST_F(DispatcherTest, CallCommandsHandTheRefusalToTheSuccessBlock)
{
    signIn();
    for (int type : { 47, 48 }) {
        SCOPED_TRACE(type);
        standin().script().forCommand(type == 47 ? "70003" : "70004", ScriptedReply::errorEnvelope("对方正忙"));
        Outcome outcome = post(type, Dictionary { { "linkId", 3001 }, { "type", 2 }, { "phone", "13800000002" } });
        ASSERT_TRUE(outcome.success) << outcome.failure.value_or("");
        EXPECT_EQ((*outcome.success)["resultMsg"], Value("对方正忙"));
        EXPECT_EQ((*outcome.success)["resultState"], Value(0));
    }
    // Without a success block the refusal goes to the failure block.
    standin().script().forCommand("70003", ScriptedReply::errorEnvelope("对方正忙"));
    auto outcome = std::make_shared<Outcome>();
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        47, Dictionary { { "linkId", 3001 } }, nullptr, nullptr, [outcome](const std::string& message) {
            ++outcome->failures;
            outcome->failure = message;
        });
    runUntilDone(outcome, 10);
    EXPECT_EQ(outcome->failure, "对方正忙");
}

// ----- the whole address book -----

TEST_F(DispatcherTest, AddressBookArrivesCompressedEitherWay)
{
    signIn();
    for (auto compression : { server::Compression::Gzip, server::Compression::Zlib }) {
        standin().setAddressBookCompression(compression);
        Outcome outcome = post(54);
        ASSERT_TRUE(outcome.success) << outcome.failure.value_or("");
        ASSERT_TRUE(outcome.success->isArray()) << outcome.success->description();
        EXPECT_FALSE(outcome.success->asArray()->empty());
        EXPECT_TRUE((*outcome.success)[0].isDictionary());
    }
    standin().setAddressBookCompression(server::Compression::Gzip);
}

TEST_F(DispatcherTest, AddressBookThatDoesNotInflateOrParseFails)
{
    signIn();
    auto notJson = server::compress("this is not json", server::Compression::Gzip);
    ASSERT_TRUE(notJson);
    struct Case {
        ScriptedReply reply;
        std::optional<std::string> failure; // nothing: success
    };
    std::vector<Case> cases {
        { ScriptedReply::corruptCompressed().compressedAs(server::Compression::Gzip), "通讯录解压失败" },
        { ScriptedReply::corruptCompressed().compressedAs(server::Compression::Zlib), "通讯录解压失败" },
        { ScriptedReply::truncatedCompressed().compressedAs(server::Compression::Gzip), "通讯录解压失败" },
        { ScriptedReply::truncatedCompressed().compressedAs(server::Compression::Zlib), "通讯录解压失败" },
        { ScriptedReply::custom(200, *notJson, "application/octet-stream"), "通讯录数据解析失败" },
        { ScriptedReply::custom(200, std::string("\x1f", 1), "application/octet-stream"), "通讯录解压失败" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.description());
        standin().script().forCommand("30107", c.reply);
        Outcome outcome = post(54);
        EXPECT_EQ(outcome.failure, c.failure);
        EXPECT_EQ(outcome.successes + outcome.failures, 1);
    }

    // A plain envelope needs no inflating and carries no address book.
    standin().script().forCommand("30107", ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":""})"));
    Outcome plain = post(54);
    ASSERT_TRUE(plain.success);
    EXPECT_TRUE(plain.success->isNull());

    // A missing block is never called on this path either.
    standin().script().forCommand("30107", ScriptedReply::corruptCompressed());
    auto quiet = std::make_shared<Outcome>();
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        54, {}, nullptr, [quiet](const Value&) { ++quiet->successes; }, nullptr);
    platform::RunLoop::main().runUntil([this] { return standin().requests().size() > 0 && lastRequest().answered; }, 5);
    platform::RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(quiet->successes, 0);
}

// Each kind of reply is read up to what it can really be, and one that would
// take many times its length once parsed is refused as it is read: a bomb of
// tiny values costs neither gigabytes nor a frozen window.
TEST_F(DispatcherTest, RepliesPastWhatTheirKindCanBeAreRefusedBeforeTheyCostMuch)
{
    signIn();
    constexpr const char* kClassList = "webapp/base/tea/class_list";
    auto zeros = [](std::size_t bytes) {
        std::string text = R"({"resultState":1,"items":[0)";
        text.reserve(bytes);
        while (text.size() + 4 < bytes)
            text += ",0";
        return text + "]}";
    };
    auto padded = [](const char* head, std::size_t bytes) {
        std::string text = head;
        return text + std::string(bytes - text.size() - 2, 'x') + "\"}";
    };
    std::string classes = R"({"resultState":1,"items":[)";
    for (int i = 0; classes.size() < (std::size_t { 1 } << 20); ++i)
        classes += std::string(i ? "," : "") + R"({"classId":)" + std::to_string(i) + R"(,"className":"三年级)" + std::to_string(i) + R"(班"})";
    classes += "]}";
    // Well under the body ceiling once inflated, from some 16 KB.
    const auto bomb = server::compress(zeros(std::size_t { 16 } << 20), server::Compression::Gzip);
    ASSERT_TRUE(bomb);
    ASSERT_LT(bomb->size(), std::size_t { 1 } << 20);
    struct Case {
        const char* name;
        int type;
        ScriptedReply reply;
        bool refused;
        // Whether the refusal is for the size: the transfer may also hand the
        // body over still compressed, which no screen can read either.
        bool forItsSize = true;
    };
    const Case cases[] = {
        { "a screen's list of a megabyte of classes", 25, ScriptedReply::custom(200, classes), false },
        { "three megabytes of zeros for a screen's list", 25, ScriptedReply::custom(200, zeros(std::size_t { 3 } << 20)),
            true },
        { "16 MB of zeros inflated by the transfer", 25,
            ScriptedReply::custom(200, *bomb, "application/json", { { "Content-Encoding", "gzip" } }), true, false },
        { "a screen's reply longer than a screen's list can be", 25,
            ScriptedReply::custom(200, padded(R"({"resultState":1,"items":[],"note":")", std::size_t { 5 } << 20)),
            true },
        { "a short answer of 300 KB", 2,
            ScriptedReply::custom(200, padded(R"({"resultState":1,"resultMsg":")", 300 << 10)), true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.type == 25)
            standin().script().forRoute(kClassList, c.reply);
        else
            standin().script().forCommand(core::ORBEndpoints::Cmd::kFindPassword, c.reply);
        platform::RunLoop::main().runUntil([] { return false; }, 0.05);
        const double before = testsupport::residentMegabytes();
        testsupport::resetPeakResident();
        // The loop's longest turn as the CPU time its thread spent in it,
        // which a loaded machine does not stretch as it stretches the clock.
        testsupport::MainLoopTurnWatch turns;
        Outcome outcome = c.type == 25 ? get(c.type, {}, 60) : post(c.type, Dictionary { { "account", "13800000001" } }, 60);
        const double longestTurn = turns.longestTurn();
        EXPECT_GT(turns.ticks(), 0);
        if (c.refused) {
            ASSERT_TRUE(outcome.failure);
            if (c.forItsSize) {
                EXPECT_EQ(*outcome.failure, ORBReplyParser::kReplyTooLargeText);
            }
        } else {
            ASSERT_TRUE(outcome.success) << outcome.failure.value_or("");
            EXPECT_GT(modelsIn<core::ClassInfo>(outcome).size(), 10000u);
        }
        EXPECT_EQ(outcome.successes + outcome.failures, 1);
        // Generous bounds: a sanitizer build keeps freed memory a while and
        // runs several times slower (the thread sanitizer more than that, and
        // its shadow is several times the memory). Parsed whole, the bomb
        // took gigabytes and held the loop for many seconds.
        if (!testsupport::kUnderThreadSanitizer) {
            EXPECT_LT(testsupport::peakResidentMegabytes() - before, 1024) << "megabytes";
        }
        EXPECT_LT(longestTurn, testsupport::kUnderThreadSanitizer ? 30.0 : 5.0) << "seconds of the loop's CPU";
    }
}

// A reply's ceiling holds its body as it came: one past it is refused before
// it is read as text, which would cost a copy of it on the main loop. Its
// text in UTF-16, two bytes a character, would come to half the ceiling.
TEST_F(DispatcherTest, AReplyPastItsCeilingIsRefusedBeforeItIsReadAsText)
{
    signIn();
    constexpr std::size_t kCeiling = core::kLargestShortReply;
    constexpr const char* kRoute = "webapp/test/utf16";
    const std::string utf16 = "application/json; charset=utf-16le";
    // A short answer whose text has this many characters, in UTF-16.
    auto answer = [](std::size_t characters) {
        std::string text = R"({"resultState":1,"resultMsg":")";
        text += std::string(characters - text.size() - 2, 'x') + "\"}";
        std::string body;
        for (char c : text) {
            body += c;
            body += '\0';
        }
        return body;
    };
    const std::string within = answer(kCeiling / 2);
    const std::string past = answer(kCeiling / 2 + 1);
    ASSERT_EQ(within.size(), kCeiling);
    ASSERT_GT(past.size(), kCeiling);
    // Read as a screen reads the reply of a request it made itself.
    auto fetched = [&](const std::string& body) {
        standin().script().forRoute(kRoute, ScriptedReply::custom(200, body, utf16));
        auto request = foundation::HTTPRequest::requestWithURL(
            *platform::Url::parse(standin().baseUrl() + "mobile2/pull/" + kRoute));
        auto done = std::make_shared<bool>(false);
        request->setCompletionBlock([done] { *done = true; });
        request->setFailedBlock([done] { *done = true; });
        request->startAsynchronous();
        EXPECT_TRUE(platform::RunLoop::main().runUntil([done] { return *done; }, 60));
        EXPECT_FALSE(request->error());
        return ORBReplyParser::readReply(*request, kCeiling, "utf-16 answer");
    };
    auto read = fetched(within);
    EXPECT_FALSE(read.tooLarge);
    ASSERT_TRUE(read.value);
    EXPECT_EQ((*read.value)["resultMsg"].stringValue(), std::string(kCeiling / 2 - 32, 'x'));
    read = fetched(past);
    EXPECT_TRUE(read.tooLarge);
    EXPECT_FALSE(read.value);

    // And as the dispatcher reads it for a screen's blocks.
    standin().script().forCommand(core::ORBEndpoints::Cmd::kFindPassword, ScriptedReply::custom(200, within, utf16));
    Outcome outcome = post(2, Dictionary { { "account", kTeacherLogin } });
    EXPECT_TRUE(outcome.success) << outcome.failure.value_or("");
    standin().script().forCommand(core::ORBEndpoints::Cmd::kFindPassword, ScriptedReply::custom(200, past, utf16));
    outcome = post(2, Dictionary { { "account", kTeacherLogin } });
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(*outcome.failure, ORBReplyParser::kReplyTooLargeText);
}

// ----- models by request type -----

TEST_F(DispatcherTest, ListRepliesBecomeModels)
{
    auto session = signIn();
    ASSERT_TRUE(session);

    auto classes = modelsIn<core::ClassInfo>(get(25));
    ASSERT_EQ(classes.size(), 2u);
    EXPECT_EQ(classes[0]->classId, 101);
    EXPECT_EQ(classes[0]->className, "三年级(1)班");

    auto kinds = modelsIn<core::ClassInfo>(get(24));
    EXPECT_FALSE(kinds.empty());
    for (const auto& kind : kinds)
        EXPECT_FALSE(kind->className.empty());

    auto subjects = modelsIn<core::SubjectInfo>(post(17));
    ASSERT_FALSE(subjects.empty());
    EXPECT_GT(subjects[0]->subjectId, 0);
    EXPECT_FALSE(subjects[0]->subjectName.empty());

    auto students = modelsIn<core::StudentInfo>(get(29, Dictionary { { "classId", 101 } }));
    ASSERT_FALSE(students.empty());
    for (const auto& s : students) {
        EXPECT_GT(s->studentId, 0);
        EXPECT_FALSE(s->studentName.empty());
        EXPECT_EQ(s->type, 1);
    }

    auto albums = modelsIn<core::AlbumInfo>(get(31, Dictionary { { "page", 1 }, { "pageSize", 12 } }));
    ASSERT_FALSE(albums.empty());
    EXPECT_GT(albums[0]->albumId, 0);

    auto schedule = modelsIn<core::ScheduleInfo>(get(34, Dictionary { { "classId", 101 }, { "week", 1 } }));
    ASSERT_FALSE(schedule.empty());
    EXPECT_EQ(schedule[0]->sort, "1");
    EXPECT_FALSE(schedule[0]->course.empty());

    auto activities = modelsIn<core::HotActivityInfo>(post(49));
    ASSERT_FALSE(activities.empty());
    EXPECT_GT(activities[0]->activityId, 0);

    auto posts = modelsIn<core::WeiboData>(get(50, Dictionary { { "weiboType", 0 }, { "page", 1 } }));
    ASSERT_FALSE(posts.empty());
    EXPECT_LE(posts.size(), 10u);
    EXPECT_GT(posts[0]->weiboId, 0);
    auto replies
        = modelsIn<core::WeiboReplyData>(get(52, Dictionary { { "weiboId", posts[0]->weiboId }, { "page", 1 } }));
    for (const auto& r : replies)
        EXPECT_EQ(r->weiboId, posts[0]->weiboId);

    Outcome history = get(27, Dictionary { { "studentId", 4001 }, { "pageSize", 12 }, { "page", 1 }, { "type", 1 } });
    ASSERT_TRUE(history.success && history.success->isDictionary()) << history.failure.value_or("");
    EXPECT_TRUE((*history.success)["total"].isInteger());
    EXPECT_TRUE((*history.success)["historyInfos"].isArray());
}

TEST_F(DispatcherTest, EachTypeGetsTheReplyItsScreenReads)
{
    signIn();
    Outcome message = post(5, Dictionary { { "account", kTeacherLogin } });
    ASSERT_TRUE(message.success);
    EXPECT_TRUE(message.success->isString());
    EXPECT_FALSE(message.success->asString()->empty());

    Outcome address = post(11);
    ASSERT_TRUE(address.success);
    ASSERT_TRUE(address.success->isString());
    EXPECT_NE(address.success->asString()->find(".json.gz"), std::string::npos);

    Outcome whole = post(36);
    ASSERT_TRUE(whole.success);
    EXPECT_TRUE((*whole.success)["items"].isArray());

    for (int type : { 23, 44, 12 }) {
        SCOPED_TRACE(type);
        Outcome nothing
            = post(type, Dictionary { { "postId", 4 }, { "parentId", 0 }, { "content", "x" }, { "serviceId", 1 } });
        ASSERT_TRUE(nothing.success) << nothing.failure.value_or("");
        EXPECT_TRUE(nothing.success->isNull());
    }
    auto feed = get(50, Dictionary { { "weiboType", 0 }, { "page", 1 } });
    ASSERT_TRUE(feed.success && feed.success->count() > 0);
    auto first = (*feed.success)[0].objectAs<core::WeiboData>();
    ASSERT_TRUE(first);
    Outcome praise = get(51, Dictionary { { "weiboId", first->weiboId } });
    ASSERT_TRUE(praise.success) << praise.failure.value_or("");
    EXPECT_TRUE(praise.success->isNull());
}

TEST_F(DispatcherTest, SuggestedCommentsAreSortedByIntegerValue)
{
    signIn();
    Value reply = Dictionary { { "resultState", 1 },
        { "items",
            Array { Dictionary { { "sort", 3 }, { "content", "c" }, { "type", "t" } },
                Dictionary { { "sort", "1" }, { "content", "a" } }, "junk",
                Dictionary { { "sort", 10 }, { "content", "e" } }, Dictionary { { "sort", 2 }, { "content", "b" } },
                Dictionary { { "sort", "x" }, { "content", "zero" } } } } };
    standin().script().forRoute("webapp/stucomment/comment_list", ScriptedReply::custom(200, jsonText(reply)));
    auto comments = modelsIn<core::SuggestCommentInfo>(get(26, Dictionary { { "classId", 101 } }));
    std::vector<std::string> order;
    for (const auto& c : comments)
        order.push_back(c->content);
    EXPECT_EQ(order, (std::vector<std::string> { "zero", "a", "b", "c", "e" }));
    ASSERT_EQ(comments.size(), 5u);
    EXPECT_EQ(comments[3]->type, "t");
    EXPECT_EQ(comments[1]->sort, 1);
}

TEST_F(DispatcherTest, SuggestedCommentsCompareFractionsAndNumericTexts)
{
    signIn();
    Value reply = Dictionary { { "resultState", 1 },
        { "items",
            Array { Dictionary { { "sort", 1.7 }, { "content", "1.7" } },
                Dictionary { { "sort", "1.5" }, { "content", "1.5" } },
                Dictionary { { "sort", 1.2 }, { "content", "1.2" } },
                Dictionary { { "sort", " 10 " }, { "content", "10" } },
                Dictionary { { "sort", "9" }, { "content", "9" } },
                Dictionary { { "sort", "1.5x" }, { "content", "junk" } },
                Dictionary { { "sort", -0.5 }, { "content", "-0.5" } } } } };
    standin().script().forRoute("webapp/stucomment/comment_list", ScriptedReply::custom(200, jsonText(reply)));
    std::vector<std::string> order;
    for (const auto& c : modelsIn<core::SuggestCommentInfo>(get(26, Dictionary { { "classId", 101 } })))
        order.push_back(c->content);
    EXPECT_EQ(order, (std::vector<std::string> { "-0.5", "junk", "1.2", "1.5", "1.7", "9", "10" }));
}

TEST_F(DispatcherTest, TrueAndFalseAreTheNumbersOneAndZero)
{
    signIn();
    struct Row {
        const char* body;
        bool succeeds;
        int classId; // of the first model on success
    };
    for (const Row& row : std::vector<Row> {
             { R"({"resultState":true,"items":[{"classId":true,"className":"甲"}]})", true, 1 },
             { R"({"resultState":1,"items":[{"classId":false,"className":"乙"}]})", true, 0 },
             { R"({"resultState":"1","items":[{"classId":7,"className":"丙"}]})", true, 7 },
             { R"({"resultState":false,"resultMsg":"拒绝"})", false, 0 },
         }) {
        SCOPED_TRACE(row.body);
        standin().script().forRoute("webapp/base/tea/class_list", ScriptedReply::custom(200, row.body));
        Outcome outcome = get(25);
        ASSERT_EQ(outcome.successes, row.succeeds ? 1 : 0) << outcome.failure.value_or("");
        if (!row.succeeds) {
            EXPECT_EQ(outcome.failure, "拒绝");
            continue;
        }
        auto classes = modelsIn<core::ClassInfo>(outcome);
        ASSERT_EQ(classes.size(), 1u);
        EXPECT_EQ(classes[0]->classId, row.classId);
    }
    // The whole reply a screen receives carries numbers too.
    standin().script().forCommand("60002", ScriptedReply::custom(200, R"({"resultState":true,"flag":false})"));
    Outcome whole = post(36);
    ASSERT_TRUE(whole.success) << whole.failure.value_or("");
    EXPECT_EQ((*whole.success)["resultState"], Value(1));
    EXPECT_EQ((*whole.success)["flag"], Value(0));
}

TEST_F(DispatcherTest, RowsOfTheWrongShapeNeverBecomeModels)
{
    signIn();
    struct Case {
        const char* body;
        std::size_t models;
    };
    for (const Case& c : std::vector<Case> { { R"({"resultState":1,"items":{"classId":1}})", 0 },
             { R"({"resultState":1,"items":"none"})", 0 }, { R"({"resultState":1})", 0 },
             { R"({"resultState":1,"items":[null,1,"x",[],{"classId":"7","className":["x"]},{"classId":8}]})", 2 } }) {
        SCOPED_TRACE(c.body);
        standin().script().forRoute("webapp/base/tea/class_list", ScriptedReply::custom(200, c.body));
        auto classes = modelsIn<core::ClassInfo>(get(25));
        ASSERT_EQ(classes.size(), c.models);
        if (c.models == 2) {
            EXPECT_EQ(classes[0]->classId, 7);
            EXPECT_EQ(classes[0]->className, "");
            EXPECT_EQ(classes[1]->classId, 8);
        }
    }
    standin().script().forRoute("webapp/stucomment/single_list",
        ScriptedReply::custom(200, R"({"resultState":1,"total":"x","items":[{"content":1,"time":"t"}]})"));
    Outcome history = get(27);
    ASSERT_TRUE(history.success);
    EXPECT_EQ((*history.success)["total"], Value(0));
    auto rows = (*history.success)["historyInfos"];
    ASSERT_EQ(rows.count(), 1u);
    EXPECT_EQ(rows[0].objectAs<core::CommentHistoryInfo>()->content, "");
    EXPECT_EQ(rows[0].objectAs<core::CommentHistoryInfo>()->time, "t");
}

// ----- the repair and inflate helpers -----

TEST(ReplyText, ControlCharactersAreEscapedOnlyInsideTexts)
{
    EXPECT_FALSE(ORBReplyParser::JSONString(std::nullopt));
    struct Case {
        std::string raw;
        Value expected;
    };
    std::vector<Case> cases {
        { "{\n  \"a\" : \"x\ny\",\n\t\"b\" : [1,\r\n 2]\n}", Dictionary { { "a", "x\ny" }, { "b", Array { 1, 2 } } } },
        { "\"tab\there\"", Value("tab\there") },
        { "\"\b\f\r\"", Value("\b\f\r") },
        { "[\"q\\\"\n\", \"\\\\\t\"]", Array { "q\"\n", "\\\t" } },
        { std::string("\"ctl\x01\"", 6), Value(std::string("ctl\x01", 4)) },
        { "{\"k\\n\" : \"v\"}", Dictionary { { "k\n", "v" } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        auto repaired = ORBReplyParser::JSONString(c.raw);
        ASSERT_TRUE(repaired);
        auto parsed = platform::PlatformJson::read(std::string_view(*repaired));
        ASSERT_TRUE(parsed) << *repaired;
        EXPECT_EQ(*parsed, c.expected);
    }
    // Text outside strings is not touched.
    EXPECT_EQ(ORBReplyParser::JSONString(std::string("[\n1,\t2\r]")), std::string("[\n1,\t2\r]"));
}

// A short reply is described in the log only while the log is read, and
// never at more than a few kilobytes: nested deep, the description pads each
// of its lines four spaces a level, a thousand times the reply's size.
TEST(ReplyText, ShortRepliesAreDescribedWithinAFewKilobytesAndOnlyForALogThatIsRead)
{
    // Forty lists of 400 digits each, 500 lists deep: 33 KB, described whole
    // in some 34 MB.
    std::string nested = std::string(500, '[');
    for (int list = 0; list < 40; ++list) {
        nested += list ? ",[1" : "[1";
        for (int digit = 1; digit < 400; ++digit)
            nested += ",1";
        nested += "]";
    }
    nested += std::string(500, ']');
    struct Case {
        const char* name;
        std::string reply;
        bool described;
        // What the logged line must hold; nothing when it is the length alone.
        std::optional<std::string> holds;
        bool cut;
    };
    const Case cases[] = {
        { "a short flat reply", R"({"resultState":true,"resultMsg":"ok now"})", true,
            "{\n    resultState = 1;\n    resultMsg = \"ok now\";\n}", false },
        { "a 33 KB reply nested 500 deep", nested, true, "(\n    (\n        (\n", true },
        { "the same, the log read by no one", nested, false, std::nullopt, false },
    };
    const bool wasDescribing = ORBReplyParser::describesRepliesInLog();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ORBReplyParser::setDescribesRepliesInLog(c.described);
        platform::LogCapture log;
        auto read = ORBReplyParser::readReply(c.reply, bytesOf(c.reply), core::kLargestScreenReply, "reply");
        ORBReplyParser::setDescribesRepliesInLog(wasDescribing);
        // The reading itself is the same whatever the log is given.
        ASSERT_TRUE(read.value);
        EXPECT_FALSE(read.tooLarge);
        const auto lines = log.lines();
        ASSERT_EQ(lines.size(), 1u);
        const std::string& line = lines.front();
        EXPECT_LE(line.size(), ORBReplyParser::kLongestDescription + 100);
        if (!c.holds) {
            EXPECT_EQ(line, "reply:(" + std::to_string(c.reply.size()) + " bytes)\n");
            continue;
        }
        EXPECT_EQ(line.rfind("reply:", 0), 0u) << line.substr(0, 200);
        EXPECT_NE(line.find(*c.holds), std::string::npos) << line.substr(0, 200);
        const std::string cutMark = "...(cut: a reply of " + std::to_string(c.reply.size()) + " bytes)\n";
        EXPECT_EQ(line.ends_with(cutMark), c.cut) << line.substr(line.size() - std::min<std::size_t>(line.size(), 200));
    }
}

TEST(ReplyText, InflatingNeedsAWholeStream)
{
    std::string text = jsonText(Dictionary { { "groups", Array { "老师", "家长" } }, { "n", 12345 } });
    for (auto compression : { server::Compression::Gzip, server::Compression::Zlib }) {
        auto packed = server::compress(text, compression);
        ASSERT_TRUE(packed);
        auto inflated = ORBReplyParser::uncompressZippedData(bytesOf(*packed));
        ASSERT_TRUE(inflated);
        EXPECT_EQ(std::string(inflated->begin(), inflated->end()), text);
        EXPECT_FALSE(ORBReplyParser::uncompressZippedData(bytesOf(packed->substr(0, packed->size() / 2))));
        std::string broken = *packed;
        broken[server::compressedHeaderLength(compression)] ^= 0x7f;
        broken[server::compressedHeaderLength(compression) + 1] ^= 0x55;
        EXPECT_FALSE(ORBReplyParser::uncompressZippedData(bytesOf(broken)));
    }
    EXPECT_FALSE(ORBReplyParser::uncompressZippedData(Bytes { 0x1f }));
    auto empty = ORBReplyParser::uncompressZippedData(Bytes {});
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    EXPECT_FALSE(ORBReplyParser::uncompressZippedData(bytesOf("plain text, not deflated")));
    // A stream inflating past what a body kept in memory may hold fails.
    const std::size_t limit = foundation::HTTPRequest::kLargestInflatedBody;
    for (auto compression : { server::Compression::Gzip, server::Compression::Zlib }) {
        auto over = server::compress(std::string(limit + 1, ' '), compression);
        ASSERT_TRUE(over);
        EXPECT_FALSE(ORBReplyParser::uncompressZippedData(bytesOf(*over)));
        auto at = server::compress(std::string(limit, ' '), compression);
        ASSERT_TRUE(at);
        auto whole = ORBReplyParser::uncompressZippedData(bytesOf(*at));
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->size(), limit);
    }
}

} // namespace
