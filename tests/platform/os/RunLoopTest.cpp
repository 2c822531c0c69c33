#include "platform/os/RunLoop.h"
#include "platform/os/Log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace platform;

namespace {

constexpr const char* kCustomMode = "HTTPRequestRunLoopMode";

double realSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Every case runs on the main loop with a manual clock, and leaves nothing
// behind for the next case (gtest runs them all in one process).
class MainLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop = &RunLoop::main();
        ASSERT_TRUE(loop->isCurrent()) << "the test thread must be the main thread";
        loop->discardPendingWork();
        loop->setClock(clock);
    }
    void TearDown() override
    {
        loop->discardPendingWork();
        loop->setClock(nullptr);
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>(100);
    RunLoop* loop = nullptr;
};

TEST_F(MainLoop, TheTestThreadIsTheMainThread)
{
    EXPECT_TRUE(RunLoop::isMainThread());
    EXPECT_EQ(&RunLoop::current(), &RunLoop::main());
    bool otherIsMain = true;
    RunLoop* otherLoop = nullptr;
    bool otherOwnsItsLoop = false;
    std::thread([&] {
        otherIsMain = RunLoop::isMainThread();
        otherLoop = &RunLoop::current();
        otherOwnsItsLoop = otherLoop->isCurrent() && !RunLoop::main().isCurrent();
        RunLoop::setMainThread(); // too late: ignored
    }).join();
    EXPECT_FALSE(otherIsMain);
    EXPECT_NE(otherLoop, &RunLoop::main());
    EXPECT_TRUE(otherOwnsItsLoop);
    EXPECT_TRUE(RunLoop::isMainThread());
}

TEST_F(MainLoop, PostsFromSeveralThreadsRunInPostingOrderPerThread)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 300;
    std::vector<std::pair<int, int>> ran; // touched on the main thread only
    bool allOnMain = true;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                loop->post([&, t, i] {
                    allOnMain = allOnMain && RunLoop::isMainThread();
                    ran.emplace_back(t, i);
                });
        });
    }
    for (auto& th : threads)
        th.join();
    ASSERT_TRUE(loop->runUntil([&] { return ran.size() == kThreads * kPerThread; }, 10));
    EXPECT_TRUE(allOnMain);
    std::vector<int> next(kThreads, 0);
    for (auto [t, i] : ran) {
        ASSERT_EQ(i, next[t]) << "thread " << t << " out of order";
        ++next[t];
    }
}

TEST_F(MainLoop, PerformOnMainRunsInlineOnMainAndPostsFromOtherThreads)
{
    bool inline_ = false;
    performOnMain([&] { inline_ = true; });
    EXPECT_TRUE(inline_);

    std::atomic<bool> ranOnWorker { false };
    bool ranOnMain = false;
    std::thread([&] {
        performOnMain([&] {
            ranOnWorker = !RunLoop::isMainThread();
            ranOnMain = RunLoop::isMainThread();
        });
    }).join();
    EXPECT_FALSE(ranOnMain) << "must wait for the main loop to run";
    ASSERT_TRUE(loop->runUntil([&] { return ranOnMain; }, 5));
    EXPECT_FALSE(ranOnWorker.load());

    // postToMain from the main thread defers to after the current task.
    std::vector<std::string> order;
    loop->post([&] {
        postToMain([&] { order.push_back("posted"); });
        order.push_back("task");
    });
    loop->runUntilIdle();
    EXPECT_EQ(order, (std::vector<std::string> { "task", "posted" }));
}

