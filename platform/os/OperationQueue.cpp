#include "platform/os/OperationQueue.h"

#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>
#include <utility>

namespace platform {

// Lock order: a queue's mutex may be held while taking an operation's mutex,
// never the other way round. Callbacks (start, completion blocks, finished
// handlers) run with no lock held.

struct Operation::State {
    mutable std::mutex mutex;
    bool cancelled = false;
    bool executing = false;
    bool finished = false;
    bool enqueued = false;
    int priority = Normal;
    std::vector<std::shared_ptr<Operation>> dependencies;
    std::function<void()> completion;
    std::weak_ptr<OperationQueue::Impl> queue;
    // Queues holding an operation that waits for this one.
    std::vector<std::weak_ptr<OperationQueue::Impl>> waitingQueues;
};

struct OperationQueue::Impl : std::enable_shared_from_this<OperationQueue::Impl> {
    struct Entry {
        std::shared_ptr<Operation> op;
        std::uint64_t order;
    };

    std::mutex mutex;
    std::condition_variable workAvailable;
    std::condition_variable allDone;
    std::vector<Entry> pending; // insertion order
    std::vector<Entry> running; // started and not yet finished
    std::uint64_t nextOrder = 0;
    int width = kDefaultMaxConcurrentOperationCount;
    bool suspended = false;
    bool startsOnAddingThread = false;
    bool shuttingDown = false;
    std::vector<std::thread> threads;
    int idle = 0;
    int starting = 0; // threads made but not yet looking for work
    int finishing = 0; // finished operations whose handler is still running
    int inStart = 0; // workers inside start(), still holding their operation
    std::function<void(const std::shared_ptr<Operation>&)> finishedHandler;

    static constexpr std::size_t kMostThreads = 64;
    static thread_local Impl* tWorkerOf;

    static int defaultWidth()
    {
        unsigned hw = std::thread::hardware_concurrency();
        return static_cast<int>(std::max(hw, 2u));
    }

    int effectiveWidthLocked() const { return width < 0 ? defaultWidth() : width; }

    // Whether the operation may start now. An unfinished dependency learns that
    // this queue waits for it, so its end wakes us.
    bool startableLocked(const std::shared_ptr<Operation>& op)
    {
        std::vector<std::shared_ptr<Operation>> deps;
        {
            std::lock_guard lock(op->state_->mutex);
            if (op->state_->cancelled)
                return true;
            deps = op->state_->dependencies;
        }
        bool ready = true;
        for (const auto& dep : deps) {
            std::lock_guard lock(dep->state_->mutex);
            if (dep->state_->finished)
                continue;
            ready = false;
            auto& waiting = dep->state_->waitingQueues;
            auto self = weak_from_this();
            // Compared without locking: locking could end another queue right here.
            bool known = std::any_of(waiting.begin(), waiting.end(),
                [&](const std::weak_ptr<Impl>& w) { return !w.owner_before(self) && !self.owner_before(w); });
            if (!known)
                waiting.push_back(self);
        }
        return ready;
    }

    static int priorityOf(const std::shared_ptr<Operation>& op)
    {
        std::lock_guard lock(op->state_->mutex);
        return op->state_->priority;
    }

    // The highest-priority startable operation, earliest added among equals.
    std::vector<Entry>::iterator bestStartableLocked()
    {
        auto best = pending.end();
        int bestPriority = 0;
        for (auto it = pending.begin(); it != pending.end(); ++it) {
            if (!startableLocked(it->op))
                continue;
            int p = priorityOf(it->op);
            if (best == pending.end() || p > bestPriority) {
                best = it;
                bestPriority = p;
            }
        }
        return best;
    }

    bool mayStartMoreLocked() const
    {
        return !suspended && !shuttingDown && static_cast<int>(running.size()) < effectiveWidthLocked();
    }

    std::size_t startableCountLocked(std::size_t enough)
    {
        std::size_t n = 0;
        for (const auto& e : pending) {
            if (n >= enough)
                break;
            if (startableLocked(e.op))
                ++n;
        }
        return n;
    }

    // Starts threads so that every free slot with a startable operation has one
    // at once; raising the width therefore starts more operations straight away.
    void spawnIfNeededLocked()
    {
        if (!mayStartMoreLocked())
            return;
        std::size_t slots = static_cast<std::size_t>(effectiveWidthLocked()) - running.size();
        std::size_t wanted = startableCountLocked(slots);
        std::size_t available = static_cast<std::size_t>(idle + starting);
        while (wanted > available && threads.size() < kMostThreads) {
            threads.emplace_back([self = shared_from_this()] { self->work(); });
            ++starting;
            ++available;
        }
    }

