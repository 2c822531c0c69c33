#include "platform/os/OperationQueue.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

constexpr double kBound = 5; // seconds; every wait in this file gives up after this

bool waitFor(const std::function<bool()>& predicate, double seconds = kBound)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return predicate();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Holds operations inside main() until the test lets them go.
class Gate {
public:
    void open()
    {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        cv_.notify_all();
    }
    bool pass()
    {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::duration<double>(kBound), [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

// Counts operations inside main() at the same time.
struct Concurrency {
    std::atomic<int> now { 0 };
    std::atomic<int> most { 0 };
    void enter()
    {
        int n = ++now;
        int seen = most.load();
        while (n > seen && !most.compare_exchange_weak(seen, n)) { }
    }
    void leave() { --now; }
};

class Journal {
public:
    void add(std::string entry)
    {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> entries() const
    {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    std::size_t size() const
    {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

class BlockOperation final : public Operation {
public:
    explicit BlockOperation(std::function<void()> body)
        : body_(std::move(body))
    {
    }
    void main() override { body_(); }

private:
    std::function<void()> body_;
};

std::shared_ptr<BlockOperation> makeOp(std::function<void()> body)
{
    return std::make_shared<BlockOperation>(std::move(body));
}

// Starts its work elsewhere and is finished by whoever calls finish().
class AsyncOperation final : public Operation {
public:
    explicit AsyncOperation(Journal& journal, std::string name)
        : journal_(journal)
        , name_(std::move(name))
    {
    }
    bool isConcurrent() const override { return true; }
    void start() override
    {
        ++starts;
        if (isCancelled()) {
            journal_.add(name_ + ":cancelled");
            markFinished();
            return;
        }
        markExecuting();
        journal_.add(name_ + ":started");
    }
    void finish() { markFinished(); }
    std::atomic<int> starts { 0 };

private:
    Journal& journal_;
    std::string name_;
};

TEST(OperationQueue, NothingRunsWhileSuspended)
{
    OperationQueue queue;
    queue.setSuspended(true);
    EXPECT_TRUE(queue.isSuspended());
    std::atomic<int> ran { 0 };
    for (int i = 0; i < 5; ++i)
        queue.addOperation(makeOp([&] { ++ran; }));
    EXPECT_FALSE(waitFor([&] { return ran.load() > 0; }, 0.05));
    EXPECT_EQ(queue.operationCount(), 5u);
    queue.setSuspended(false);
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    EXPECT_EQ(ran.load(), 5);
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueue, WidthRaisedWhileRunningStartsMoreAtOnce)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(4);
    Gate gate;
    Concurrency concurrency;
    for (int i = 0; i < 10; ++i)
        queue.addOperation(makeOp([&] {
            concurrency.enter();
            gate.pass();
            concurrency.leave();
        }));
    ASSERT_TRUE(waitFor([&] { return concurrency.now.load() == 4; }));
    EXPECT_FALSE(waitFor([&] { return concurrency.now.load() > 4; }, 0.05)) << "width 4 exceeded";

    queue.setMaxConcurrentOperationCount(5);
    EXPECT_EQ(queue.maxConcurrentOperationCount(), 5);
    ASSERT_TRUE(waitFor([&] { return concurrency.now.load() == 5; }));
    EXPECT_FALSE(waitFor([&] { return concurrency.now.load() > 5; }, 0.05)) << "width 5 exceeded";

    gate.open();
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    EXPECT_EQ(concurrency.most.load(), 5);
}

TEST(OperationQueue, RunsByPriorityThenInsertionOrder)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    queue.setSuspended(true);
    Journal journal;
    auto add = [&](const char* name, int priority) {
        auto op = makeOp([&journal, name] { journal.add(name); });
        op->setQueuePriority(priority);
        queue.addOperation(op);
    };
    add("normal-1", Operation::Normal);
    add("high-1", Operation::High);
    add("low", Operation::Low);
    add("high-2", Operation::High);
    add("head", 10);
    add("normal-2", Operation::Normal);
    add("very-low", Operation::VeryLow);
    queue.setSuspended(false);
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    EXPECT_EQ(journal.entries(),
        (std::vector<std::string> { "head", "high-1", "high-2", "normal-1", "normal-2", "low", "very-low" }));
}

TEST(OperationQueue, DependenciesRunFirstEvenAcrossQueues)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(3);
    OperationQueue other;
    other.setSuspended(true);
    Journal journal;

    auto request = makeOp([&] { journal.add("request"); });
    auto head = makeOp([&] { journal.add("head"); });
    auto elsewhere = makeOp([&] { journal.add("elsewhere"); });
    request->addDependency(head);
    request->addDependency(elsewhere);
    request->addDependency(head); // once is enough
    EXPECT_EQ(request->dependencies().size(), 2u);
    EXPECT_FALSE(request->isReady());

    queue.addOperation(request); // added before what it waits for
    queue.addOperation(head);
    other.addOperation(elsewhere);
    ASSERT_TRUE(waitFor([&] { return head->isFinished(); }));
    EXPECT_FALSE(waitFor([&] { return request->isFinished(); }, 0.05));
    other.setSuspended(false);
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    auto order = journal.entries();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order.back(), "request");
    EXPECT_TRUE(request->isReady());
}

TEST(OperationQueue, ACancelledDependencyIsStillWaitedFor)
{
    OperationQueue holding;
    holding.setSuspended(true);
    OperationQueue queue;
    std::atomic<bool> dependencyRan { false };
    std::atomic<bool> dependentRan { false };
    auto dependency = makeOp([&] { dependencyRan = true; });
    auto dependent = makeOp([&] { dependentRan = true; });
    dependent->addDependency(dependency);
    holding.addOperation(dependency);
    queue.addOperation(dependent);

    dependency->cancel();
    EXPECT_TRUE(dependency->isCancelled());
    EXPECT_FALSE(waitFor([&] { return dependentRan.load(); }, 0.05)) << "ran before its dependency finished";
    holding.setSuspended(false);
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    ASSERT_TRUE(holding.waitUntilAllOperationsAreFinished(kBound));
    EXPECT_TRUE(dependency->isFinished());
    EXPECT_FALSE(dependencyRan.load()) << "a cancelled operation finishes without running main";
    EXPECT_TRUE(dependentRan.load());
}

TEST(OperationQueue, CancelAllStartsAndFinishesUnstartedOperationsAtOnce)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    Gate gate;
    Journal journal;
    std::atomic<int> handled { 0 };
    queue.setOperationFinishedHandler([&](const std::shared_ptr<Operation>&) { ++handled; });

    auto running = makeOp([&] {
        journal.add("running:main");
        gate.pass();
    });
    auto plain = makeOp([&] { journal.add("plain:main"); });
    auto async = std::make_shared<AsyncOperation>(journal, "async");
    std::atomic<int> completions { 0 };
    for (auto op : std::vector<std::shared_ptr<Operation>> { running, plain, async }) {
        op->setCompletionBlock([&] { ++completions; });
        queue.addOperation(op);
    }
    ASSERT_TRUE(waitFor([&] { return running->isExecuting(); }));
    queue.cancelAllOperations();
    EXPECT_TRUE(running->isCancelled());
    EXPECT_TRUE(plain->isCancelled());
    EXPECT_TRUE(async->isCancelled());
    gate.open();
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    EXPECT_EQ(journal.entries(), (std::vector<std::string> { "running:main", "async:cancelled" }));
    EXPECT_EQ(async->starts.load(), 1);
    EXPECT_TRUE(plain->isFinished());
    EXPECT_TRUE(async->isFinished());
    EXPECT_EQ(completions.load(), 3);
    EXPECT_EQ(handled.load(), 3);
}

TEST(OperationQueue, ConcurrentOperationsHoldTheirSlotUntilFinishedElsewhere)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(2);
    Journal journal;
    std::vector<std::shared_ptr<AsyncOperation>> ops;
    std::mutex finishMutex;
    std::vector<std::thread::id> finishedOn;
    queue.setOperationFinishedHandler([&](const std::shared_ptr<Operation>&) {
        std::lock_guard lock(finishMutex);
        finishedOn.push_back(std::this_thread::get_id());
    });
    for (int i = 0; i < 4; ++i) {
        ops.push_back(std::make_shared<AsyncOperation>(journal, "op" + std::to_string(i)));
        queue.addOperation(ops.back());
    }
    ASSERT_TRUE(waitFor([&] { return journal.size() == 2; }));
    EXPECT_FALSE(waitFor([&] { return journal.size() > 2; }, 0.05)) << "start() returning must not free the slot";
    EXPECT_TRUE(ops[0]->isExecuting());

    std::thread::id finisherId;
    std::thread finisher([&] {
        finisherId = std::this_thread::get_id();
        for (auto& op : ops) {
            if (!waitFor([&] { return op->isExecuting(); }))
                return;
            op->finish();
            op->finish(); // a second finish changes nothing
        }
    });
    finisher.join();
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    for (auto& op : ops) {
        EXPECT_TRUE(op->isFinished());
        EXPECT_FALSE(op->isExecuting());
        EXPECT_EQ(op->starts.load(), 1);
    }
    std::lock_guard lock(finishMutex);
    ASSERT_EQ(finishedOn.size(), 4u);
    for (auto id : finishedOn)
        EXPECT_EQ(id, finisherId) << "the handler runs on the finishing thread";
}

TEST(OperationQueue, KeepsOperationsAliveAndListsThemInOrder)
{
    OperationQueue queue;
    queue.setSuspended(true);
    std::weak_ptr<Operation> weak;
    std::atomic<bool> completed { false };
    {
        auto op = makeOp([] {});
        op->setCompletionBlock([&] { completed = true; });
        weak = op;
        queue.addOperation(op);
    }
    auto second = makeOp([] {});
    queue.addOperation(second);
    auto listed = queue.operations();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0], weak.lock());
    EXPECT_EQ(listed[1], second);
    listed.clear();
    EXPECT_FALSE(weak.expired());
    queue.setSuspended(false);
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    EXPECT_TRUE(completed.load());
    EXPECT_TRUE(weak.expired()) << "released once finished";
}