TEST_F(MainLoop, RepeatingTimerOnManualClockFiresAtEachInterval)
{
    std::vector<double> fired;
    auto id = loop->addTimer(0.25, 0.25, [&] { fired.push_back(loop->now()); });
    loop->advance(0.2);
    EXPECT_TRUE(fired.empty());
    loop->advance(0.8);
    EXPECT_EQ(fired, (std::vector<double> { 100.25, 100.5, 100.75, 101.0 }));
    EXPECT_DOUBLE_EQ(loop->now(), 101.0);
    EXPECT_TRUE(loop->hasTimer(id));
    loop->cancelTimer(id);
    EXPECT_FALSE(loop->hasTimer(id));
    loop->advance(1.0);
    EXPECT_EQ(fired.size(), 4u);
}

TEST_F(MainLoop, AQuietCalloutCountsOnceAndOnlyFromInsideACallout)
{
    auto quiet = loop->quietCalloutCount();
    auto callouts = loop->calloutCount();
    // Said outside any callout: nothing to let pass, and the last callout run
    // (which may have changed the screen) is not taken for a quiet one.
    loop->post([] {});
    loop->runUntilIdle();
    loop->markCalloutQuiet();
    EXPECT_EQ(loop->quietCalloutCount(), quiet);

    auto id = loop->addTimer(1, 1, [&] {
        loop->markCalloutQuiet();
        loop->markCalloutQuiet();
    });
    loop->post([] {});
    loop->advance(3);
    EXPECT_EQ(loop->quietCalloutCount() - quiet, 3u) << "three ticks, each once however often it said so";
    EXPECT_EQ(loop->calloutCount() - callouts, 5u);
    loop->cancelTimer(id);

    // A quiet callout run inside a busy one: the inner one alone is quiet.
    quiet = loop->quietCalloutCount();
    loop->post([&] {
        loop->post([&] { loop->markCalloutQuiet(); }, kCustomMode);
        loop->runMode(kCustomMode, 0);
    });
    loop->runUntilIdle();
    EXPECT_EQ(loop->quietCalloutCount() - quiet, 1u);
    // The outer one ended after the inner: saying so now reaches nothing.
    loop->markCalloutQuiet();
    EXPECT_EQ(loop->quietCalloutCount() - quiet, 1u);
}

TEST_F(MainLoop, RepeatingTimerOnRealClockKeepsItsInterval)
{
    loop->setClock(nullptr);
    std::vector<double> fired;
    const double start = realSeconds();
    auto id = loop->addTimer(0.25, 0.25, [&] { fired.push_back(realSeconds()); });
    ASSERT_TRUE(loop->runUntil([&] { return fired.size() >= 3; }, 5));
    loop->cancelTimer(id);
    for (std::size_t k = 0; k < fired.size(); ++k)
        EXPECT_GE(fired[k], start + 0.25 * static_cast<double>(k + 1) - 0.002) << "fire " << k << " came early";
}

TEST_F(MainLoop, SingleShotTimerFiresOnceAndCancelledTimerNever)
{
    int once = 0;
    int cancelled = 0;
    loop->addTimer(0.5, 0, [&] { ++once; });
    auto id = loop->addTimer(0.5, 0, [&] { ++cancelled; });
    loop->cancelTimer(id);
    loop->advance(3);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(cancelled, 0);
}

TEST_F(MainLoop, DelayedCallRunsOnTimeUnlessCancelled)
{
    bool ran = false;
    auto call = dispatchAfter(1.5, [&] { ran = true; });
    EXPECT_TRUE(call.isPending());
    loop->advance(1.4);
    EXPECT_FALSE(ran);
    loop->advance(0.1);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(call.isPending());

    bool cancelledRan = false;
    auto cancelled = dispatchAfter(1.5, [&] { cancelledRan = true; });
    loop->advance(1.0);
    cancelled.cancel();
    EXPECT_FALSE(cancelled.isPending());
    loop->advance(5);
    EXPECT_FALSE(cancelledRan);

    // Requested and cancelled from another thread: still never runs.
    std::atomic<bool> workerRan { false };
    std::thread([&] {
        auto c = dispatchAfter(0.5, [&] { workerRan = true; });
        c.cancel();
    }).join();
    loop->advance(5);
    EXPECT_FALSE(workerRan.load());
}

