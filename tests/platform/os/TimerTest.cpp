#include "platform/os/Timer.h"
#include "platform/os/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace platform;

namespace {

class TimerOnMain : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop = &RunLoop::main();
        ASSERT_TRUE(loop->isCurrent());
        loop->discardPendingWork();
        loop->setClock(clock);
    }
    void TearDown() override
    {
        loop->discardPendingWork();
        loop->setClock(nullptr);
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>(0);
    RunLoop* loop = nullptr;
};

TEST_F(TimerOnMain, RepeatingTimerTicksUntilInvalidatedFromItsCallback)
{
    std::vector<double> ticks;
    auto timer = Timer::scheduled(0.25, true, [&](Timer& t) {
        ticks.push_back(loop->now());
        if (ticks.size() == 3)
            t.invalidate();
    });
    EXPECT_TRUE(timer->isValid());
    EXPECT_TRUE(timer->repeats());
    EXPECT_DOUBLE_EQ(timer->timeInterval(), 0.25);
    loop->advance(2);
    EXPECT_EQ(ticks, (std::vector<double> { 0.25, 0.5, 0.75 }));
    EXPECT_FALSE(timer->isValid());
}

TEST_F(TimerOnMain, SingleShotInvalidatesItselfAfterFiring)
{
    int fired = 0;
    auto timer = Timer::scheduled(1.5, false, [&](Timer&) { ++fired; });
    loop->advance(1.4);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(timer->isValid());
    loop->advance(0.1);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer->isValid());
    loop->advance(5);
    EXPECT_EQ(fired, 1);
    timer->fire(); // an invalid timer does nothing
    EXPECT_EQ(fired, 1);
}

TEST_F(TimerOnMain, TheLoopKeepsAScheduledTimerAliveUntilInvalidated)
{
    int fired = 0;
    std::weak_ptr<Timer> weak;
    {
        auto timer = Timer::scheduled(1, true, [&](Timer&) { ++fired; });
        weak = timer;
    }
    loop->advance(3);
    EXPECT_EQ(fired, 3);
    auto timer = weak.lock();
    ASSERT_TRUE(timer);
    timer->invalidate();
    timer.reset();
    EXPECT_TRUE(weak.expired());
    loop->advance(3);
    EXPECT_EQ(fired, 3);
}

TEST_F(TimerOnMain, InvalidateReleasesWhatTheCallbackHolds)
{
    // An owner that holds its timer while the timer's callback holds the owner:
    // invalidating breaks the cycle.
    struct Owner {
        std::shared_ptr<Timer> timer;
    };
    auto owner = std::make_shared<Owner>();
    std::weak_ptr<Owner> weakOwner = owner;
    owner->timer = Timer::scheduled(1, true, [owner](Timer&) {});
    auto timer = owner->timer;
    owner.reset();
    EXPECT_FALSE(weakOwner.expired());
    timer->invalidate();
    EXPECT_TRUE(weakOwner.expired());
}

TEST_F(TimerOnMain, ManualFireKeepsTheSchedule)
{
    std::vector<double> ticks;
    auto timer = Timer::scheduled(1, true, [&](Timer&) { ticks.push_back(loop->now()); });
    loop->advance(0.5);
    timer->fire();
    loop->advance(0.5);
    EXPECT_EQ(ticks, (std::vector<double> { 0.5, 1.0 }));
    EXPECT_TRUE(timer->isValid());
    timer->invalidate();
}

TEST_F(TimerOnMain, TimerInANamedModeWaitsForThatMode)
{
    int fired = 0;
    auto timer = Timer::scheduled(
        0, false, [&](Timer&) { ++fired; }, *loop, "HTTPRequestRunLoopMode");
    loop->advance(1);
    EXPECT_EQ(fired, 0);
    loop->runMode("HTTPRequestRunLoopMode", 0);
    EXPECT_EQ(fired, 1);
}

TEST(TimerThreads, ALoopThatGoesAwayInvalidatesItsTimers)
{
    std::shared_ptr<Timer> timer;
    std::thread([&] { timer = Timer::scheduled(10, true, [](Timer&) {}); }).join();
    ASSERT_TRUE(timer);
    EXPECT_FALSE(timer->isValid());
    timer->invalidate(); // harmless: no loop to reach
}

TEST(TimerThreads, UnscheduledTimerFiresOnlyWhenAsked)
{
    int fired = 0;
    auto timer = std::make_shared<Timer>(5, false, [&](Timer&) { ++fired; });
    EXPECT_TRUE(timer->isValid());
    timer->fire();
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer->isValid());
}

} // namespace