TEST(OperationQueue, RefusesWhatItCannotRun)
{
    LogCapture capture;
    OperationQueue queue;
    std::atomic<int> ran { 0 };
    auto op = makeOp([&] { ++ran; });
    queue.setSuspended(true);
    queue.addOperation(op);
    queue.addOperation(op);
    queue.addOperation(nullptr);
    EXPECT_EQ(queue.operationCount(), 1u);
    queue.setSuspended(false);
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    queue.addOperation(op); // finished already
    EXPECT_EQ(queue.operationCount(), 0u);
    EXPECT_EQ(ran.load(), 1);
    EXPECT_TRUE(capture.contains("refusing"));

    // A subclass may refuse by not calling the base.
    struct Picky final : OperationQueue {
        void addOperation(const std::shared_ptr<Operation>& o) override
        {
            if (o->queuePriority() >= 0)
                OperationQueue::addOperation(o);
        }
    } picky;
    auto low = makeOp([] {});
    low->setQueuePriority(Operation::Low);
    picky.addOperation(low);
    EXPECT_EQ(picky.operationCount(), 0u);
}

TEST(OperationQueue, AnOperationWaitingForItsOwnQueueDoesNotDeadlock)
{
    OperationQueue queue;
    std::atomic<bool> returned { false };
    queue.addOperation(makeOp([&] {
        queue.waitUntilAllOperationsAreFinished();
        returned = true;
    }));
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    EXPECT_TRUE(returned.load());
}