    void pump()
    {
        {
            std::lock_guard lock(mutex);
            spawnIfNeededLocked();
        }
        workAvailable.notify_all();
    }

    void work()
    {
        tWorkerOf = this;
        std::unique_lock lock(mutex);
        --starting;
        while (!shuttingDown) {
            if (mayStartMoreLocked()) {
                auto it = bestStartableLocked();
                if (it != pending.end()) {
                    Entry entry = std::move(*it);
                    pending.erase(it);
                    running.push_back(entry);
                    ++inStart;
                    spawnIfNeededLocked();
                    lock.unlock();
                    startOperation(entry.op);
                    // Let go before anyone waiting hears that all is done, so
                    // a finished operation is really released by then.
                    entry.op.reset();
                    lock.lock();
                    --inStart;
                    if (allFinishedLocked())
                        allDone.notify_all();
                    continue;
                }
            }
            ++idle;
            workAvailable.wait(lock);
            --idle;
        }
        tWorkerOf = nullptr;
    }

    static void startOperation(const std::shared_ptr<Operation>& op)
    {
        try {
            op->start();
        } catch (const std::exception& e) {
            log("OperationQueue: an operation threw from start: %s\n", e.what());
            op->markFinished(); // it cannot be trusted to free its slot itself
        } catch (...) {
            log("OperationQueue: an operation threw from start\n");
            op->markFinished();
        }
    }

    void operationFinished(const std::shared_ptr<Operation>& op)
    {
        std::shared_ptr<Operation> keep;
        std::function<void(const std::shared_ptr<Operation>&)> handler;
        bool wake = false;
        {
            std::lock_guard lock(mutex);
            auto match = [&](const Entry& e) { return e.op == op; };
            auto it = std::find_if(running.begin(), running.end(), match);
            if (it != running.end()) {
                keep = std::move(it->op);
                running.erase(it);
            } else {
                // Finished without this queue starting it (someone called start itself).
                auto p = std::find_if(pending.begin(), pending.end(), match);
                if (p == pending.end())
                    return;
                keep = std::move(p->op);
                pending.erase(p);
            }
            handler = finishedHandler;
            ++finishing;
            spawnIfNeededLocked();
            // Only waiting operations need a worker woken; waking one for
            // nothing costs every request a thread switch.
            wake = !pending.empty();
        }
        if (wake)
            workAvailable.notify_all();
        if (handler) {
            try {
                handler(keep);
            } catch (const std::exception& e) {
                log("OperationQueue: the finished handler threw: %s\n", e.what());
            } catch (...) {
                log("OperationQueue: the finished handler threw\n");
            }
        }
        {
            std::lock_guard lock(mutex);
            --finishing;
        }
        allDone.notify_all();
    }

    bool allFinishedLocked() const { return pending.empty() && running.empty() && finishing == 0 && inStart == 0; }
    // Nothing runs, and nothing waits that could start: a suspended queue's
    // waiting operations stay where they are.
    bool atRestLocked() const
    {
        return running.empty() && finishing == 0 && inStart == 0 && (suspended || pending.empty());
    }

    // Every queue alive, for the wait at the end of the process. Never
    // destroyed: queues owned by statics go during the exit handlers.
    static std::mutex& registryMutex()
    {
        static auto* mutex = new std::mutex;
        return *mutex;
    }
    static std::vector<std::weak_ptr<Impl>>& registry()
    {
        static auto* queues = new std::vector<std::weak_ptr<Impl>>;
        return *queues;
    }
    void enlist()
    {
        std::lock_guard lock(registryMutex());
        auto& queues = registry();
        std::erase_if(queues, [](const std::weak_ptr<Impl>& queue) { return queue.expired(); });
        queues.push_back(weak_from_this());
    }
};

thread_local OperationQueue::Impl* OperationQueue::Impl::tWorkerOf = nullptr;

std::shared_ptr<Operation::State> Operation::makeState() { return std::make_shared<State>(); }

Operation::~Operation() = default;

void Operation::start()
{
    bool cancelled;
    {
        // Claimed under the lock, so two callers can never both run main().
        std::lock_guard lock(state_->mutex);
        if (state_->executing || state_->finished)
            return;
        cancelled = state_->cancelled;
        if (!cancelled)
            state_->executing = true;
    }
    if (cancelled) {
        markFinished();
        return;
    }
    try {
        main();
    } catch (const std::exception& e) {
        log("Operation: main threw: %s\n", e.what());
    } catch (...) {
        log("Operation: main threw\n");
    }
    markFinished();
}

void Operation::cancel()
{
    std::shared_ptr<OperationQueue::Impl> queue;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->finished || state_->cancelled)
            return;
        state_->cancelled = true;
        queue = state_->queue.lock();
    }
    // Cancelled, it may start at once whatever its dependencies.
    if (queue)
        queue->pump();
}

