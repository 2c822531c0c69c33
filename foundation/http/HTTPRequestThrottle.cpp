// The engine's bandwidth meter and throttle, mobile-only throttling, and the
// network activity indicator.

#include "foundation/http/HTTPRequest.h"
#include "foundation/http/NetworkReachability.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"

#include <deque>
#include <numeric>

namespace {

// The limit used when throttling only on the mobile network.
constexpr unsigned long kWWANBandwidthLimit = 14800;
// At most this many one-second windows make up the average.
constexpr std::size_t kBandwidthHistory = 5;
constexpr double kIndicatorHideDelay = 0.5;

struct Bandwidth {
    // A leaf lock: nothing else is taken while it is held.
    std::mutex lock;
    std::shared_ptr<platform::Clock> clock = platform::Clock::steady();
    unsigned long maxPerSecond = 0;
    unsigned long usedInLastSecond = 0;
    std::deque<unsigned long> usageTracker;
    // When the current one-second window ends.
    std::optional<double> measurementDate;
    unsigned long average = 0;
    std::optional<double> wakeUpTime;
    bool wwanThrottlingActive = false;
    bool wwanOnly = false;

    // Reachability watch for mobile-only throttling; main thread only.
    std::shared_ptr<NetworkReachability> reachability;
    platform::ObserverToken reachabilityObserver;
};

Bandwidth& bandwidth()
{
    static auto* state = new Bandwidth;
    return *state;
}

// Closes the current window. Each whole second that passed since it ended
// recorded nothing, and takes one old window out of the average with it.
void recordBandwidthUsageLocked(Bandwidth& b)
{
    double now = b.clock->now();
    if (b.usedInLastSecond == 0) {
        b.usageTracker.clear();
    } else {
        double idle = b.measurementDate ? now - *b.measurementDate : 0;
        while (!b.usageTracker.empty() && (idle >= 1.0 || b.usageTracker.size() >= kBandwidthHistory)) {
            b.usageTracker.pop_front();
            idle -= 1.0;
        }
    }
    b.usageTracker.push_back(b.usedInLastSecond);
    b.measurementDate = now + 1.0;
    b.usedInLastSecond = 0;
    unsigned long long sum = std::accumulate(b.usageTracker.begin(), b.usageTracker.end(), 0ULL);
    b.average = static_cast<unsigned long>(sum / b.usageTracker.size());
}

bool isThrottledLocked(const Bandwidth& b)
{
    if (b.wwanThrottlingActive)
        return true;
    if (b.wwanOnly)
        return false;
    return b.maxPerSecond > 0;
}

struct ActivityIndicator {
    std::mutex lock;
    bool visible = false;
    bool shouldUpdate = true;
    std::function<void(bool)> observer;
};

ActivityIndicator& indicator()
{
    static auto* state = new ActivityIndicator;
    return *state;
}

void setIndicatorVisible(bool visible)
{
    std::function<void(bool)> observer;
    {
        ActivityIndicator& i = indicator();
        std::lock_guard<std::mutex> lock(i.lock);
        if (i.visible == visible)
            return;
        i.visible = visible;
        observer = i.observer;
    }
    // Observers hear every change, in order, on the main thread.
    if (observer)
        platform::performOnMain([observer, visible] { observer(visible); });
}

} // namespace

// MARK: - Meter

void HTTPRequest::incrementBandwidthUsedInLastSecond(unsigned long bytes)
{
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    b.usedInLastSecond += bytes;
}

unsigned long HTTPRequest::averageBandwidthUsedPerSecond()
{
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    return b.average;
}

void HTTPRequest::recordBandwidthUsage()
{
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    recordBandwidthUsageLocked(b);
}

void HTTPRequest::measureBandwidthUsage()
{
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    if (!b.measurementDate || *b.measurementDate <= b.clock->now())
        recordBandwidthUsageLocked(b);
    if (b.wwanThrottlingActive || (b.maxPerSecond > 0 && !b.wwanOnly)) {
        long long remaining = static_cast<long long>(b.maxPerSecond) - static_cast<long long>(b.usedInLastSecond);
        // Overuse is paid back after the window: streams stay paused for
        // as long as the excess takes at the permitted rate.
        if (remaining < 0 && b.maxPerSecond > 0)
            b.wakeUpTime = *b.measurementDate + static_cast<double>(-remaining) / static_cast<double>(b.maxPerSecond);
    }
}

bool HTTPRequest::isBandwidthThrottled()
{
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    return isThrottledLocked(b);
}

unsigned long HTTPRequest::maxBandwidthPerSecond()
{
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    return b.maxPerSecond;
}

void HTTPRequest::setMaxBandwidthPerSecond(unsigned long bytes)
{
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    b.maxPerSecond = bytes;
}

unsigned long HTTPRequest::maxUploadReadLength()
{
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    unsigned long allowance = b.maxPerSecond / 4;
    if (b.maxPerSecond > 0 && b.usedInLastSecond + allowance > b.maxPerSecond)
        allowance = b.maxPerSecond > b.usedInLastSecond ? b.maxPerSecond - b.usedInLastSecond : 0;
    if (allowance == 0 || !b.measurementDate || *b.measurementDate <= b.clock->now())
        b.wakeUpTime = b.measurementDate;
    return allowance;
}

std::optional<double> HTTPRequest::throttleWakeUpTime()
{
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    return b.wakeUpTime;
}

