#include "platform/os/Timer.h"

#include <algorithm>
#include <utility>

namespace platform {

Timer::Timer(double interval, bool repeats, Callback callback)
    : interval_(interval)
    , repeats_(repeats)
    , callback_(std::move(callback))
    , valid_(true)
{
}

Timer::~Timer() = default;

std::shared_ptr<Timer> Timer::scheduled(
    double interval, bool repeats, Callback callback, RunLoop& loop, std::string mode)
{
    auto timer = std::make_shared<Timer>(interval, repeats, std::move(callback));
    // The loop's task owns the timer. When the loop lets the task go (the timer
    // was invalidated, a single shot has fired, or the loop itself is gone),
    // the timer learns that it is no longer scheduled anywhere.
    struct Schedule {
        std::shared_ptr<Timer> timer;
        ~Schedule()
        {
            if (!timer)
                return;
            timer->loop_ = nullptr;
            timer->id_ = 0;
            if (timer->valid_) {
                timer->valid_ = false;
                timer->callback_ = nullptr;
            }
        }
    };
    auto schedule = std::make_shared<Schedule>();
    schedule->timer = timer;
    // A repeating timer of no interval would spin; it ticks as fast as the loop allows instead.
    double repeat = repeats ? std::max(interval, 0.0001) : 0;
    timer->loop_ = &loop;
    timer->id_ = loop.addTimer(
        std::max(interval, 0.0), repeat, [schedule] { schedule->timer->fire(); }, std::move(mode));
    return timer;
}

void Timer::invalidate()
{
    if (!valid_)
        return;
    valid_ = false;
    RunLoop* loop = loop_;
    RunLoop::TimerId id = id_;
    loop_ = nullptr;
    id_ = 0;
    // Release what the callback holds, as the platform releases a timer's
    // target: an owner that captured itself is freed here. A callback running
    // right now works on its own copy (see fire()).
    callback_ = nullptr;
    if (loop && id)
        loop->cancelTimer(id);
}

bool Timer::isValid() const { return valid_; }

void Timer::fire()
{
    if (!valid_)
        return;
    // Keep ourselves and the callback alive even if the callback invalidates
    // the timer and drops the last reference to it.
    auto self = weak_from_this().lock();
    Callback callback = callback_;
    if (callback)
        callback(*this);
    if (!repeats_)
        invalidate();
}

} // namespace platform