bool Operation::isCancelled() const
{
    std::lock_guard lock(state_->mutex);
    return state_->cancelled;
}

bool Operation::isExecuting() const
{
    std::lock_guard lock(state_->mutex);
    return state_->executing;
}

bool Operation::isFinished() const
{
    std::lock_guard lock(state_->mutex);
    return state_->finished;
}

bool Operation::isReady() const
{
    for (const auto& dep : dependencies()) {
        if (!dep->isFinished())
            return false;
    }
    return true;
}

void Operation::addDependency(const std::shared_ptr<Operation>& op)
{
    if (!op || op.get() == this)
        return;
    std::lock_guard lock(state_->mutex);
    auto& deps = state_->dependencies;
    if (std::find(deps.begin(), deps.end(), op) == deps.end())
        deps.push_back(op);
}

void Operation::removeDependency(const std::shared_ptr<Operation>& op)
{
    std::shared_ptr<OperationQueue::Impl> queue;
    {
        std::lock_guard lock(state_->mutex);
        auto& deps = state_->dependencies;
        deps.erase(std::remove(deps.begin(), deps.end(), op), deps.end());
        queue = state_->queue.lock();
    }
    if (queue)
        queue->pump();
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const
{
    std::lock_guard lock(state_->mutex);
    return state_->dependencies;
}

int Operation::queuePriority() const
{
    std::lock_guard lock(state_->mutex);
    return state_->priority;
}

void Operation::setQueuePriority(int priority)
{
    std::lock_guard lock(state_->mutex);
    state_->priority = priority;
}

void Operation::setCompletionBlock(std::function<void()> block)
{
    std::lock_guard lock(state_->mutex);
    state_->completion = std::move(block);
}

void Operation::markExecuting()
{
    std::lock_guard lock(state_->mutex);
    if (!state_->finished)
        state_->executing = true;
}

void Operation::markFinished()
{
    // Whoever finishes us may hold the last reference through the queue.
    auto self = weak_from_this().lock();
    std::function<void()> completion;
    std::shared_ptr<OperationQueue::Impl> queue;
    std::vector<std::weak_ptr<OperationQueue::Impl>> waiting;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->finished)
            return;
        state_->finished = true;
        state_->executing = false;
        completion = std::move(state_->completion);
        state_->completion = nullptr;
        queue = state_->queue.lock();
        waiting = std::move(state_->waitingQueues);
        state_->waitingQueues.clear();
    }
    if (completion) {
        try {
            completion();
        } catch (const std::exception& e) {
            log("Operation: the completion block threw: %s\n", e.what());
        } catch (...) {
            log("Operation: the completion block threw\n");
        }
    }
    if (queue && self)
        queue->operationFinished(self);
    for (const auto& w : waiting) {
        if (auto q = w.lock())
            q->pump();
    }
}

OperationQueue::OperationQueue()
    : impl_(std::make_shared<Impl>())
{
    impl_->enlist();
}

OperationQueue::~OperationQueue()
{
    std::vector<std::thread> threads;
    std::vector<Impl::Entry> dropped;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->shuttingDown = true;
        threads = std::move(impl_->threads);
        dropped = std::move(impl_->pending);
        impl_->pending.clear();
    }
    impl_->workAvailable.notify_all();
    for (auto& t : threads) {
        // The last reference may go from inside one of our own operations.
        if (t.get_id() == std::this_thread::get_id())
            t.detach();
        else
            t.join();
    }
    dropped.clear();
}

void OperationQueue::addOperation(const std::shared_ptr<Operation>& op)
{
    if (!op)
        return;
    {
        std::lock_guard lock(op->state_->mutex);
        if (op->state_->enqueued || op->state_->executing || op->state_->finished) {
            log("OperationQueue: refusing an operation that is already queued, running or finished\n");
            return;
        }
        op->state_->enqueued = true;
        op->state_->queue = impl_;
    }
    bool startHere = false;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->pending.push_back({ op, impl_->nextOrder++ });
        if (impl_->startsOnAddingThread && op->isConcurrent() && impl_->mayStartMoreLocked()) {
            // Only the operation a worker would take next: priorities,
            // dependencies and the width hold as ever.
            auto best = impl_->bestStartableLocked();
            if (best != impl_->pending.end() && best->op == op) {
                impl_->running.push_back(std::move(*best));
                impl_->pending.erase(best);
                ++impl_->inStart;
                startHere = true;
            }
        }
        if (!startHere)
            impl_->spawnIfNeededLocked();
    }
    if (startHere) {
        Impl::startOperation(op);
        std::lock_guard lock(impl_->mutex);
        --impl_->inStart;
        if (impl_->allFinishedLocked())
            impl_->allDone.notify_all();
        return;
    }
    // One new operation needs one worker; a worker that takes it wakes no
    // other, and the rest would only find nothing to do.
    impl_->workAvailable.notify_one();
}

