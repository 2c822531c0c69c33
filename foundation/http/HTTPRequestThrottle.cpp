// Throttling requests through the bandwidth meter, mobile-only throttling, and
// the network activity indicator.

#include "foundation/http/HTTPRequest.h"

#include "foundation/http/BandwidthMeter.h"
#include "foundation/http/NetworkReachability.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"

#include <cstdint>

namespace {

// The limit used when throttling only on the mobile network.
constexpr unsigned long kWWANBandwidthLimit = 14800;
constexpr double kIndicatorHideDelay = 0.5;

// Reachability watch for mobile-only throttling; main thread only.
struct MobileWatch {
    std::shared_ptr<NetworkReachability> reachability;
    platform::ObserverToken observer;
};

MobileWatch& mobileWatch()
{
    static auto* watch = new MobileWatch;
    return *watch;
}

BandwidthMeter& meter() { return BandwidthMeter::shared(); }

struct ActivityIndicator {
    std::mutex lock;
    bool visible = false;
    bool shouldUpdate = true;
    std::function<void(bool)> observer;
    // Streams unscheduled so far, and the count a pending hide check was
    // armed at (0: none pending). One check serves a run of requests, so a
    // request's end costs no trip to the main thread when one is pending.
    std::uint64_t unscheduled = 0;
    std::uint64_t checkArmedAt = 0;
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

void HTTPRequest::incrementBandwidthUsedInLastSecond(unsigned long bytes) { meter().addBytes(bytes); }
unsigned long HTTPRequest::averageBandwidthUsedPerSecond() { return meter().averagePerSecond(); }
void HTTPRequest::recordBandwidthUsage() { meter().record(); }
void HTTPRequest::measureBandwidthUsage() { meter().measure(); }
bool HTTPRequest::isBandwidthThrottled() { return meter().isThrottled(); }
unsigned long HTTPRequest::maxBandwidthPerSecond() { return meter().maxPerSecond(); }
void HTTPRequest::setMaxBandwidthPerSecond(unsigned long bytes) { meter().setMaxPerSecond(bytes); }
unsigned long HTTPRequest::maxUploadReadLength() { return meter().maxUploadReadLength(); }
std::optional<double> HTTPRequest::throttleWakeUpTime() { return meter().wakeUpTime(); }
bool HTTPRequest::isThrottlePaused() { return meter().isPaused(); }
std::size_t HTTPRequest::throttledReadLength(std::size_t readSize) { return meter().throttledReadLength(readSize); }
void HTTPRequest::setBandwidthClock(std::shared_ptr<platform::Clock> clock) { meter().setClock(std::move(clock)); }

void HTTPRequest::performThrottling()
{
    Guard lock(cancelledLock_);
    if (!transfer_.readStream)
        return;
    measureBandwidthUsage();
    // The meter's lock is a leaf: it is let go before the stream is (un)scheduled.
    if (!meter().isThrottled()) {
        if (!transfer_.readStreamIsScheduled)
            scheduleReadStream();
        return;
    }
    if (!meter().wakeUpTime())
        return;
    bool paused = meter().isPaused();
    if (paused && transfer_.readStreamIsScheduled)
        unscheduleReadStream();
    else if (!paused && !transfer_.readStreamIsScheduled)
        scheduleReadStream();
}

// MARK: - Mobile network

void HTTPRequest::throttleBandwidthForWWANUsingLimit(unsigned long limit)
{
    meter().throttleOnlyOnMobileNetwork(limit);
    // The watch lives on the calling thread's loop (the main thread's).
    MobileWatch& watch = mobileWatch();
    if (!watch.reachability) {
        watch.reachability = NetworkReachability::reachabilityForInternetConnection();
        if (watch.reachability)
            watch.reachability->startNotifier();
        watch.observer
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
    MobileWatch& watch = mobileWatch();
    watch.observer = platform::ObserverToken();
    if (watch.reachability)
        watch.reachability->stopNotifier();
    watch.reachability.reset();
    meter().stopThrottling();
}

bool HTTPRequest::isNetworkReachableViaWWAN()
{
    auto reachability = NetworkReachability::reachabilityForInternetConnection();
    return reachability && reachability->currentReachabilityStatus() == NetworkReachability::ReachableViaWWAN;
}

void HTTPRequest::reachabilityChanged() { meter().setMobileNetworkActive(isNetworkReachableViaWWAN()); }

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

namespace {

// Marks the pending check gone however its task ends: run, or dropped with
// the main loop's pending work.
struct PendingHideCheck {
    explicit PendingHideCheck(std::uint64_t count)
        : armedAt(count)
    {
    }
    PendingHideCheck(const PendingHideCheck&) = delete;
    PendingHideCheck& operator=(const PendingHideCheck&) = delete;
    const std::uint64_t armedAt;
    ~PendingHideCheck()
    {
        ActivityIndicator& i = indicator();
        std::lock_guard<std::mutex> lock(i.lock);
        if (i.checkArmedAt == armedAt)
            i.checkArmedAt = 0;
    }
};

// Main thread: hides the indicator half a second after the last stream ended.
void armHideCheck(std::shared_ptr<PendingHideCheck> check)
{
    platform::dispatchAfter(kIndicatorHideDelay, [check = std::move(check)] {
        bool inUse = HTTPRequest::isNetworkInUse();
        std::uint64_t rearmAt = 0;
        {
            ActivityIndicator& i = indicator();
            std::lock_guard<std::mutex> lock(i.lock);
            // Another stream ended meanwhile: its half second starts now.
            if (i.unscheduled != check->armedAt && !inUse)
                rearmAt = i.unscheduled;
            if (i.checkArmedAt == check->armedAt)
                i.checkArmedAt = rearmAt;
        }
        if (rearmAt != 0)
            armHideCheck(std::make_shared<PendingHideCheck>(rearmAt));
        else if (!inUse)
            HTTPRequest::hideNetworkActivityIndicator();
    });
}

} // namespace

void HTTPRequest::hideNetworkActivityIndicatorAfterDelay()
{
    // A stream scheduled again within the delay keeps the indicator on, so
    // back-to-back requests do not make it flicker.
    std::uint64_t armedAt;
    {
        ActivityIndicator& i = indicator();
        std::lock_guard<std::mutex> lock(i.lock);
        armedAt = ++i.unscheduled;
        if (i.checkArmedAt != 0)
            return;
        i.checkArmedAt = armedAt;
    }
    auto check = std::make_shared<PendingHideCheck>(armedAt);
    platform::performOnMain([check] { armHideCheck(check); });
}

void HTTPRequest::hideNetworkActivityIndicatorIfNeeeded()
{
    if (!isNetworkInUse())
        hideNetworkActivityIndicator();
}
