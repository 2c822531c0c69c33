#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class OperationQueue;

// A unit of work run by an OperationQueue. A plain operation runs main() on a
// worker thread and is finished when main() returns. A concurrent operation
// (isConcurrent() true) has start() called on a worker thread, returns at
// once, and calls markFinished() itself later, from any thread.
class Operation : public std::enable_shared_from_this<Operation> {
public:
    enum QueuePriority : int { VeryLow = -8, Low = -4, Normal = 0, High = 4, VeryHigh = 8 };

    virtual ~Operation();

    virtual void start();
    virtual void main() { }
    virtual bool isConcurrent() const { return false; }
    // Marks the operation cancelled. One that has not started is still
    // started later (as soon as a slot is free, whatever its dependencies) and
    // finishes at once. Operations that depend on it still wait for it to finish.
    virtual void cancel();

    bool isCancelled() const;
    bool isExecuting() const;
    bool isFinished() const;
    // Ready when every dependency has finished.
    bool isReady() const;

    void addDependency(const std::shared_ptr<Operation>& op);
    void removeDependency(const std::shared_ptr<Operation>& op);
    std::vector<std::shared_ptr<Operation>> dependencies() const;

    int queuePriority() const;
    void setQueuePriority(int priority);

    // Runs on the thread that finishes the operation, after it is marked finished.
    void setCompletionBlock(std::function<void()> block);

protected:
    // Both are safe from any thread; a second markFinished() is ignored.
    void markExecuting();
    void markFinished();

private:
    friend class OperationQueue;
    struct State;
    std::shared_ptr<State> state_ = makeState();
    static std::shared_ptr<State> makeState();
};

// Runs operations by priority, then insertion order, at most
// maxConcurrentOperationCount at a time (changeable while running), honouring
// dependencies and suspension. The queue keeps each operation alive until it
// has finished. In place of observing "isFinished", an owner can install a
// finished handler, called on the finishing thread. Operations run on the
// queue's own worker threads, started as they are needed. Destroying the queue
// drops operations that have not started and waits for running main()s to return.
class OperationQueue {
public:
    static constexpr int kDefaultMaxConcurrentOperationCount = -1; // one per worker thread

    OperationQueue();
    virtual ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    // Subclasses may refuse an object by not calling the base. An operation
    // already in a queue, executing or finished is refused (and logged).
    virtual void addOperation(const std::shared_ptr<Operation>& op);

    void setMaxConcurrentOperationCount(int count);
    int maxConcurrentOperationCount() const;
    // Off by default. On: a concurrent operation added while a slot is free
    // and nothing waits ahead of it has start() called at once, on the adding
    // thread, instead of on a worker woken for it. For queues whose concurrent
    // operations only hand their work to another thread in start(), so that
    // each one saves a thread switch; anything else keeps the worker.
    void setStartsConcurrentOperationsOnAddingThread(bool startsThere);
    void setSuspended(bool suspended);
    bool isSuspended() const;
    void cancelAllOperations();
    std::vector<std::shared_ptr<Operation>> operations() const;
    std::size_t operationCount() const;
    // Blocks the caller until nothing is queued or running and every finished
    // handler has returned. Called from one of this queue's own operations it
    // returns at once, since it would wait for itself.
    void waitUntilAllOperationsAreFinished();
    // The same, giving up after timeoutSeconds; true when everything finished.
    bool waitUntilAllOperationsAreFinished(double timeoutSeconds);

    void setOperationFinishedHandler(std::function<void(const std::shared_ptr<Operation>&)> handler);

    // Waits, at most timeoutSeconds in all, until no queue alive runs an
    // operation or holds one that could start (a suspended queue's waiting
    // operations do not count). True when they all came to rest in time.
    static bool waitUntilAllQueuesAreAtRest(double timeoutSeconds);

private:
    friend class Operation;
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

// Waits, at most timeoutSeconds in all, until the background pool
// (dispatchAsync) has run every task and every operation queue is at rest.
// For the end of the process: what they run still uses statics that the exit
// handlers destroy (and libraries' clean-up handlers free). True when
// everything came to rest in time. The bound keeps a task that never ends
// (one waiting for the main thread, say) from holding the exit.
bool drainBackgroundWork(double timeoutSeconds = 2.0);

} // namespace platform
