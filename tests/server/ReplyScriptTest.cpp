#include "tests/server/ServerTestSupport.h"

#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"

#include <chrono>
#include <future>
#include <thread>

namespace servertest {
namespace {

    using platform::Array;
    using platform::Dictionary;
    using platform::Value;
    using server::ScriptedReply;

    class ReplyScriptTest : public StandinTest {
    protected:
        server::ReplyScript& script() { return standin->script(); }
        Exchange subjects(double timeout = 2.0) { return command("html5", "40302", {}, 2001, timeout); }
        Exchange addressBook() { return command("address", "30107"); }
    };

    TEST_F(ReplyScriptTest, ErrorEnvelopeIsUsedOnceThenTheDataAnswersAgain)
    {
        script().forCommand("40302", ScriptedReply::errorEnvelope("服务维护中"), 2);
        for (int i = 0; i < 2; ++i) {
            auto reply = subjects().reply();
            EXPECT_EQ(reply, Value(Dictionary { { "resultState", 0 }, { "resultMsg", "服务维护中" } }));
        }
        EXPECT_EQ(subjects().reply()["resultState"], Value(1));
        EXPECT_EQ(script().pendingTotal(), 0u);
        auto logged = standin->requests().withCommand("40302");
        ASSERT_EQ(logged.size(), 3u);
        EXPECT_EQ(logged[0].scripted, "errorEnvelope");
        EXPECT_EQ(logged[2].scripted, "");
    }

    TEST_F(ReplyScriptTest, ReplacedAnswersLeaveTheDataUntouched)
    {
        // A poll answered with an error must not swallow the messages it would have carried.
        script().forCommand("20101", ScriptedReply::errorEnvelope("忙"));
        script().forCommand("20101", ScriptedReply::http500Json());
        EXPECT_EQ(command("rivu", "20101").reply()["resultState"], Value(0));
        EXPECT_EQ(command("rivu", "20101").status, 500);
        EXPECT_EQ(command("rivu", "20101").reply()["items"].count(), 2u);
    }

    TEST_F(ReplyScriptTest, ResultStateComesAsText)
    {
        script().forCommand("40302", ScriptedReply::resultStateAsText());
        auto answer = subjects();
        EXPECT_NE(answer.body.find("\"resultState\":\"1\""), std::string::npos) << answer.body;
        EXPECT_GT(answer.reply()["items"].count(), 0u);
    }

    TEST_F(ReplyScriptTest, ListInsteadOfObject)
    {
        script().forCommand("40302", ScriptedReply::listInsteadOfObject());
        script().forCommand("10002", ScriptedReply::listInsteadOfObject());
        auto list = subjects().reply();
        ASSERT_TRUE(list.isArray());
        EXPECT_EQ(list[0]["subjectName"], Value("语文"));
        auto wrapped = command("sys", "10002").reply(); // no items: the envelope inside a list
        ASSERT_TRUE(wrapped.isArray());
        EXPECT_EQ(wrapped[0]["resultState"], Value(1));
    }

    TEST_F(ReplyScriptTest, PrettyPrintedBodyHasLineBreaksBetweenTokensAndTheSameValue)
    {
        auto plain = subjects();
        script().forCommand("40302", ScriptedReply::prettyPrinted());
        auto pretty = subjects();
        EXPECT_EQ(plain.body.find('\n'), std::string::npos);
        EXPECT_TRUE(platform::hasPrefix(pretty.body, "{\n"));
        EXPECT_EQ(pretty.reply(), plain.reply());
    }

    TEST_F(ReplyScriptTest, RawNewlineSitsInsideTheMessageString)
    {
        script().forCommand("10002", ScriptedReply::rawNewlineInString());
        auto answer = command("sys", "10002");
        auto at = answer.body.find('\n');
        ASSERT_NE(at, std::string::npos);
        // Strict JSON refuses it; escaped in place it reads as a two-line message.
        EXPECT_FALSE(answer.json());
        auto repaired = platform::PlatformJson::read(platform::replaceAll(answer.body, "\n", "\\n"));
        ASSERT_TRUE(repaired);
        EXPECT_EQ((*repaired)["resultMsg"], Value("退出成功\n第二行"));
        EXPECT_EQ((*repaired)["resultState"], Value(1));
    }

    TEST_F(ReplyScriptTest, InvalidJsonIsACutReply)
    {
        auto whole = subjects().body;
        script().forCommand("40302", ScriptedReply::invalidJson());
        auto cut = subjects();
        EXPECT_EQ(cut.status, 200);
        EXPECT_FALSE(cut.json());
        EXPECT_TRUE(platform::hasPrefix(whole, cut.body));
        EXPECT_LT(cut.body.size(), whole.size());
    }