std::size_t HTTPRequest::throttledReadLength(std::size_t readSize)
{
    {
        Bandwidth& b = bandwidth();
        std::lock_guard<std::mutex> lock(b.lock);
        if (b.maxPerSecond > 0) {
            long long allowance = static_cast<long long>(b.maxPerSecond) - static_cast<long long>(b.usedInLastSecond);
            if (allowance < 0)
                readSize = 1;
            else if (static_cast<std::size_t>(allowance / 4) < readSize)
                readSize = static_cast<std::size_t>(allowance / 4);
        }
    }
    // Never a read of nothing: the stream's buffer must keep draining.
    return readSize < 1 ? 1 : readSize;
}

void HTTPRequest::setBandwidthClock(std::shared_ptr<platform::Clock> clock)
{
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    b.clock = clock ? std::move(clock) : platform::Clock::steady();
    b.usedInLastSecond = 0;
    b.usageTracker.clear();
    b.measurementDate.reset();
    b.average = 0;
    b.wakeUpTime.reset();
}

void HTTPRequest::performThrottling()
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (!readStream_)
        return;
    measureBandwidthUsage();
    bool throttled;
    std::optional<double> wakeUp;
    double now;
    {
        Bandwidth& b = bandwidth();
        std::lock_guard<std::mutex> bandwidthLock(b.lock);
        throttled = isThrottledLocked(b);
        wakeUp = b.wakeUpTime;
        now = b.clock->now();
    }
    // The stream is (un)scheduled outside the bandwidth lock, which stays a leaf.
    if (!throttled) {
        if (!readStreamIsScheduled_)
            scheduleReadStream();
        return;
    }
    if (!wakeUp)
        return;
    if (*wakeUp > now && readStreamIsScheduled_)
        unscheduleReadStream();
    else if (*wakeUp <= now && !readStreamIsScheduled_)
        scheduleReadStream();
}

// MARK: - Mobile network

void HTTPRequest::throttleBandwidthForWWANUsingLimit(unsigned long limit)
{
    {
        Bandwidth& b = bandwidth();
        std::lock_guard<std::mutex> lock(b.lock);
        b.wwanOnly = true;
        b.maxPerSecond = limit;
    }
    // The watch lives on the calling thread's loop (the main thread's).
    Bandwidth& b = bandwidth();
    if (!b.reachability) {
        b.reachability = NetworkReachability::reachabilityForInternetConnection();
        if (b.reachability)
            b.reachability->startNotifier();
        b.reachabilityObserver
            = platform::NotificationCenter::defaultCenter().addObserver(kNetworkReachabilityChangedNotification,
                platform::Value(), [](const platform::Notification&) { reachabilityChanged(); });
    }
    reachabilityChanged();
}

void HTTPRequest::setShouldThrottleBandwidthForWWAN(bool throttle)
{
    if (throttle) {
        throttleBandwidthForWWANUsingLimit(kWWANBandwidthLimit);
        return;
    }
    Bandwidth& b = bandwidth();
    b.reachabilityObserver = platform::ObserverToken();
    if (b.reachability)
        b.reachability->stopNotifier();
    b.reachability.reset();
    std::lock_guard<std::mutex> lock(b.lock);
    b.maxPerSecond = 0;
    b.wwanOnly = false;
    b.wwanThrottlingActive = false;
}

bool HTTPRequest::isNetworkReachableViaWWAN()
{
    auto reachability = NetworkReachability::reachabilityForInternetConnection();
    return reachability && reachability->currentReachabilityStatus() == NetworkReachability::ReachableViaWWAN;
}

void HTTPRequest::reachabilityChanged()
{
    bool wwan = isNetworkReachableViaWWAN();
    Bandwidth& b = bandwidth();
    std::lock_guard<std::mutex> lock(b.lock);
    b.wwanThrottlingActive = wwan;
}

// MARK: - Activity indicator

bool HTTPRequest::shouldUpdateNetworkActivityIndicator()
{
    ActivityIndicator& i = indicator();
    std::lock_guard<std::mutex> lock(i.lock);
    return i.shouldUpdate;
}

void HTTPRequest::setShouldUpdateNetworkActivityIndicator(bool update)
{
    ActivityIndicator& i = indicator();
    std::lock_guard<std::mutex> lock(i.lock);
    i.shouldUpdate = update;
}

bool HTTPRequest::isNetworkActivityIndicatorVisible()
{
    ActivityIndicator& i = indicator();
    std::lock_guard<std::mutex> lock(i.lock);
    return i.visible;
}

void HTTPRequest::setNetworkActivityIndicatorObserver(std::function<void(bool visible)> observer)
{
    ActivityIndicator& i = indicator();
    std::lock_guard<std::mutex> lock(i.lock);
    i.observer = std::move(observer);
}

void HTTPRequest::showNetworkActivityIndicator() { setIndicatorVisible(true); }

void HTTPRequest::hideNetworkActivityIndicator() { setIndicatorVisible(false); }

void HTTPRequest::hideNetworkActivityIndicatorAfterDelay()
{
    // A stream scheduled again within the delay keeps the indicator on, so
    // back-to-back requests do not make it flicker.
    platform::performOnMain(
        [] { platform::dispatchAfter(kIndicatorHideDelay, [] { hideNetworkActivityIndicatorIfNeeeded(); }); });
}

void HTTPRequest::hideNetworkActivityIndicatorIfNeeeded()
{
    if (!isNetworkInUse())
        hideNetworkActivityIndicator();
}
