#include "foundation/http/NetworkReachability.h"

#include "platform/os/Log.h"
#include "platform/os/NotificationCenter.h"

namespace foundation {

namespace {

void logFlags(platform::ReachabilityFlags flags, const char* rule)
{
    auto letter = [flags](std::uint32_t flag, char c) { return (flags & flag) ? c : '-'; };
    platform::log("Reachability Flag Status: %c%c %c%c%c%c%c%c%c %s\n", letter(platform::kReachabilityFlagIsWWAN, 'W'),
        letter(platform::kReachabilityFlagReachable, 'R'), letter(platform::kReachabilityFlagTransientConnection, 't'),
        letter(platform::kReachabilityFlagConnectionRequired, 'c'),
        letter(platform::kReachabilityFlagConnectionOnTraffic, 'C'),
        letter(platform::kReachabilityFlagInterventionRequired, 'i'),
        letter(platform::kReachabilityFlagConnectionOnDemand, 'D'),
        letter(platform::kReachabilityFlagIsLocalAddress, 'l'), letter(platform::kReachabilityFlagIsDirect, 'd'), rule);
}

} // namespace

NetworkReachability::NetworkReachability(std::shared_ptr<platform::Reachability> reachability, bool localWiFi)
    : reachabilityRef_(std::move(reachability))
    , localWiFiRef_(localWiFi)
{
}

NetworkReachability::~NetworkReachability() { stopNotifier(); }

std::shared_ptr<NetworkReachability> NetworkReachability::reachabilityWithHostName(const std::string& hostName)
{
    auto reference = platform::Reachability::createWithName(hostName);
    if (!reference)
        return nullptr;
    return std::shared_ptr<NetworkReachability>(new NetworkReachability(std::move(reference), false));
}

std::shared_ptr<NetworkReachability> NetworkReachability::reachabilityWithAddress(
    std::array<std::uint8_t, 4> hostAddress)
{
    auto reference = platform::Reachability::createWithAddress(hostAddress);
    if (!reference)
        return nullptr;
    return std::shared_ptr<NetworkReachability>(new NetworkReachability(std::move(reference), false));
}

std::shared_ptr<NetworkReachability> NetworkReachability::reachabilityForInternetConnection()
{
    return reachabilityWithAddress({ 0, 0, 0, 0 });
}

std::shared_ptr<NetworkReachability> NetworkReachability::reachabilityForLocalWiFi()
{
    auto reference = platform::Reachability::createWithAddress({ 169, 254, 0, 0 });
    if (!reference)
        return nullptr;
    return std::shared_ptr<NetworkReachability>(new NetworkReachability(std::move(reference), true));
}

bool NetworkReachability::startNotifier()
{
    std::weak_ptr<NetworkReachability> weak = weak_from_this();
    bool registered = reachabilityRef_->setCallback([weak](platform::Reachability&, platform::ReachabilityFlags) {
        if (auto self = weak.lock())
            platform::NotificationCenter::defaultCenter().post(kNetworkReachabilityChangedNotification,
                platform::Value(std::static_pointer_cast<platform::Object>(self)));
    });
    return registered && reachabilityRef_->scheduleWithRunLoop(platform::RunLoop::current());
}

void NetworkReachability::stopNotifier()
{
    if (reachabilityRef_ && reachabilityRef_->isScheduled())
        reachabilityRef_->unscheduleFromRunLoop();
}

NetworkReachability::NetworkStatus NetworkReachability::currentReachabilityStatus() const
{
    auto flags = reachabilityRef_->getFlags();
    if (!flags)
        return NotReachable;
    return localWiFiRef_ ? localWiFiStatusForFlags(*flags) : networkStatusForFlags(*flags);
}

bool NetworkReachability::connectionRequired() const
{
    auto flags = reachabilityRef_->getFlags();
    return flags && (*flags & platform::kReachabilityFlagConnectionRequired);
}

NetworkReachability::NetworkStatus NetworkReachability::networkStatusForFlags(platform::ReachabilityFlags flags) const
{
    logFlags(flags, "networkStatusForFlags");
    if (!(flags & platform::kReachabilityFlagReachable))
        return NotReachable;
    if (flags & platform::kReachabilityFlagIsWWAN)
        return ReachableViaWWAN;
    if ((flags & (platform::kReachabilityFlagConnectionOnTraffic | platform::kReachabilityFlagConnectionOnDemand))
        && !(flags & platform::kReachabilityFlagInterventionRequired))
        return ReachableViaWiFi;
    return (flags & platform::kReachabilityFlagConnectionRequired) ? NotReachable : ReachableViaWiFi;
}

NetworkReachability::NetworkStatus NetworkReachability::localWiFiStatusForFlags(platform::ReachabilityFlags flags) const
{
    logFlags(flags, "localWiFiStatusForFlags");
    return ((flags & platform::kReachabilityFlagReachable) && (flags & platform::kReachabilityFlagIsDirect))
        ? ReachableViaWiFi
        : NotReachable;
}

} // namespace foundation
