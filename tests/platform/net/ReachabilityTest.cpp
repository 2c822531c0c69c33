#include "platform/net/Reachability.h"

#include <gtest/gtest.h>

#include <thread>

using namespace platform;

namespace {

// Puts the system provider back after each test.
class ReachabilityTest : public ::testing::Test {
protected:
    void TearDown() override { Reachability::setProvider(nullptr); }
};

TEST_F(ReachabilityTest, InjectedFlagsAreWhatTheObjectsRead)
{
    auto fixed = std::make_shared<FixedReachabilityProvider>();
    Reachability::setProvider(fixed);
    auto byName = Reachability::createWithName("example.com");
    auto byAddress = Reachability::createWithAddress({ 0, 0, 0, 0 });
    ASSERT_TRUE(byName);
    ASSERT_TRUE(byAddress);
    EXPECT_EQ(byName->target().hostName, "example.com");
    EXPECT_FALSE(byAddress->target().ipv4Address->at(0));

    EXPECT_FALSE(byName->getFlags());
    const ReachabilityFlags wwan = kReachabilityFlagReachable | kReachabilityFlagIsWWAN;
    fixed->setFlags(wwan);
    EXPECT_EQ(byName->getFlags(), wwan);
    EXPECT_EQ(byAddress->getFlags(), wwan);
    // The bit values are the phone's.
    EXPECT_EQ(kReachabilityFlagReachable, 2u);
    EXPECT_EQ(kReachabilityFlagConnectionRequired, 4u);
    EXPECT_EQ(kReachabilityFlagIsDirect, 131072u);
    EXPECT_EQ(kReachabilityFlagIsWWAN, 262144u);
}

TEST_F(ReachabilityTest, UnusableHostNamesMakeNoObject)
{
    EXPECT_FALSE(Reachability::createWithName(""));
    EXPECT_FALSE(Reachability::createWithName("two words"));
    EXPECT_FALSE(Reachability::createWithName("bad\nname"));
    EXPECT_FALSE(Reachability::createWithName(std::string(300, 'a')));
    EXPECT_TRUE(Reachability::createWithName("::1"));
}

TEST_F(ReachabilityTest, LoopbackIsReachableAndDirectAndNothingIsWWAN)
{
    for (const char* name : { "localhost", "LOCALHOST", "api.localhost", "127.0.0.1", "127.1.2.3", "::1" }) {
        auto reachability = Reachability::createWithName(name);
        ASSERT_TRUE(reachability) << name;
        auto flags = reachability->getFlags();
        ASSERT_TRUE(flags) << name;
        EXPECT_TRUE(*flags & kReachabilityFlagReachable) << name;
        EXPECT_TRUE(*flags & kReachabilityFlagIsDirect) << name;
        EXPECT_FALSE(*flags & kReachabilityFlagIsWWAN) << name;
    }
    auto address = Reachability::createWithAddress({ 127, 0, 0, 1 });
    EXPECT_TRUE(*address->getFlags() & kReachabilityFlagIsLocalAddress);

    for (auto target : { std::array<std::uint8_t, 4> { 0, 0, 0, 0 }, std::array<std::uint8_t, 4> { 169, 254, 0, 0 },
             std::array<std::uint8_t, 4> { 8, 8, 8, 8 } }) {
        auto flags = Reachability::createWithAddress(target)->getFlags();
        ASSERT_TRUE(flags);
        EXPECT_FALSE(*flags & kReachabilityFlagIsWWAN);
        // Whatever this machine's interfaces are, a direct answer is always a reachable one.
        if (*flags & kReachabilityFlagIsDirect) {
            EXPECT_TRUE(*flags & kReachabilityFlagReachable);
        }
    }
}

TEST_F(ReachabilityTest, ChangesAreReportedOnTheScheduledLoopOnly)
{
    auto fixed = std::make_shared<FixedReachabilityProvider>(kReachabilityFlagReachable);
    Reachability::setProvider(fixed);
    auto reachability = Reachability::createWithName("example.com");
    RunLoop& loop = RunLoop::current();

    EXPECT_FALSE(reachability->scheduleWithRunLoop(loop)); // no callback yet
    std::vector<ReachabilityFlags> reports;
    std::thread::id reportedOn;
    reachability->setCallback([&](Reachability& which, ReachabilityFlags flags) {
        EXPECT_EQ(&which, reachability.get());
        reports.push_back(flags);
        reportedOn = std::this_thread::get_id();
    });
    ASSERT_TRUE(reachability->scheduleWithRunLoop(loop, kDefaultRunLoopMode, 0.02));
    EXPECT_FALSE(reachability->scheduleWithRunLoop(loop));

    // Nothing changed: nothing reported.
    loop.runUntil([] { return false; }, 0.1);
    EXPECT_TRUE(reports.empty());

    fixed->setFlags(kReachabilityFlagReachable | kReachabilityFlagConnectionRequired);
    ASSERT_TRUE(loop.runUntil([&] { return !reports.empty(); }, 2));
    EXPECT_EQ(reports.back(), kReachabilityFlagReachable | kReachabilityFlagConnectionRequired);
    EXPECT_EQ(reportedOn, std::this_thread::get_id());
    loop.runUntil([] { return false; }, 0.1);
    EXPECT_EQ(reports.size(), 1u);

    // Flags that cannot be read count as a change to 0.
    fixed->setFlags(std::nullopt);
    ASSERT_TRUE(loop.runUntil([&] { return reports.size() == 2; }, 2));
    EXPECT_EQ(reports.back(), 0u);

    reachability->unscheduleFromRunLoop();
    EXPECT_FALSE(reachability->isScheduled());
    fixed->setFlags(kReachabilityFlagReachable);
    loop.runUntil([] { return false; }, 0.1);
    EXPECT_EQ(reports.size(), 2u);
}

TEST_F(ReachabilityTest, ProviderCanBeSwappedWhileOtherThreadsRead)
{
    auto fixed = std::make_shared<FixedReachabilityProvider>(kReachabilityFlagReachable);
    auto reachability = Reachability::createWithName("localhost");
    std::thread reader([&] {
        for (int i = 0; i < 200; ++i) {
            auto flags = reachability->getFlags();
            ASSERT_TRUE(flags);
            EXPECT_TRUE(*flags & kReachabilityFlagReachable);
        }
    });
    for (int i = 0; i < 50; ++i)
        Reachability::setProvider(i % 2 ? std::shared_ptr<ReachabilityProvider>(fixed) : nullptr);
    reader.join();
}

} // namespace