TEST_F(MainLoop, DelayedCallAskedFromAnotherThreadRunsOnMain)
{
    std::atomic<bool> onMain { false };
    std::thread([&] { dispatchAfter(0.5, [&] { onMain = RunLoop::isMainThread(); }); }).join();
    loop->runUntilIdle(); // takes the request; the delay counts from here
    EXPECT_FALSE(onMain.load());
    loop->advance(0.5);
    EXPECT_TRUE(onMain.load());
}

TEST_F(MainLoop, NestedRunInNamedModeLeavesDefaultWorkAlone)
{
    std::vector<std::string> order;
    loop->post([&] { order.push_back("default-1"); });
    loop->post([&] { order.push_back("custom-1"); }, kCustomMode);
    loop->addTimer(0, 0, [&] { order.push_back("default-timer"); });
    loop->addTimer(
        0, 0, [&] { order.push_back("custom-timer"); }, kCustomMode);

    loop->post([&] {
        order.push_back("outer");
        loop->post([&] { order.push_back("default-2"); });
        loop->post([&] { order.push_back("custom-2"); }, kCustomMode);
        loop->post([&] { order.push_back("common-2"); }, kCommonRunLoopModes);
        // The nested run sees only its own mode and the common one.
        EXPECT_EQ(loop->runMode(kCustomMode, 0), RunLoop::RunResult::TimedOut);
        order.push_back("outer-done");
    });
    loop->runUntilIdle();
    EXPECT_EQ(order,
        (std::vector<std::string> { "default-1", "outer", "custom-1", "custom-2", "common-2", "custom-timer",
            "outer-done", "default-timer", "default-2" }));
}

TEST_F(MainLoop, RunModeReturnsAfterOneHandledSourceWhenAsked)
{
    int ran = 0;
    loop->post([&] { ++ran; }, kCustomMode);
    loop->post([&] { ++ran; }, kCustomMode);
    EXPECT_EQ(loop->runMode(kCustomMode, 1, true), RunLoop::RunResult::HandledSource);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(loop->runMode(kCustomMode, 1, true), RunLoop::RunResult::HandledSource);
    EXPECT_EQ(ran, 2);
    // Nothing left: with a manual clock the limit is kept in real time too.
    const double start = realSeconds();
    EXPECT_EQ(loop->runMode(kCustomMode, 0.05, true), RunLoop::RunResult::TimedOut);
    EXPECT_GE(realSeconds() - start, 0.04);
}

TEST_F(MainLoop, ManualClockFiresDueTimersInTimeOrder)
{
    std::vector<std::pair<std::string, double>> fired;
    auto record = [&](std::string name) { fired.emplace_back(std::move(name), loop->now() - 100); };
    loop->addTimer(0.7, 0, [&] { record("e"); });
    loop->addTimer(0.2, 0, [&] {
        record("a");
        // Timers made by a callback inside the span fire in order too.
        loop->addTimer(0.1, 0, [&] {
            record("c");
            loop->addTimer(0.6, 0, [&] { record("f"); });
            loop->addTimer(0.75, 0, [&] { record("late"); });
        });
    });
    loop->addTimer(0.2, 0, [&] { record("b"); });
    loop->addTimer(0.5, 0, [&] {
        record("d");
        loop->post([&] { record("d-posted"); });
    });
    loop->addTimer(1.5, 0, [&] { record("later"); });

    loop->advance(1.0);
    const std::vector<std::pair<std::string, double>> expected { { "a", 0.2 }, { "b", 0.2 }, { "c", 0.3 }, { "d", 0.5 },
        { "d-posted", 0.5 }, { "e", 0.7 }, { "f", 0.9 } };
    ASSERT_EQ(fired.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(fired[i].first, expected[i].first) << i;
        EXPECT_NEAR(fired[i].second, expected[i].second, 1e-9) << fired[i].first;
    }
    EXPECT_DOUBLE_EQ(loop->now(), 101.0);

    loop->advance(0.5);
    ASSERT_EQ(fired.size(), expected.size() + 2);
    EXPECT_EQ(fired[expected.size()].first, "late");
    EXPECT_NEAR(fired[expected.size()].second, 1.05, 1e-9);
    EXPECT_EQ(fired[expected.size() + 1].first, "later");
}