TEST(OperationQueue, ThrowingOperationStillFinishes)
{
    OperationQueue queue;
    auto op = makeOp([] { throw std::runtime_error("op boom"); });
    queue.addOperation(op);
    ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    EXPECT_TRUE(op->isFinished());
}

TEST(OperationQueue, DestroyingTheQueueDropsUnstartedOperations)
{
    std::weak_ptr<Operation> weak;
    std::atomic<bool> ran { false };
    Gate gate;
    std::atomic<bool> runningEntered { false };
    {
        OperationQueue queue;
        queue.setMaxConcurrentOperationCount(1);
        queue.addOperation(makeOp([&] {
            runningEntered = true;
            gate.pass();
        }));
        auto op = makeOp([&] { ran = true; });
        weak = op;
        queue.addOperation(op);
        ASSERT_TRUE(waitFor([&] { return runningEntered.load(); }));
        queue.setSuspended(true); // so the second cannot start once the first returns
        gate.open(); // the destructor waits for the running main() to return
    }
    EXPECT_FALSE(ran.load());
    EXPECT_TRUE(weak.expired());
}

TEST(OperationQueue, ReleasingTheQueueFromItsOwnOperationIsSafe)
{
    auto queue = std::make_shared<OperationQueue>();
    std::atomic<bool> done { false };
    auto holder = std::make_shared<std::shared_ptr<OperationQueue>>(queue);
    auto op = makeOp([] {});
    op->setCompletionBlock([holder, &done] {
        holder->reset(); // the last reference goes on a worker thread
        done = true;
    });
    queue->addOperation(op);
    queue.reset();
    EXPECT_TRUE(waitFor([&] { return done.load(); }));
}

// Hands its work elsewhere, as the HTTP engine's requests do; notes the
// thread it was started on.
class HandingOnOperation final : public Operation {
public:
    bool isConcurrent() const override { return true; }
    void start() override
    {
        startedOn = std::this_thread::get_id();
        markExecuting();
        started = true;
    }
    void finish() { markFinished(); }
    std::atomic<bool> started { false };
    std::thread::id startedOn;
};

