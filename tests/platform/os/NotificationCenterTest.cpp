#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

struct Sender final : Object {
    std::string className() const override { return "Sender"; }
};

class Notifications : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RunLoop::main().isCurrent());
        RunLoop::main().discardPendingWork();
    }
    void TearDown() override { RunLoop::main().discardPendingWork(); }

    NotificationCenter center;
};

TEST_F(Notifications, NameAndObjectFiltersSelectObservers)
{
    auto senderA = std::make_shared<Sender>();
    auto senderB = std::make_shared<Sender>();
    std::vector<std::string> seen;
    auto byName = center.addObserver("ReachabilityChanged", {},
        [&](const Notification& n) { seen.push_back("byName:" + n.userInfo.get("status").stringValue()); });
    auto byObject
        = center.addObserver("", Value(senderA), [&](const Notification& n) { seen.push_back("byObject:" + n.name); });
    auto byBoth = center.addObserver(
        "ReachabilityChanged", Value("wifi"), [&](const Notification&) { seen.push_back("byBoth"); });
    auto everything = center.addObserver("", {}, [&](const Notification& n) { seen.push_back("all:" + n.name); });

    center.post("ReachabilityChanged", Value("wifi"), Dictionary { { "status", 2 } });
    center.post("ReachabilityChanged", Value(senderB));
    center.post("Other", Value(senderA));
    center.post("Other", Value(std::make_shared<Sender>())); // another record: identity, not kind, counts

    EXPECT_EQ(seen,
        (std::vector<std::string> { "byName:2", "byBoth", "all:ReachabilityChanged",
            "byName:", "all:ReachabilityChanged", "byObject:Other", "all:Other", "all:Other" }));
}

TEST_F(Notifications, TokensUnsubscribeWhenResetMovedOrDestroyed)
{
    int calls = 0;
    auto handler = [&](const Notification&) { ++calls; };
    {
        auto scoped = center.addObserver("N", {}, handler);
        center.post("N");
    }
    center.post("N");
    EXPECT_EQ(calls, 1);

    auto first = center.addObserver("N", {}, handler);
    ObserverToken moved = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_TRUE(moved);
    center.post("N");
    EXPECT_EQ(calls, 2);
    moved = center.addObserver("N", {}, handler); // the old subscription ends on assignment
    center.post("N");
    EXPECT_EQ(calls, 3);
    moved.reset();
    EXPECT_FALSE(moved);
    center.post("N");
    EXPECT_EQ(calls, 3);
}

TEST_F(Notifications, ATokenMayOutliveItsCentre)
{
    auto center2 = std::make_unique<NotificationCenter>();
    auto token = center2->addObserver("N", {}, [](const Notification&) {});
    center2.reset();
    token.reset(); // must not touch the destroyed centre
    EXPECT_FALSE(token);
}

TEST_F(Notifications, ObserverRemovedDuringAPostIsNotCalledAfterwards)
{
    std::vector<std::string> calls;
    ObserverToken second;
    ObserverToken third;
    ObserverToken added;
    auto first = center.addObserver("N", {}, [&](const Notification&) {
        calls.push_back("first");
        second.reset(); // removed before its turn in this very post
        if (!added)
            added = center.addObserver("N", {}, [&](const Notification&) { calls.push_back("added"); });
    });
    second = center.addObserver("N", {}, [&](const Notification&) { calls.push_back("second"); });
    third = center.addObserver("N", {}, [&](const Notification&) {
        calls.push_back("third");
        third.reset(); // removing itself while running is safe
    });
    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string> { "first", "third" }));
    calls.clear();
    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string> { "first", "added" }));
}

TEST_F(Notifications, PostFromAnotherThreadIsDeliveredOnTheMainLoop)
{
    std::vector<std::string> received;
    bool allOnMain = true;
    auto token = center.addObserver("Done", {}, [&](const Notification& n) {
        allOnMain = allOnMain && RunLoop::isMainThread();
        received.push_back(n.userInfo.get("i").stringValue());
    });
    std::thread([&] {
        for (int i = 0; i < 3; ++i)
            center.post("Done", {}, Dictionary { { "i", i } });
    }).join();
    EXPECT_TRUE(received.empty()) << "delivery waits for the main loop";
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return received.size() == 3; }, 5));
    EXPECT_TRUE(allOnMain);
    EXPECT_EQ(received, (std::vector<std::string> { "0", "1", "2" }));

    // Removed before the main loop got to it: never called.
    std::thread([&] { center.post("Done", {}, Dictionary { { "i", 9 } }); }).join();
    token.reset();
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(received.size(), 3u);
}

TEST_F(Notifications, DefaultCentreIsShared)
{
    int calls = 0;
    auto token = NotificationCenter::defaultCenter().addObserver("Shared", {}, [&](const Notification&) { ++calls; });
    NotificationCenter::defaultCenter().post("Shared");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}

} // namespace