TEST_F(MainLoop, RunUntilPumpsRealEventsWhileTheManualClockStays)
{
    bool timerFired = false;
    loop->addTimer(0.1, 0, [&] { timerFired = true; });
    bool delivered = false;
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        performOnMain([&] { delivered = true; });
    });
    EXPECT_TRUE(loop->runUntil([&] { return delivered; }, 5));
    worker.join();
    EXPECT_FALSE(timerFired);
    EXPECT_DOUBLE_EQ(loop->now(), 100);
    EXPECT_FALSE(loop->runUntil([] { return false; }, 0.02));
}

TEST_F(MainLoop, PipeSourceReportsReadableAndHangup)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string received;
    std::uint32_t lastBits = 0;
    auto id = loop->addSource(fds[0], RunLoop::kReadable, [&](std::uint32_t bits) {
        lastBits = bits;
        char buf[64];
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n > 0)
            received.append(buf, static_cast<std::size_t>(n));
    });
    ASSERT_NE(id, 0u);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        [[maybe_unused]] auto n = write(fds[1], "ping", 4);
    });
    EXPECT_TRUE(loop->runUntil([&] { return received == "ping"; }, 5));
    writer.join();
    EXPECT_TRUE(lastBits & RunLoop::kReadable);

    close(fds[1]);
    EXPECT_TRUE(loop->runUntil([&] { return (lastBits & RunLoop::kHangup) != 0; }, 5));
    loop->removeSource(id);
    close(fds[0]);
}

TEST_F(MainLoop, SourcesRunOnlyInTheirMode)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int customCalls = 0;
    auto id = loop->addSource(
        fds[0], RunLoop::kReadable,
        [&](std::uint32_t) {
            ++customCalls;
            char c;
            [[maybe_unused]] auto n = read(fds[0], &c, 1);
        },
        kCustomMode);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    loop->runUntilIdle();
    EXPECT_EQ(customCalls, 0);
    EXPECT_EQ(loop->runMode(kCustomMode, 1, true), RunLoop::RunResult::HandledSource);
    EXPECT_EQ(customCalls, 1);

    // Switched to writability, then removed from inside another source's callback.
    int writableCalls = 0;
    auto w = loop->addSource(fds[1], RunLoop::kWritable, [&](std::uint32_t bits) {
        ++writableCalls;
        EXPECT_TRUE(bits & RunLoop::kWritable);
        loop->removeSource(id);
    });
    loop->runUntilIdle();
    EXPECT_GE(writableCalls, 1);
    loop->updateSource(w, 0);
    const int before = writableCalls;
    loop->runUntilIdle();
    EXPECT_EQ(writableCalls, before);
    loop->removeSource(w);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(MainLoop, RegularFileSourceIsAlwaysReadyAndBadDescriptorIsRefused)
{
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    int calls = 0;
    RunLoop::SourceId id = 0;
    id = loop->addSource(fileno(f), RunLoop::kReadable, [&](std::uint32_t bits) {
        EXPECT_TRUE(bits & RunLoop::kReadable);
        if (++calls == 3)
            loop->removeSource(id);
    });
    ASSERT_NE(id, 0u);
    loop->runUntilIdle();
    EXPECT_EQ(calls, 3);
    fclose(f);

    EXPECT_EQ(loop->addSource(-1, RunLoop::kReadable, [](std::uint32_t) {}), 0u);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    close(pipeFds[0]);
    close(pipeFds[1]);
    EXPECT_EQ(loop->addSource(pipeFds[0], RunLoop::kReadable, [](std::uint32_t) {}), 0u);
}

