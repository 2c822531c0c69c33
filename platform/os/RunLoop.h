#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using Task = std::function<void()>;

// Mode names. Work added "in common modes" runs in every mode, nested runs included.
inline constexpr const char* kDefaultRunLoopMode = "kCFRunLoopDefaultMode";
inline constexpr const char* kCommonRunLoopModes = "kCFRunLoopCommonModes";

// Where a run loop reads the time from. Monotonic seconds from an arbitrary origin.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    virtual bool isManual() const { return false; }
    // The process-wide steady clock.
    static std::shared_ptr<Clock> steady();
};

// A clock that only moves when told. Installed on the main loop by tests, so
// that long delays pass in microseconds. Use RunLoop::advance to move it and
// fire what became due.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 0);
    double now() const override;
    bool isManual() const override { return true; }
    void set(double seconds);

private:
    struct State;
    std::shared_ptr<State> state_;
};

// One event loop per thread: a FIFO queue of posted tasks, a timer heap,
// file-descriptor sources, modes and nested runs. epoll with an eventfd
// wake-up underneath. Posting is safe from any thread; everything else is
// called on the loop's own thread.
class RunLoop final {
public:
    using TimerId = std::uint64_t;
    using SourceId = std::uint64_t;
    // Event bits for file-descriptor sources (the epoll bits).
    static constexpr std::uint32_t kReadable = 0x001;
    static constexpr std::uint32_t kWritable = 0x004;
    static constexpr std::uint32_t kError = 0x008;
    static constexpr std::uint32_t kHangup = 0x010;

    enum class RunResult { Finished, Stopped, TimedOut, HandledSource };

    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The calling thread's loop, made on first use.
    static RunLoop& current();
    // The application's loop. The first thread to call main() (or
    // setMainThread()) becomes the main thread.
    static RunLoop& main();
    static void setMainThread();
    static bool isMainThread();
    bool isCurrent() const;

    // Queues a task from any thread. Tasks run in posting order, in the given
    // mode (default mode unless named; kCommonRunLoopModes for every mode).
    void post(Task task, std::string mode = kDefaultRunLoopMode);

    // Timers read this loop's clock. The callback runs on this loop. A
    // repeating timer re-arms from its previous fire date. Thread: owner only.
    TimerId addTimer(double delaySeconds, double repeatSeconds, Task task, std::string mode = kDefaultRunLoopMode);
    void cancelTimer(TimerId id);
    bool hasTimer(TimerId id) const;

    // File-descriptor sources. The callback gets the event bits that fired.
    SourceId addSource(int fd, std::uint32_t events, std::function<void(std::uint32_t)> callback,
        std::string mode = kCommonRunLoopModes);
    void updateSource(SourceId id, std::uint32_t events);
    void removeSource(SourceId id);

    // Runs the default mode until stop() is called.
    void run();
    // Runs one mode (nested runs allowed) for at most `seconds` of this loop's
    // clock, or until stop(), or after handling one source/task/timer when asked.
    RunResult runMode(std::string_view mode, double seconds, bool returnAfterSourceHandled = false);
    // Makes the innermost run return.
    void stop();

    // For tests and harnesses on the loop's thread: runs the default mode until
    // the predicate holds or realTimeoutSeconds of real time have passed.
    // Network completions keep arriving in real time while a manual clock
    // stays put. Returns the predicate's last answer.
    bool runUntil(const std::function<bool()>& predicate, double realTimeoutSeconds);
    // Runs every task already due without waiting.
    void runUntilIdle();

    void setClock(std::shared_ptr<Clock> clock);
    const std::shared_ptr<Clock>& clock() const;
    double now() const;
    // With a manual clock: moves time forward in steps, firing each due timer
    // at its own time, in time order, then runs what was posted meanwhile.
    void advance(double seconds);

private:
    RunLoop();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Runs fn at once when called on the main thread, else posts it to the main loop.
void performOnMain(Task fn);
// Posts fn to the main loop even from the main thread (runs after the current task).
void postToMain(Task fn);

// A delayed call on the main loop's clock; cancel() keeps it from ever running.
class DelayedCall final {
public:
    DelayedCall() = default;
    void cancel();
    bool isPending() const;

private:
    friend DelayedCall dispatchAfter(double, Task);
    struct State;
    std::shared_ptr<State> state_;
};
DelayedCall dispatchAfter(double seconds, Task fn);

// The global background queues: a small fixed pool of worker threads.
void dispatchAsync(Task fn);
// Blocks until every task handed to dispatchAsync so far has run (tests).
void dispatchDrain();

} // namespace platform