    TEST_F(ReplyScriptTest, Http500WithJsonAndWithHtml)
    {
        script().forRoute("webapp/jxq/weibo", ScriptedReply::http500Json());
        script().forRoute("webapp/jxq/weibo", ScriptedReply::http500Html());
        auto json = get("webapp/jxq/weibo?userId=2001&weiboType=1&page=1");
        EXPECT_EQ(json.status, 500);
        EXPECT_EQ(json.reply()["resultState"], Value(0));
        auto html = get("webapp/jxq/weibo?userId=2001&weiboType=1&page=1");
        EXPECT_EQ(html.status, 500);
        EXPECT_TRUE(platform::hasPrefix(html.header("Content-Type"), "text/html"));
        EXPECT_NE(html.body.find("Internal Server Error"), std::string::npos);
        EXPECT_EQ(get("webapp/jxq/weibo?userId=2001&weiboType=1&page=1").status, 200);
    }

    TEST_F(ReplyScriptTest, DelayPastTheClientTimeOutAndAShortOne)
    {
        script().forCommand("40302", ScriptedReply::normal().delayed(1.5));
        auto begun = std::chrono::steady_clock::now();
        auto timedOut = subjects(0.4);
        EXPECT_EQ(timedOut.error, httplib::Error::Read);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count(), 20.0);
        // The request was recorded on arrival, before its reply.
        EXPECT_EQ(standin->requests().withCommand("40302").size(), 1u);
        ASSERT_TRUE(standin->requests().waitForCount(1, std::chrono::milliseconds(20000), true));