// An owner that does not close its descriptors itself (the GLib bridge)
// learns of a close only later, while the number may already name another
// file: a source on that file is watched, and taking the old source out
// leaves it watched. So for a pipe, and for an eventfd (GLib's wake-ups and
// the loops' own), which shares its inode with every other eventfd.
TEST_F(MainLoop, ANumberClosedAndReusedForAnotherFileIsWatchedAsThatFile)
{
    for (const bool eventFile : { false, true }) {
        SCOPED_TRACE(eventFile ? "eventfd" : "pipe");
        // The end watched, and the end written to make it readable.
        struct File {
            int watched = -1;
            int written = -1;
        };
        auto open = [eventFile] {
            File file;
            int ends[2] = { -1, -1 };
            if (eventFile)
                file.watched = file.written = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
            else if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) == 0)
                file = { ends[0], ends[1] };
            return file;
        };
        auto signal = [eventFile](const File& file) {
            const std::uint64_t one = 1;
            return eventFile ? write(file.written, &one, sizeof one) == sizeof one : write(file.written, "x", 1) == 1;
        };
        auto consume = [eventFile](int fd) {
            std::uint64_t value = 0;
            return read(fd, &value, eventFile ? sizeof value : 1) > 0;
        };
        auto shut = [](const File& file) {
            close(file.watched);
            if (file.written != file.watched)
                close(file.written);
        };

        File old = open();
        ASSERT_GE(old.watched, 0);
        auto stale = loop->addSource(old.watched, RunLoop::kReadable, [](std::uint32_t) {});
        ASSERT_NE(stale, 0u);
        loop->runUntilIdle();
        EXPECT_FALSE(loop->sourceOutlivedItsFile(stale));
        const int number = old.watched;
        File fresh = open();
        ASSERT_GE(fresh.watched, 0);
        shut(old);
        EXPECT_TRUE(loop->sourceOutlivedItsFile(stale));

        // Another file under the same number.
        ASSERT_EQ(dup2(fresh.watched, number), number);
        close(fresh.watched);
        if (eventFile)
            fresh.written = number;
        fresh.watched = number;
        EXPECT_TRUE(loop->sourceOutlivedItsFile(stale)) << "the new file is taken for the old one";
        int calls = 0;
        auto source = loop->addSource(number, RunLoop::kReadable, [&](std::uint32_t) {
            if (consume(number))
                ++calls;
        });
        ASSERT_NE(source, 0u);
        EXPECT_FALSE(loop->sourceOutlivedItsFile(source));
        ASSERT_TRUE(signal(fresh));
        EXPECT_TRUE(loop->runUntil([&] { return calls == 1; }, 2))
            << "the new file under the old number is not watched";

        // The stale source goes; the new file stays watched.
        loop->removeSource(stale);
        ASSERT_TRUE(signal(fresh));
        EXPECT_TRUE(loop->runUntil([&] { return calls == 2; }, 2))
            << "taking the old source out unwatched the new file";

        // Closed with something to read and its source left in place: the
        // file is heard no more.
        ASSERT_TRUE(signal(fresh));
        shut(fresh);
        loop->runUntilIdle();
        EXPECT_EQ(calls, 2);
        EXPECT_TRUE(loop->sourceOutlivedItsFile(source));
        loop->removeSource(source);
    }
}

TEST_F(MainLoop, StopFromInsideATaskEndsTheInnermostRun)
{
    std::vector<std::string> order;
    loop->post([&] {
        order.push_back("outer");
        loop->post(
            [&] {
                order.push_back("inner-stop");
                loop->stop();
            },
            kCustomMode);
        EXPECT_EQ(loop->runMode(kCustomMode, 5), RunLoop::RunResult::Stopped);
        order.push_back("outer-resumed");
        loop->stop();
        loop->post([&] { order.push_back("after-stop"); });
    });
    loop->run();
    EXPECT_EQ(order, (std::vector<std::string> { "outer", "inner-stop", "outer-resumed" }));
    loop->runUntilIdle();
    EXPECT_EQ(order.back(), "after-stop");
}