void OperationQueue::setStartsConcurrentOperationsOnAddingThread(bool startsThere)
{
    std::lock_guard lock(impl_->mutex);
    impl_->startsOnAddingThread = startsThere;
}

void OperationQueue::setMaxConcurrentOperationCount(int count)
{
    {
        std::lock_guard lock(impl_->mutex);
        impl_->width = count < 0 ? kDefaultMaxConcurrentOperationCount : count;
        impl_->spawnIfNeededLocked();
    }
    impl_->workAvailable.notify_all();
}

int OperationQueue::maxConcurrentOperationCount() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->width;
}

void OperationQueue::setSuspended(bool suspended)
{
    {
        std::lock_guard lock(impl_->mutex);
        impl_->suspended = suspended;
        impl_->spawnIfNeededLocked();
    }
    impl_->workAvailable.notify_all();
}

bool OperationQueue::isSuspended() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->suspended;
}

void OperationQueue::cancelAllOperations()
{
    // cancel() is virtual and may call back into the queue: no lock held.
    for (const auto& op : operations())
        op->cancel();
    impl_->pump();
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const
{
    std::vector<Impl::Entry> all;
    {
        std::lock_guard lock(impl_->mutex);
        all = impl_->running;
        all.insert(all.end(), impl_->pending.begin(), impl_->pending.end());
    }
    std::sort(all.begin(), all.end(), [](const Impl::Entry& a, const Impl::Entry& b) { return a.order < b.order; });
    std::vector<std::shared_ptr<Operation>> ops;
    ops.reserve(all.size());
    for (auto& e : all)
        ops.push_back(std::move(e.op));
    return ops;
}

std::size_t OperationQueue::operationCount() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->running.size() + impl_->pending.size();
}

void OperationQueue::waitUntilAllOperationsAreFinished()
{
    if (Impl::tWorkerOf == impl_.get()) {
        log("OperationQueue: an operation cannot wait for its own queue\n");
        return;
    }
    std::unique_lock lock(impl_->mutex);
    impl_->allDone.wait(lock, [&] { return impl_->allFinishedLocked(); });
}

bool OperationQueue::waitUntilAllOperationsAreFinished(double timeoutSeconds)
{
    if (Impl::tWorkerOf == impl_.get()) {
        log("OperationQueue: an operation cannot wait for its own queue\n");
        return false;
    }
    std::unique_lock lock(impl_->mutex);
    return impl_->allDone.wait_for(
        lock, std::chrono::duration<double>(std::max(0.0, timeoutSeconds)), [&] { return impl_->allFinishedLocked(); });
}

bool OperationQueue::waitUntilAllQueuesAreAtRest(double timeoutSeconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::max(0.0, timeoutSeconds));
    std::vector<std::shared_ptr<Impl>> queues;
    {
        std::lock_guard lock(Impl::registryMutex());
        for (const auto& queue : Impl::registry())
            if (auto alive = queue.lock())
                queues.push_back(std::move(alive));
    }
    bool rested = true;
    for (const auto& queue : queues) {
        // An operation cannot wait for its own queue.
        if (Impl::tWorkerOf == queue.get()) {
            rested = false;
            continue;
        }
        std::unique_lock lock(queue->mutex);
        if (!queue->allDone.wait_until(lock, deadline, [&] { return queue->atRestLocked(); }))
            rested = false;
    }
    return rested;
}

bool drainBackgroundWork(double timeoutSeconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::max(0.0, timeoutSeconds));
    auto left = [&] { return std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count(); };
    // A task may queue an operation and an operation may hand a task to the
    // pool: round again until the pool is found idle after the queues.
    for (;;) {
        if (!dispatchDrain(left()) || !OperationQueue::waitUntilAllQueuesAreAtRest(left()))
            return false;
        if (dispatchDrain(0))
            return true;
    }
}

void OperationQueue::setOperationFinishedHandler(std::function<void(const std::shared_ptr<Operation>&)> handler)
{
    std::lock_guard lock(impl_->mutex);
    impl_->finishedHandler = std::move(handler);
}

} // namespace platform