        script().forCommand("40302", ScriptedReply::errorEnvelope("慢").delayed(0.3));
        begun = std::chrono::steady_clock::now();
        auto slow = subjects(2.0);
        EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count(), 0.3);
        EXPECT_EQ(slow.reply()["resultMsg"], Value("慢"));
        EXPECT_GE(standin->requests().last()->delaySeconds, 0.3);
    }

    // A body sent in pieces arrives whole, the pieces apart by their pauses.
    TEST_F(ReplyScriptTest, ABodyInPiecesArrivesWholeAfterItsPauses)
    {
        auto whole = get("static/photos/photo-64x48.png");
        ASSERT_EQ(whole.status, 200);
        ASSERT_GT(whole.body.size(), 100u);
        script().forRoute("static/photos/photo-64x48.png", ScriptedReply::normal().inPieces(4, 0.2));
        auto begun = std::chrono::steady_clock::now();
        auto pieces = get("static/photos/photo-64x48.png", 10.0);
        EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count(), 0.55);
        EXPECT_EQ(pieces.status, 200);
        EXPECT_EQ(pieces.body, whole.body);
        EXPECT_EQ(pieces.header("Content-Type"), whole.header("Content-Type"));
        EXPECT_NE(standin->requests().last()->scripted.find("in 4 pieces"), std::string::npos);
    }

    // A held reply: the request is logged on arrival but not answered until
    // the gate opens; a stopping server lets a still-held reply go.
    TEST_F(ReplyScriptTest, HeldReplyLeavesWhenItsGateOpensOrTheServerStops)
    {
        auto arrivedAt = [](const server::ReplyGate& gate, std::size_t count) {
            auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (gate.arrived() < count && std::chrono::steady_clock::now() < limit)
                std::this_thread::yield();
            return gate.arrived() >= count;
        };
        auto gate = std::make_shared<server::ReplyGate>();
        script().forCommand("40302", ScriptedReply::errorEnvelope("放行").heldBy(gate));
        auto pending = std::async(std::launch::async, [&] { return subjects(30); });
        ASSERT_TRUE(arrivedAt(*gate, 1));
        auto waiting = standin->requests().last();
        ASSERT_TRUE(waiting);
        EXPECT_FALSE(waiting->answered);
        EXPECT_FALSE(gate->isOpen());
        gate->open();
        auto released = pending.get();
        EXPECT_EQ(released.reply()["resultMsg"], Value("放行"));
        ASSERT_TRUE(standin->requests().waitForCount(1, std::chrono::milliseconds(20000), true));
        EXPECT_EQ(standin->requests().last()->scripted, "errorEnvelope held");
        // An open gate holds nothing more.
        script().forCommand("40302", ScriptedReply::normal().heldBy(gate));
        EXPECT_EQ(subjects().reply()["resultState"], Value(1));
        EXPECT_EQ(gate->arrived(), 2u);

        auto never = std::make_shared<server::ReplyGate>();
        script().forCommand("40302", ScriptedReply::normal().heldBy(never));
        auto stranded = std::async(std::launch::async, [&] { return subjects(30); });
        ASSERT_TRUE(arrivedAt(*never, 1));
        standin->stop();
        stranded.get();
        EXPECT_FALSE(never->isOpen());
        EXPECT_TRUE(standin->requests().last()->answered);
    }

    TEST_F(ReplyScriptTest, ConnectionResetGivesNoReplyAndTheServerGoesOn)
    {
        script().forCommand("40302", ScriptedReply::connectionReset());
        auto dropped = subjects();
        EXPECT_FALSE(dropped.answered());
        EXPECT_EQ(dropped.status, 0);
        auto logged = standin->requests().last();
        ASSERT_TRUE(logged);
        EXPECT_TRUE(logged->reset);
        EXPECT_EQ(logged->status, 0);
        EXPECT_EQ(subjects().reply()["resultState"], Value(1));

        // At the socket level the peer sees a reset, not an orderly close.
        script().forRoute("webapp", ScriptedReply::connectionReset());
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(standin->port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        timeval limit { 2, 0 };
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        std::string request = "GET /mobile2/pull/webapp/jxq/comment?weiboId=1 HTTP/1.1\r\nHost: x\r\n\r\n";
        ASSERT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
        char buffer[256];
        ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        int error = errno;
        close(fd);
        EXPECT_EQ(got, -1);
        EXPECT_EQ(error, ECONNRESET);
    }

    TEST_F(ReplyScriptTest, CorruptAndTruncatedAddressBooksDoNotInflate)
    {
        for (auto format : { server::Compression::Gzip, server::Compression::Zlib }) {
            script().forCommand("30107", ScriptedReply::corruptCompressed().compressedAs(format));
            script().forCommand("30107", ScriptedReply::truncatedCompressed().compressedAs(format));
            script().forCommand("30107", ScriptedReply::normal().compressedAs(format));
            auto corrupt = addressBook();
            auto truncated = addressBook();
            auto whole = addressBook();
            for (const auto* bad : { &corrupt, &truncated }) {
                EXPECT_EQ(bad->header("Content-Type"), "application/octet-stream");
                EXPECT_FALSE(bad->body.empty());
                EXPECT_FALSE(inflate(bad->body));
            }
            EXPECT_LT(truncated.body.size(), whole.body.size());
            EXPECT_EQ(corrupt.body.substr(0, 2), whole.body.substr(0, 2)); // the header itself is intact
            ASSERT_TRUE(inflate(whole.body));
        }
    }

    TEST_F(ReplyScriptTest, ContentEncodedAddressBookIsInflatedByHttpItself)
    {
        script().forCommand("30107", ScriptedReply::contentEncoded());
        auto answer = addressBook(); // the test client decodes Content-Encoding
        EXPECT_EQ(answer.header("Content-Encoding"), "gzip");
        auto book = answer.json();
        ASSERT_TRUE(book && book->isArray());
        EXPECT_EQ(book->count(), 9u); // colleagues, seven classes' parents, other teachers
    }

    TEST_F(ReplyScriptTest, CustomStatusBodyAndHeaders)
    {
        script().forCommand("10002", ScriptedReply::custom(418, "teapot", "text/plain", { { "X-Why", "because" } }));
        auto answer = command("sys", "10002");
        EXPECT_EQ(answer.status, 418);
        EXPECT_EQ(answer.body, "teapot");
        EXPECT_EQ(answer.header("X-Why"), "because");
        EXPECT_TRUE(platform::hasPrefix(answer.header("Content-Type"), "text/plain"));
    }

    TEST_F(ReplyScriptTest, CommandQueueComesBeforeTheLongestRouteThenAny)
    {
        script().enqueue(server::ReplyTarget::any(), ScriptedReply::errorEnvelope("any"));
        script().forRoute("upload", ScriptedReply::errorEnvelope("upload"));
        script().forRoute("combine/html5", ScriptedReply::errorEnvelope("module"));
        script().forCommand("40302", ScriptedReply::errorEnvelope("command"));
        EXPECT_EQ(subjects().reply()["resultMsg"], Value("command"));
        EXPECT_EQ(subjects().reply()["resultMsg"], Value("module"));
        EXPECT_EQ(upload("upload/msgpic/2001/1", "a.png", "image/png", "x").reply()["resultMsg"], Value("upload"));
        EXPECT_EQ(get("static/img/a.png").reply()["resultMsg"], Value("any"));
        EXPECT_EQ(subjects().reply()["resultState"], Value(1));
        // A route matches whole path segments only.
        script().forRoute("webapp/jxq/we", ScriptedReply::errorEnvelope("partial"));
        EXPECT_EQ(get("webapp/jxq/weibo?userId=2001&weiboType=1&page=1").reply()["resultState"], Value(1));
        EXPECT_EQ(script().pending(server::ReplyTarget::route("webapp/jxq/we")), 1u);
        script().clear();
        EXPECT_EQ(script().pendingTotal(), 0u);
    }

} // namespace
} // namespace servertest