TEST_F(MainLoop, StopFromAnotherThreadEndsTheRun)
{
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop->stop();
    });
    EXPECT_EQ(loop->runMode(kDefaultRunLoopMode, 5), RunLoop::RunResult::Stopped);
    stopper.join();
}

TEST_F(MainLoop, ThrowingTaskIsLoggedAndTheLoopCarriesOn)
{
    LogCapture capture;
    bool after = false;
    loop->post([] { throw std::runtime_error("boom"); });
    loop->post([&] { after = true; });
    loop->runUntilIdle();
    EXPECT_TRUE(after);
    EXPECT_TRUE(capture.contains("boom"));
}

TEST_F(MainLoop, SwitchingClocksKeepsTheTimeLeftOnTimers)
{
    bool fired = false;
    loop->addTimer(2, 0, [&] { fired = true; });
    loop->advance(1);
    auto second = std::make_shared<ManualClock>(5000);
    loop->setClock(second);
    loop->advance(0.9);
    EXPECT_FALSE(fired);
    loop->advance(0.1);
    EXPECT_TRUE(fired);
}

TEST(RunLoopThreads, ALoopOnItsOwnThreadRunsPostsAndStops)
{
    RunLoop* workerLoop = nullptr;
    std::atomic<bool> ready { false };
    std::atomic<int> ranOnWorker { 0 };
    std::thread worker([&] {
        workerLoop = &RunLoop::current();
        // A repeating timer keeps ticking on the worker's own steady clock.
        workerLoop->addTimer(0.001, 0.001, [] {});
        ready = true;
        workerLoop->run();
    });
    for (int i = 0; i < 5000 && !ready; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(ready.load());
    std::thread::id workerId = worker.get_id();
    for (int i = 0; i < 50; ++i)
        workerLoop->post([&] {
            if (std::this_thread::get_id() == workerId)
                ++ranOnWorker;
        });
    workerLoop->post([&] { workerLoop->stop(); });
    worker.join();
    EXPECT_EQ(ranOnWorker.load(), 50);
}

TEST(RunLoopThreads, ALoopDestroyedWithPendingWorkDropsIt)
{
    auto sentinel = std::make_shared<int>(0);
    std::atomic<int> ran { 0 };
    std::thread([&] {
        RunLoop& own = RunLoop::current();
        for (int i = 0; i < 10; ++i)
            own.post([&ran, sentinel] { ++ran; });
        own.addTimer(0, 0, [&ran, sentinel] { ++ran; });
        // The thread ends without running its loop.
    }).join();
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(sentinel.use_count(), 1) << "dropped tasks must release what they hold";
}

TEST(RunLoopThreads, AKeptLoopTakesPostsAfterItsThreadEndsAndLeavesThemUnrun)
{
    // Held where the program keeps it for good, as the network engine does.
    static RunLoop* kept = nullptr;
    static std::atomic<int> ran { 0 };
    std::thread([&] {
        RunLoop::keepCurrentAfterThreadEnds();
        kept = &RunLoop::current();
        kept->post([] {
            ++ran;
            kept->stop();
        });
        kept->run();
    }).join();
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(ran.load(), 1);
    // The thread is gone; a late post (an exit handler cancelling a request)
    // reaches a live loop and stays there.
    auto sentinel = std::make_shared<int>(0);
    kept->post([sentinel] { ++ran; });
    kept->stop();
    EXPECT_EQ(ran.load(), 1);
    EXPECT_EQ(sentinel.use_count(), 2);
}

TEST(RunLoopThreads, DispatchAsyncRunsEveryTaskOnWorkers)
{
    std::atomic<int> count { 0 };
    std::atomic<int> onMain { 0 };
    for (int i = 0; i < 200; ++i)
        dispatchAsync([&] {
            ++count;
            if (RunLoop::isMainThread())
                ++onMain;
        });
    dispatchDrain();
    EXPECT_EQ(count.load(), 200);
    EXPECT_EQ(onMain.load(), 0);

    // A task that throws does not take a worker down.
    dispatchAsync([] { throw std::runtime_error("worker boom"); });
    dispatchAsync([&] { ++count; });
    dispatchDrain();
    EXPECT_EQ(count.load(), 201);
}

// A loop does not wake itself through its descriptor for its own posts; they
// must still run at once, from tasks, timers and descriptor sources alike,
// and never in a mode they were not posted for.
TEST(RunLoopOwnPosts, TasksPostedFromTheLoopsOwnThreadRunWithoutDelay)
{
    std::promise<RunLoop*> ready;
    std::thread worker([&] {
        ready.set_value(&RunLoop::current());
        RunLoop::current().run();
    });
    RunLoop* loop = ready.get_future().get();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::vector<std::string> order; // written on the worker only, read after its end
    std::promise<void> done;
    RunLoop::SourceId source = 0;
    loop->post([&] {
        order.push_back("task");
        loop->post([&] {
            order.push_back("posted by a task");
            loop->addTimer(0.001, 0, [&] {
                order.push_back("timer");
                loop->post([&] {
                    order.push_back("posted by a timer");
                    source = loop->addSource(fds[0], RunLoop::kReadable, [&](std::uint32_t) {
                        char byte;
                        [[maybe_unused]] auto n = ::read(fds[0], &byte, 1);
                        loop->removeSource(source);
                        loop->post([&] { order.push_back("wrong mode"); }, kCustomMode);
                        loop->post([&] {
                            order.push_back("posted by a source");
                            done.set_value();
                        });
                    });
                    [[maybe_unused]] auto n = ::write(fds[1], "x", 1);
                });
            });
        });
    });
    // Each step would otherwise wait for the loop's longest sleep.
    const double started = realSeconds();
    ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_LT(realSeconds() - started, 1.0);
    loop->post([loop] { loop->stop(); });
    worker.join();
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(order,
        (std::vector<std::string> { "task", "posted by a task", "timer", "posted by a timer", "posted by a source" }));
}

} // namespace

