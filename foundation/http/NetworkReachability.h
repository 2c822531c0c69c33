#pragma once

#include "platform/net/Reachability.h"
#include "platform/os/Value.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace foundation {

// Posted through the default notification centre, with the NetworkReachability
// object as the notification's object, whenever the flags change.
inline constexpr const char* kNetworkReachabilityChangedNotification = "kNetworkReachabilityChangedNotification";

// Whether a host, an address or the internet at large can be reached, and
// over which kind of link.
class NetworkReachability final : public platform::Object, public std::enable_shared_from_this<NetworkReachability> {
public:
    enum NetworkStatus : int {
        NotReachable = 0,
        ReachableViaWiFi = 1,
        ReachableViaWWAN = 2,
    };

    // nullptr when the platform cannot make a reachability object for it.
    static std::shared_ptr<NetworkReachability> reachabilityWithHostName(const std::string& hostName);
    static std::shared_ptr<NetworkReachability> reachabilityWithAddress(std::array<std::uint8_t, 4> hostAddress);
    // Any route to the internet (the all-zero address).
    static std::shared_ptr<NetworkReachability> reachabilityForInternetConnection();
    // The link-local network 169.254.0.0, judged by the local Wi-Fi rule.
    static std::shared_ptr<NetworkReachability> reachabilityForLocalWiFi();

    ~NetworkReachability() override;

    // Watches for changes on the calling thread's run loop.
    bool startNotifier();
    void stopNotifier();

    NetworkStatus currentReachabilityStatus() const;
    bool connectionRequired() const;
    NetworkStatus networkStatusForFlags(platform::ReachabilityFlags flags) const;
    NetworkStatus localWiFiStatusForFlags(platform::ReachabilityFlags flags) const;

    std::string className() const override { return "NetworkReachability"; }

private:
    NetworkReachability(std::shared_ptr<platform::Reachability> reachability, bool localWiFi);

    std::shared_ptr<platform::Reachability> reachabilityRef_;
    bool localWiFiRef_ = false;
};

} // namespace foundation