TEST(OperationQueue, ConcurrentOperationsMayStartOnTheAddingThread)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    queue.setStartsConcurrentOperationsOnAddingThread(true);
    auto first = std::make_shared<HandingOnOperation>();
    queue.addOperation(first);
    // Started before addOperation returned, here.
    ASSERT_TRUE(first->started.load());
    EXPECT_EQ(first->startedOn, std::this_thread::get_id());
    EXPECT_TRUE(first->isExecuting());

    // No free slot: the second waits, and a worker starts it once there is one.
    auto second = std::make_shared<HandingOnOperation>();
    queue.addOperation(second);
    EXPECT_FALSE(second->started.load());
    EXPECT_EQ(queue.operationCount(), 2u);
    first->finish();
    ASSERT_TRUE(waitFor([&] { return second->started.load(); }));
    EXPECT_NE(second->startedOn, std::this_thread::get_id());

    // One held back by its dependency is not started early either.
    second->finish();
    ASSERT_TRUE(waitFor([&] { return queue.operationCount() == 0; }));
    auto gate = std::make_shared<HandingOnOperation>();
    auto dependent = std::make_shared<HandingOnOperation>();
    dependent->addDependency(gate);
    queue.setMaxConcurrentOperationCount(2);
    queue.addOperation(dependent);
    EXPECT_FALSE(dependent->started.load());
    queue.addOperation(gate);
    EXPECT_TRUE(gate->started.load());
    EXPECT_FALSE(dependent->started.load());
    gate->finish();
    ASSERT_TRUE(waitFor([&] { return dependent->started.load(); }));
    dependent->finish();
    EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
}

TEST(OperationQueue, WorkersStartEverythingUnlessAsked)
{
    OperationQueue queue;
    auto handing = std::make_shared<HandingOnOperation>();
    queue.addOperation(handing);
    ASSERT_TRUE(waitFor([&] { return handing->started.load(); }));
    EXPECT_NE(handing->startedOn, std::this_thread::get_id());
    handing->finish();

    // Plain operations keep their worker even when the queue is asked.
    queue.setStartsConcurrentOperationsOnAddingThread(true);
    std::atomic<bool> ranElsewhere { false };
    const auto here = std::this_thread::get_id();
    queue.addOperation(makeOp([&] { ranElsewhere = std::this_thread::get_id() != here; }));
    EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(kBound));
    EXPECT_TRUE(ranElsewhere.load());
}

// What the exit handlers destroy: a static whose end the work below can see.
std::atomic<bool> staticsAlive { false };
struct StaticSentinel {
    StaticSentinel() { staticsAlive = true; }
    ~StaticSentinel() { staticsAlive = false; }
};
StaticSentinel sentinel;

// Work that takes a while, then says whether the statics were still there.
void slowWorkAtExit()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::fprintf(stderr, staticsAlive ? "work finished with the statics alive\n" : "work finished after the statics\n");
}

// Work running when the process ends comes to its end before the exit
// handlers destroy the statics it uses: on the background pool, on an
// operation queue, and handed from one to the other. A suspended queue's
// waiting operation does not hold the end, and work that never ends holds
// it only as long as the bound. Each case in a process of its own, which
// ends through exit() as the client's main returns.
TEST(BackgroundWorkAtExit, RunningWorkEndsBeforeTheStaticsGo)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* name;
        std::function<void()> start;
        double bound;
        const char* expected; // a regular expression over what the process wrote
    };
    // Queues that live as long as the process, as the shared ones do.
    auto queue = [] {
        static auto* kept = new std::vector<std::unique_ptr<OperationQueue>>();
        return kept->emplace_back(std::make_unique<OperationQueue>()).get();
    };
    const Case cases[] = {
        { "a task on the pool", [] { dispatchAsync(slowWorkAtExit); }, 5,
            "work finished with the statics alive\n.*rested" },
        { "an operation on a queue", [&] { queue()->addOperation(makeOp(slowWorkAtExit)); }, 5,
            "work finished with the statics alive\n.*rested" },
        { "an operation that hands its work to the pool",
            [&] { queue()->addOperation(makeOp([] { dispatchAsync(slowWorkAtExit); })); }, 5,
            "work finished with the statics alive\n.*rested" },
        { "a task that queues an operation",
            [&] {
                auto* later = queue();
                dispatchAsync([later] { later->addOperation(makeOp(slowWorkAtExit)); });
            },
            5, "work finished with the statics alive\n.*rested" },
        { "a suspended queue's waiting operation",
            [&] {
                auto* suspended = queue();
                suspended->setSuspended(true);
                suspended->addOperation(makeOp(slowWorkAtExit));
            },
            5, "^rested\n$" },
        { "a task that never ends",
            [] {
                dispatchAsync([] {
                    for (;;)
                        std::this_thread::sleep_for(std::chrono::seconds(1));
                });
            },
            0.2, "^gave up\n$" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                c.start();
                bool rested = drainBackgroundWork(c.bound);
                std::fprintf(stderr, rested ? "rested\n" : "gave up\n");
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), c.expected);
    }
}

} // namespace
