// Messages put in by the test API and by the --deliver-every timer reach the
// recipient's next poll, once, and nobody else's.
#include "tests/server/ServerTestSupport.h"

#include "platform/os/PlatformJson.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"

#include <chrono>
#include <csignal>
#include <map>
#include <set>
#include <thread>

namespace servertest {
namespace {

    using platform::Array;
    using platform::Dictionary;
    using platform::Value;

    constexpr long long kTeacher = server::StandinServer::kDemoTeacherId;
    constexpr long long kParent = server::StandinServer::kDemoParentId;

    std::vector<Value> itemsOf(const Value& poll)
    {
        std::vector<Value> out;
        if (const auto* items = poll["items"].asArray())
            out.assign(items->begin(), items->end());
        return out;
    }

    int countWithId(const std::vector<Value>& items, const std::string& msgId)
    {
        int n = 0;
        for (const auto& item : items)
            n += item["msgId"].stringValue() == msgId ? 1 : 0;
        return n;
    }

    class DeliveryTest : public StandinTest {
    public:
        using StandinTest::commonFields;
    };

    TEST_F(DeliveryTest, ADeliveredMessageComesInTheRecipientsNextPollOnceAndToNobodyElse)
    {
        // The seeded messages go first, so what follows is only the delivered one.
        EXPECT_EQ(command("rivu", "20101", {}, kTeacher).reply()["items"].count(), 2u);

        platform::Error error;
        std::string msgId = standin->deliverMessage(kTeacher, kParent, "明天带水彩笔", &error);
        ASSERT_FALSE(msgId.empty()) << error.localizedDescription();
        std::string second = standin->deliverMessage(kTeacher, 2002, "教研会改到四点");
        ASSERT_FALSE(second.empty());
        EXPECT_NE(second, msgId);

        // The sender and another teacher do not get it.
        EXPECT_EQ(countWithId(itemsOf(command("rivu", "20101", {}, kParent).reply()), msgId), 0);
        EXPECT_EQ(countWithId(itemsOf(command("rivu", "20101", {}, 2004).reply()), msgId), 0);

        auto items = itemsOf(command("rivu", "20101", {}, kTeacher).reply());
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(countWithId(items, msgId), 1);
        EXPECT_EQ(countWithId(items, second), 1);
        for (const auto& item : items) {
            if (item["msgId"].stringValue() != msgId)
                continue;
            EXPECT_EQ(item["content"], Value("明天带水彩笔"));
            EXPECT_EQ(item["linkManId"].longLongValue(), kParent);
            EXPECT_EQ(item["linkManName"], Value("张伟"));
            EXPECT_EQ(item["isGroupSend"].intValue(), 0);
            EXPECT_FALSE(item["dateTime"].stringValue().empty());
        }
        // Once only.
        EXPECT_EQ(command("rivu", "20101", {}, kTeacher).reply()["items"].count(), 0u);

        // Ids come from the counter the handlers use: a message sent through
        // them and one delivered after it never share an id.
        std::string sent = command("address", "30104", { { "linkManId", kTeacher }, { "content", "收到" } }, kParent)
                               .reply()["msgId"]
                               .stringValue();
        ASSERT_FALSE(sent.empty());
        std::string third = standin->deliverMessage(kParent, kTeacher, "好的");
        ASSERT_FALSE(third.empty());
        EXPECT_NE(third, sent);
        EXPECT_NE(sent, msgId);
        EXPECT_EQ(countWithId(itemsOf(command("rivu", "20101", {}, kParent).reply()), third), 1);
        auto teacherItems = itemsOf(command("rivu", "20101", {}, kTeacher).reply());
        EXPECT_EQ(countWithId(teacherItems, third), 0);
        EXPECT_EQ(countWithId(teacherItems, sent), 1);
    }

    TEST_F(DeliveryTest, NothingIsDeliveredToNoAccountFromNobodyOrBeforeTheDataIsOpen)
    {
        platform::Error error;
        EXPECT_TRUE(standin->deliverMessage(999, kParent, "x", &error).empty());
        EXPECT_FALSE(error.localizedDescription().empty());
        EXPECT_TRUE(standin->deliverMessage(kTeacher, 987654, "x").empty());
        EXPECT_EQ(command("rivu", "20101", {}, kTeacher).reply()["items"].count(), 2u);

        testsupport::TempDir other("orb-deliver");
        server::ServerOptions options;
        options.dataDirectory = other.path();
        server::StandinServer unstarted(options);
        EXPECT_TRUE(unstarted.deliverMessage(kTeacher, kParent, "x").empty());
    }

