// The main loop's before-waiting observers, which the window host draws from.
#include "platform/os/RunLoop.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

TEST(RunLoopObserver, RunsAfterTheTurnsWorkBeforeWaitingAndCountsCallouts)
{
    platform::RunLoop::setMainThread();
    auto& loop = platform::RunLoop::main();
    loop.discardPendingWork();
    std::vector<std::string> order;
    std::uint64_t seen = loop.calloutCount();
    std::vector<std::uint64_t> ranSinceLastLook;
    auto id = loop.addBeforeWaitingObserver([&] {
        order.push_back("observer");
        ranSinceLastLook.push_back(loop.calloutCount() - seen);
        seen = loop.calloutCount();
    });
    ASSERT_NE(id, 0u);
    loop.post([&] { order.push_back("task"); });
    loop.addTimer(0, 0, [&] { order.push_back("timer"); });
    loop.runMode(platform::kDefaultRunLoopMode, 0.05);
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(order[0], "task");
    EXPECT_EQ(order[1], "timer");
    EXPECT_EQ(order[2], "observer");
    EXPECT_EQ(ranSinceLastLook.front(), 2u);

    // A descriptor source counts too, and nested runs in other modes see the observer.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    auto source = loop.addSource(fds[0], platform::RunLoop::kReadable, [&](std::uint32_t) {
        char c;
        [[maybe_unused]] auto n = read(fds[0], &c, 1);
        order.push_back("source");
    });
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    order.clear();
    ranSinceLastLook.clear();
    loop.runMode("nested", 0.05);
    EXPECT_NE(std::find(order.begin(), order.end(), "source"), order.end());
    EXPECT_NE(std::find(ranSinceLastLook.begin(), ranSinceLastLook.end(), 1u), ranSinceLastLook.end());

    // Removed, it is not called again; a null observer is refused.
    loop.removeBeforeWaitingObserver(id);
    order.clear();
    loop.runMode(platform::kDefaultRunLoopMode, 0.02);
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(loop.addBeforeWaitingObserver({}), 0u);
    loop.removeSource(source);
    close(fds[0]);
    close(fds[1]);
}

TEST(RunLoopObserver, AStopFromAnObserverEndsTheRun)
{
    platform::RunLoop::setMainThread();
    auto& loop = platform::RunLoop::main();
    int calls = 0;
    // Each turn posts the work of the next one, so the loop never sleeps long.
    auto id = loop.addBeforeWaitingObserver([&] {
        if (++calls == 3)
            loop.stop();
        else
            loop.post([] {});
    });
    loop.post([] {});
    loop.run(); // ends on the third turn
    EXPECT_EQ(calls, 3);
    loop.removeBeforeWaitingObserver(id);
}
