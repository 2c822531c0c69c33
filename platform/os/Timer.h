#pragma once

#include "platform/os/RunLoop.h"

#include <functional>
#include <memory>

namespace platform {

// A timer scheduled on a run loop. The loop keeps a scheduled timer alive
// until it is invalidated (single-shot timers invalidate themselves after
// firing), and the callback keeps whatever it captures alive: capture a
// weak_ptr where the owner must be able to go away. Destroying the last
// reference does not stop a scheduled timer; invalidate() does.
class Timer final : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;

    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Callback callback,
        RunLoop& loop = RunLoop::current(), std::string mode = kDefaultRunLoopMode);

    void invalidate();
    bool isValid() const;
    // Fires now; a single-shot timer is invalidated afterwards.
    void fire();
    double timeInterval() const { return interval_; }
    bool repeats() const { return repeats_; }

    Timer(double interval, bool repeats, Callback callback);
    ~Timer();

private:
    double interval_;
    bool repeats_;
    Callback callback_;
    RunLoop* loop_ = nullptr;
    RunLoop::TimerId id_ = 0;
    bool valid_ = false;
};

} // namespace platform
