// Throttling requests through the bandwidth meter, mobile-only throttling, and
// the network activity indicator (NetworkActivityIndicator).

#include "foundation/http/HTTPRequest.h"

#include "foundation/http/BandwidthMeter.h"
#include "foundation/http/NetworkActivityIndicator.h"
#include "foundation/http/NetworkReachability.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"

namespace foundation {

namespace {

// The limit used when throttling only on the mobile network.
constexpr unsigned long kWWANBandwidthLimit = 14800;

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

namespace {
NetworkActivityIndicator& indicator() { return NetworkActivityIndicator::shared(); }
} // namespace

bool HTTPRequest::shouldUpdateNetworkActivityIndicator() { return indicator().shouldUpdate(); }
void HTTPRequest::setShouldUpdateNetworkActivityIndicator(bool update) { indicator().setShouldUpdate(update); }
bool HTTPRequest::isNetworkActivityIndicatorVisible() { return indicator().isVisible(); }
void HTTPRequest::setNetworkActivityIndicatorObserver(std::function<void(bool visible)> observer)
{
    indicator().setObserver(std::move(observer));
}
void HTTPRequest::showNetworkActivityIndicator() { indicator().setVisible(true); }
void HTTPRequest::hideNetworkActivityIndicator() { indicator().setVisible(false); }
void HTTPRequest::hideNetworkActivityIndicatorAfterDelay() { indicator().hideAfterDelay(&HTTPRequest::isNetworkInUse); }
void HTTPRequest::hideNetworkActivityIndicatorIfNeeeded()
{
    if (!isNetworkInUse())
        hideNetworkActivityIndicator();
}

} // namespace foundation