    // Polls as the teacher until `wanted` messages from the demo parent other
    // than the seeded one have come, or a generous bound passes; every
    // message id seen, with how often it was seen.
    template <typename Poll>
    std::map<std::string, int> collectTimed(Poll poll, std::size_t wanted, std::vector<Value>& timed)
    {
        std::map<std::string, int> seen;
        auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (timed.size() < wanted && std::chrono::steady_clock::now() < give_up) {
            for (const auto& item : itemsOf(poll())) {
                std::string id = item["msgId"].stringValue();
                if (seen[id]++ == 0 && id != "M1001" && id != "M1002")
                    timed.push_back(item);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return seen;
    }

    TEST_F(DeliveryTest, TheTimerSendsTheTeacherMessagesFromTheDemoParent)
    {
        stopServer();
        server::ServerOptions options;
        options.deliverEverySeconds = 0.05;
        startServer(options);

        std::vector<Value> timed;
        auto seen = collectTimed([&] { return command("rivu", "20101", {}, kTeacher).reply(); }, 3, timed);
        ASSERT_GE(timed.size(), 3u);
        EXPECT_GE(standin->timedDeliveries(), 3);
        for (const auto& [id, times] : seen)
            EXPECT_EQ(times, 1) << id;
        for (const auto& item : timed) {
            EXPECT_EQ(item["linkManId"].longLongValue(), kParent);
            EXPECT_FALSE(item["content"].stringValue().empty());
        }
        // The parent's own polls never carry them.
        auto parentItems = itemsOf(command("rivu", "20101", {}, kParent).reply());
        for (const auto& item : timed)
            EXPECT_EQ(countWithId(parentItems, item["msgId"].stringValue()), 0);

        // Stopping ends the timer: nothing more is put in.
        standin->stop();
        int after = standin->timedDeliveries();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(standin->timedDeliveries(), after);
    }

    TEST_F(DeliveryTest, WithoutTheOptionNothingArrives)
    {
        EXPECT_EQ(command("rivu", "20101", {}, kTeacher).reply()["items"].count(), 2u);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(command("rivu", "20101", {}, kTeacher).reply()["items"].count(), 0u);
        EXPECT_EQ(standin->timedDeliveries(), 0);
    }

    // The program's option, end to end.
    TEST(DeliverEveryOption, TheProgramSendsTheTeacherMessagesAtTheInterval)
    {
        testsupport::TempDir dir("orb-deliver-every");
        ASSERT_FALSE(dir.path().empty());
        int port = testsupport::freeLoopbackPort();
        ASSERT_GT(port, 0);
        std::string log = dir / "server.out";
        pid_t pid = testsupport::spawnProcess({ testsupport::buildPath(ORB_STANDIN_PATH), "--port", std::to_string(port), "--data",
                                                  dir / "data", "--deliver-every", "0.05" },
            log);
        ASSERT_GT(pid, 0);
        if (!testsupport::waitUntilListening(port, pid, 30)) {
            testsupport::stopProcess(pid);
            FAIL() << "orb-standin did not start: " << testsupport::readTextFile(log);
        }
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(10, 0);
        auto poll = [&] {
            Dictionary body = DeliveryTest::commonFields(kTeacher);
            body.set("cmd", "20101");
            auto text = platform::PlatformJson::write(Value(std::move(body))).value_or("");
            auto result = client.Post("/mobile2/pull/combine/rivu", text, "application/json");
            if (!result || result->status != 200)
                return Value();
            return platform::PlatformJson::read(result->body).value_or(Value());
        };
        std::vector<Value> timed;
        auto seen = collectTimed(poll, 2, timed);
        testsupport::stopProcess(pid);
        ASSERT_GE(timed.size(), 2u) << testsupport::readTextFile(log);
        for (const auto& [id, times] : seen)
            EXPECT_EQ(times, 1) << id;
        for (const auto& item : timed)
            EXPECT_EQ(item["linkManId"].longLongValue(), kParent);
    }

    TEST(DeliverEveryOption, ABadIntervalIsRefused)
    {
        for (const char* bad : { "0", "-1", "abc", "" }) {
            auto result = testsupport::runCommand(testsupport::buildPath(ORB_STANDIN_PATH) + " --port 0 --data /nonexistent/x"
                + " --deliver-every " + testsupport::shellQuoted(bad) + " 2>&1");
            EXPECT_EQ(result.status, 2) << bad << ": " << result.output;
        }
    }

    // Each signal that asks the program to end (an interrupt, a termination
    // request, a closed terminal) stops the server in order: it says so and
    // exits with status 0 instead of dying on the signal.
    TEST(StandinProgramSignals, EachEndingSignalStopsTheServerInOrder)
    {
        const struct {
            int signal;
            const char* name;
        } cases[] = { { SIGINT, "SIGINT" }, { SIGTERM, "SIGTERM" }, { SIGHUP, "SIGHUP" } };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            testsupport::TempDir dir("orb-standin-signal");
            ASSERT_FALSE(dir.path().empty());
            std::string log = dir / "server.out";
            pid_t pid = testsupport::spawnProcess(
                { testsupport::buildPath(ORB_STANDIN_PATH), "--port", "0", "--data", dir / "data" }, log);
            ASSERT_GT(pid, 0);
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (testsupport::readTextFile(log).find("listening on") == std::string::npos
                && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (testsupport::readTextFile(log).find("listening on") == std::string::npos) {
                testsupport::stopProcess(pid);
                FAIL() << "orb-standin did not start: " << testsupport::readTextFile(log);
            }
            ASSERT_EQ(kill(pid, c.signal), 0);
            EXPECT_EQ(testsupport::waitForProcess(pid, 30), 0) << testsupport::readTextFile(log);
            EXPECT_NE(testsupport::readTextFile(log).find(std::string("orb-standin: stopped (") + c.name + ")"),
                std::string::npos)
                << testsupport::readTextFile(log);
        }
    }

} // namespace
} // namespace servertest
