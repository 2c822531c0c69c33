#pragma once

// What a hostile reply costs the process while it is read: the peak of its
// resident memory, and the longest a run loop (the main one, or the network
// thread's) went without a turn. Read by the tests that bound those costs
// generously and by the benchmarks that report them.

#include "platform/os/RunLoop.h"
#include "tests/support/ProcessUtil.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <time.h>

namespace testsupport {

// The thread sanitizer's shadow makes the process's memory several times
// what the code itself takes, and heavy work many times slower: tests leave
// their memory bounds and their largest inputs out under it.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kUnderThreadSanitizer = true;
#else
inline constexpr bool kUnderThreadSanitizer = false;
#endif

// A field "Name: <kB> kB" of /proc/self/status, in megabytes; 0 when absent.
inline double selfStatusMegabytes(const std::string& name)
{
    std::ifstream file("/proc/self/status");
    std::string line;
    const std::string key = name + ":";
    while (std::getline(file, line))
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(key.size())) / 1024.0;
    return 0;
}

// Starts the peak resident memory (VmHWM) again from what is resident now,
// so that a later peakResidentMegabytes() tells what came on top of it.
// False where the kernel does not allow it.
inline bool resetPeakResident()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

inline double residentMegabytes() { return selfStatusMegabytes("VmRSS"); }
inline double peakResidentMegabytes() { return selfStatusMegabytes("VmHWM"); }

// Notes, from construction until destruction, the longest time between two
// turns of a run loop: a repeating timer on it (in every mode) reads the
// clock, and the CPU time of the loop's thread, at each fire. Made on any thread; the timer is added and removed by
// tasks posted to the loop. Read longestGap() once the watched work is over.
class LoopGapWatch {
public:
    explicit LoopGapWatch(platform::RunLoop& loop, double tickSeconds = 0.002)
        : loop_(loop)
        , state_(std::make_shared<State>())
    {
        auto state = state_;
        platform::RunLoop* target = &loop_;
        loop_.post(
            [state, target, tickSeconds] {
                std::lock_guard lock(state->mutex);
                if (state->stopped)
                    return;
                state->last = Clock::now();
                state->lastBusy = threadSeconds();
                state->timer = target->addTimer(
                    tickSeconds, tickSeconds,
                    [state] {
                        std::lock_guard lock(state->mutex);
                        const auto now = Clock::now();
                        const double busy = threadSeconds();
                        state->longest
                            = std::max(state->longest, std::chrono::duration<double>(now - state->last).count());
                        state->longestBusy = std::max(state->longestBusy, busy - state->lastBusy);
                        state->last = now;
                        state->lastBusy = busy;
                        state->ticks++;
                    },
                    platform::kCommonRunLoopModes);
            },
            platform::kCommonRunLoopModes);
    }
    ~LoopGapWatch()
    {
        auto state = state_;
        platform::RunLoop* target = &loop_;
        {
            std::lock_guard lock(state->mutex);
            state->stopped = true;
        }
        loop_.post(
            [state, target] {
                if (state->timer)
                    target->cancelTimer(state->timer);
            },
            platform::kCommonRunLoopModes);
    }
    LoopGapWatch(const LoopGapWatch&) = delete;
    LoopGapWatch& operator=(const LoopGapWatch&) = delete;

    // Seconds: the longest wait between two ticks so far.
    double longestGap() const
    {
        std::lock_guard lock(state_->mutex);
        return state_->longest;
    }
    // Seconds: the most CPU time the loop's thread spent between two ticks,
    // that is, what its own work held it for. Unlike the wait, this does not
    // grow when a busy machine leaves the thread without a CPU.
    double longestBusyGap() const
    {
        std::lock_guard lock(state_->mutex);
        return state_->longestBusy;
    }
    // How many times the timer fired: a watch that never ticked saw nothing.
    long ticks() const
    {
        std::lock_guard lock(state_->mutex);
        return state_->ticks;
    }

private:
    using Clock = std::chrono::steady_clock;
    static double threadSeconds()
    {
        timespec now {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
    }
    struct State {
        std::mutex mutex;
        Clock::time_point last;
        double lastBusy = 0;
        double longest = 0;
        double longestBusy = 0;
        long ticks = 0;
        bool stopped = false;
        platform::RunLoop::TimerId timer = 0;
    };
    platform::RunLoop& loop_;
    std::shared_ptr<State> state_;
};

// The main loop's longest turn, as the CPU time its thread spent in it, for
// tests on the manual clock (whose timers only fire when it is advanced): a
// task that posts itself again notes the time between two of its runs.
// Unlike the wait between turns, it does not grow when a loaded machine
// leaves the thread without a core. Made and read on the main thread.
class MainLoopTurnWatch {
public:
    MainLoopTurnWatch()
        : state_(std::make_shared<State>())
    {
        state_->tick = [weak = std::weak_ptr<State>(state_)] {
            auto held = weak.lock();
            if (!held)
                return;
            const double now = threadSeconds();
            held->longest = std::max(held->longest, now - held->last);
            held->last = now;
            ++held->ticks;
            platform::RunLoop::main().post(held->tick);
        };
        restart();
        platform::RunLoop::main().post(state_->tick);
    }
    MainLoopTurnWatch(const MainLoopTurnWatch&) = delete;
    MainLoopTurnWatch& operator=(const MainLoopTurnWatch&) = delete;

    // Seconds of the thread's CPU in its longest turn so far, the one still
    // going (the caller's) included.
    double longestTurn() const { return std::max(state_->longest, threadSeconds() - state_->last); }
    // How many turns it has seen: a watch that never ran saw nothing.
    long ticks() const { return state_->ticks; }
    // Starts counting afresh from now.
    void restart()
    {
        state_->longest = 0;
        state_->last = threadSeconds();
    }

private:
    static double threadSeconds()
    {
        timespec now {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
    }
    struct State {
        double last = 0;
        double longest = 0;
        long ticks = 0;
        std::function<void()> tick;
    };
    // Its task holds the state only weakly: it ends with the watch.
    std::shared_ptr<State> state_;
};

} // namespace testsupport
