#include "ui/Lifetime.h"

#include <algorithm>

void Lifetime::addObservation(const std::string& name, platform::NotificationCenter::Handler handler)
{
    observations_.emplace_back(
        name, platform::NotificationCenter::defaultCenter().addObserver(name, platform::Value(), std::move(handler)));
}

void Lifetime::stopObserving(const std::string& name)
{
    std::erase_if(observations_, [&](const auto& entry) { return entry.first == name; });
}

std::shared_ptr<platform::Timer> Lifetime::addTimer(double seconds, bool repeats, platform::Timer::Callback callback)
{
    // Fired single-shot timers are forgotten as new ones come.
    std::erase_if(timers_, [](const auto& timer) { return !timer->isValid(); });
    auto timer = platform::Timer::scheduled(seconds, repeats, std::move(callback));
    timers_.push_back(timer);
    return timer;
}

void Lifetime::cancel(const std::shared_ptr<platform::Timer>& timer)
{
    if (!timer)
        return;
    timer->invalidate();
    std::erase(timers_, timer);
}

void Lifetime::end()
{
    auto timers = std::move(timers_);
    timers_.clear();
    for (const auto& timer : timers)
        timer->invalidate();
    observations_.clear();
}

std::size_t Lifetime::timerCount() const
{
    return std::size_t(std::count_if(timers_.begin(), timers_.end(), [](const auto& timer) { return timer->isValid(); }));
}