TEST(RunLoopPollingHold, AHeldLoopStillWaitsItsWholeTimeAndRunsWhatArrivesMeanwhile)
{
    std::atomic<bool> ranPosted { false };
    std::atomic<RunLoop*> loopOnThread { nullptr };
    double quietWait = 0;
    RunLoop::RunResult quiet = RunLoop::RunResult::Finished, busy = RunLoop::RunResult::Finished;
    std::thread owner([&] {
        RunLoop& loop = RunLoop::current();
        auto hold = std::make_unique<RunLoop::PollingHold>(loop);
        // Nothing to do: the hold's short look for work ends in the usual
        // sleep, and the turn lasts its whole timeout.
        double start = realSeconds();
        quiet = loop.runMode(kDefaultRunLoopMode, 0.05, true);
        quietWait = realSeconds() - start;
        // Work posted from another thread while the loop waits is run, and
        // the hold can end on any thread.
        loopOnThread = &loop;
        std::thread other([&, held = std::move(hold)]() mutable {
            loopOnThread.load()->post([&] { ranPosted = true; });
            held.reset();
        });
        busy = loop.runMode(kDefaultRunLoopMode, 5, true);
        other.join();
    });
    owner.join();
    EXPECT_EQ(quiet, RunLoop::RunResult::TimedOut);
    EXPECT_GE(quietWait, 0.045) << "the loop gave up its wait early";
    EXPECT_EQ(busy, RunLoop::RunResult::HandledSource);
    EXPECT_TRUE(ranPosted.load());
}
