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
// wake-up underneath. post() and stop() are safe from any thread; everything
// else is called on the loop's own thread. A loop destroyed with work still
// queued drops that work unrun.
class RunLoop final {
public:
    using TimerId = std::uint64_t;
    using SourceId = std::uint64_t;
    // Event bits for file-descriptor sources (the epoll bits).
    static constexpr std::uint32_t kReadable = 0x001;
    static constexpr std::uint32_t kWritable = 0x004;
    static constexpr std::uint32_t kError = 0x008;
    static constexpr std::uint32_t kHangup = 0x010;

    // Finished is only answered when runMode is called from a thread that does
    // not own the loop: an empty mode still waits, because other threads may post.
    enum class RunResult { Finished, Stopped, TimedOut, HandledSource };

    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The calling thread's loop, made on first use.
    static RunLoop& current();
    // Keeps the calling thread's loop after the thread ends, for a service
    // thread that other threads post to until the process exits: work posted
    // once the thread is gone stays queued, unrun, instead of reaching a
    // destroyed loop.
    static void keepCurrentAfterThreadEnds();
    // The application's loop. Its thread is the one that started the process,
    // unless another thread called setMainThread() before anything asked for
    // the main loop; a worker that happens to ask first never becomes main.
    static RunLoop& main();
    // Claims the calling thread as the main thread if none is chosen yet.
    static void setMainThread();
    static bool isMainThread();
    bool isCurrent() const;

    // Queues a task from any thread. Tasks run in posting order, in the given
    // mode (default mode unless named; kCommonRunLoopModes for every mode).
    void post(Task task, std::string mode = kDefaultRunLoopMode);

    // Timers read this loop's clock. The callback runs on this loop. A
    // repeating timer re-arms from its previous fire date (fires missed while
    // the loop was busy are skipped). Returns 0 for an empty task. Thread: owner only.
    TimerId addTimer(double delaySeconds, double repeatSeconds, Task task, std::string mode = kDefaultRunLoopMode);
    void cancelTimer(TimerId id);
    bool hasTimer(TimerId id) const;

    // File-descriptor sources, level-triggered. The callback gets the event bits
    // that fired. Several sources may watch one descriptor. A descriptor epoll
    // cannot watch (a regular file) is always ready, as poll() reports it.
    // Returns 0 when the descriptor is invalid. Remove the source before closing.
    SourceId addSource(int fd, std::uint32_t events, std::function<void(std::uint32_t)> callback,
        std::string mode = kCommonRunLoopModes);
    void updateSource(SourceId id, std::uint32_t events);
    void removeSource(SourceId id);
    // Whether the descriptor the source was added for has been closed since
    // (its number free, or naming another file): for an owner that does not
    // close its descriptors itself. Removing such a source leaves a file
    // that took the number alone.
    bool sourceOutlivedItsFile(SourceId id) const;

    // Runs the default mode until stop() is called.
    void run();
    // Runs one mode (nested runs allowed) for at most `seconds` of this loop's
    // clock, or until stop(), or after handling one source/task/timer when asked.
    // With a manual clock the limit is also taken in real time, since that
    // clock never moves by itself while the loop waits.
    RunResult runMode(std::string_view mode, double seconds, bool returnAfterSourceHandled = false);
    // Makes the innermost run return (runUntil, runUntilIdle and advance too).
    // A stop requested while no run is active ends the next one at once.
    // Safe from any thread.
    void stop();

    // For tests and harnesses on the loop's thread: runs the default mode until
    // the predicate holds or realTimeoutSeconds of real time have passed.
    // Network completions keep arriving in real time while a manual clock
    // stays put. Returns the predicate's last answer.
    bool runUntil(const std::function<bool()>& predicate, double realTimeoutSeconds);
    // Runs every task already due without waiting.
    void runUntilIdle();
    // Drops every posted task and timer unrun (harnesses between test cases,
    // since the main loop outlives them all). Sources stay.
    void discardPendingWork();

    // Observers run on the loop's thread each time it is about to wait, in
    // every mode, after the turn's tasks and timers (the window host draws the
    // screen there, once per burst of work rather than once per change).
    // calloutCount() tells an observer whether anything ran since it last
    // looked: it counts the tasks, timers and source callbacks run so far.
    using ObserverId = std::uint64_t;
    ObserverId addBeforeWaitingObserver(Task observer);
    void removeBeforeWaitingObserver(ObserverId id);
    std::uint64_t calloutCount() const;
    // A callout that changed nothing anyone can see (a timer that only counted
    // a tick) says so from inside; quietCalloutCount() counts the callouts
    // that did, each once however often it said it, so that an observer
    // drawing the screen can let a turn of only such callouts pass undrawn.
    // Owner thread only.
    void markCalloutQuiet();
    std::uint64_t quietCalloutCount() const;

    // A loop whose work comes in quick exchanges with other threads (the HTTP
    // engine's network thread: a request in, the server's answer, the next
    // request) looks for more work for up to this long after a turn that did
    // some, before it sleeps: an answer that comes at once then costs no
    // wake-up. Owner thread only; 0 (the default) sleeps at once.
    void setPollBeforeSleeping(double seconds);

    // While a hold is taken the loop, before it sleeps, looks for work for
    // a short while (a tenth of a millisecond) even after a turn that did
    // none: another thread is about to hand over an answer (a request the
    // owner started on the network thread), and a sleeping thread takes far
    // longer to wake. Taken and dropped on any thread; the hold ends with
    // the object.
    class PollingHold final {
    public:
        explicit PollingHold(RunLoop& loop);
        ~PollingHold();
        PollingHold(const PollingHold&) = delete;
        PollingHold& operator=(const PollingHold&) = delete;

    private:
        RunLoop& loop_;
    };

    void setClock(std::shared_ptr<Clock> clock);
    const std::shared_ptr<Clock>& clock() const;
    double now() const;
    // With a manual clock: moves time forward in steps, firing each due timer
    // at its own time, in time order, then runs what was posted meanwhile.
    // Timers scheduled by those callbacks inside the span fire too. With a real
    // clock it runs the default mode for that long.
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

// A delayed call on the main loop's clock, in the default mode; cancel() keeps
// it from ever running. Asked from another thread, the delay counts from when
// the main loop takes the request.
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
// Called on a worker it returns at once, since it cannot wait for itself.
void dispatchDrain();
// The same, giving up after timeoutSeconds; true when every task has run.
bool dispatchDrain(double timeoutSeconds);

} // namespace platform
