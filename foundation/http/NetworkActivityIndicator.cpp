#include "foundation/http/NetworkActivityIndicator.h"

#include "platform/os/RunLoop.h"

namespace foundation {

namespace {

constexpr double kHideDelay = 0.5;

} // namespace

// Marks the pending check gone however its task ends: run, or dropped with
// the main loop's pending work.
struct NetworkActivityIndicator::PendingCheck {
    PendingCheck(NetworkActivityIndicator& indicator, std::uint64_t count)
        : indicator(indicator)
        , armedAt(count)
    {
    }
    PendingCheck(const PendingCheck&) = delete;
    PendingCheck& operator=(const PendingCheck&) = delete;
    ~PendingCheck()
    {
        std::lock_guard<std::mutex> lock(indicator.lock_);
        if (indicator.checkArmedAt_ == armedAt)
            indicator.checkArmedAt_ = 0;
    }

    NetworkActivityIndicator& indicator;
    const std::uint64_t armedAt;
};

NetworkActivityIndicator& NetworkActivityIndicator::shared()
{
    static auto* indicator = new NetworkActivityIndicator;
    return *indicator;
}

bool NetworkActivityIndicator::shouldUpdate() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return shouldUpdate_;
}

void NetworkActivityIndicator::setShouldUpdate(bool update)
{
    std::lock_guard<std::mutex> lock(lock_);
    shouldUpdate_ = update;
}

bool NetworkActivityIndicator::isVisible() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return visible_;
}

void NetworkActivityIndicator::setObserver(std::function<void(bool visible)> observer)
{
    std::lock_guard<std::mutex> lock(lock_);
    observer_ = std::move(observer);
}

void NetworkActivityIndicator::setVisible(bool visible)
{
    std::function<void(bool)> observer;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (visible_ == visible)
            return;
        visible_ = visible;
        observer = observer_;
    }
    // Observers hear every change, in order, on the main thread.
    if (observer)
        platform::performOnMain([observer, visible] { observer(visible); });
}

void NetworkActivityIndicator::hideAfterDelay(std::function<bool()> inUse)
{
    std::uint64_t armedAt;
    {
        std::lock_guard<std::mutex> lock(lock_);
        armedAt = ++ended_;
        if (checkArmedAt_ != 0)
            return;
        checkArmedAt_ = armedAt;
    }
    auto check = std::make_shared<PendingCheck>(*this, armedAt);
    platform::performOnMain([this, check, inUse = std::move(inUse)] { armCheck(check, inUse); });
}

// Main thread.
void NetworkActivityIndicator::armCheck(std::shared_ptr<PendingCheck> check, std::function<bool()> inUse)
{
    platform::dispatchAfter(kHideDelay, [this, check = std::move(check), inUse] {
        bool busy = inUse();
        std::uint64_t rearmAt = 0;
        {
            std::lock_guard<std::mutex> lock(lock_);
            // Nobody shows the indicator: the check changes nothing on the
            // screen, and the window need not be drawn for it (once after
            // every request's end).
            if (!observer_)
                platform::RunLoop::current().markCalloutQuiet();
            // Another stream ended meanwhile: its half second starts now.
            if (ended_ != check->armedAt && !busy)
                rearmAt = ended_;
            if (checkArmedAt_ == check->armedAt)
                checkArmedAt_ = rearmAt;
        }
        if (rearmAt != 0)
            armCheck(std::make_shared<PendingCheck>(*this, rearmAt), inUse);
        else if (!busy)
            setVisible(false);
    });
}

} // namespace foundation
