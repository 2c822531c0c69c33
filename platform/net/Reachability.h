#pragma once

#include "platform/os/RunLoop.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Reachability flags, with the phone's bit values.
enum ReachabilityFlag : std::uint32_t {
    kReachabilityFlagTransientConnection = 1u << 0,
    kReachabilityFlagReachable = 1u << 1,
    kReachabilityFlagConnectionRequired = 1u << 2,
    kReachabilityFlagConnectionOnTraffic = 1u << 3,
    kReachabilityFlagInterventionRequired = 1u << 4,
    kReachabilityFlagConnectionOnDemand = 1u << 5,
    kReachabilityFlagIsLocalAddress = 1u << 16,
    kReachabilityFlagIsDirect = 1u << 17,
    kReachabilityFlagIsWWAN = 1u << 18,
};
using ReachabilityFlags = std::uint32_t;

// What a reachability object asks about: a host name, or an IPv4 address
// (octets in network order; 0.0.0.0 stands for "any route to the internet").
struct ReachabilityTarget {
    std::string hostName;
    std::optional<std::array<std::uint8_t, 4>> ipv4Address;
};

// Where the flags come from. The Linux default looks at the interfaces
// (getifaddrs); tests install their own provider with fixed flags.
class ReachabilityProvider {
public:
    virtual ~ReachabilityProvider() = default;
    // nullopt when the flags cannot be read. Called on any thread.
    virtual std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget& target) = 0;
};

// The Linux provider. Never blocks (no DNS) and never claims WWAN: Linux
// cannot honestly tell a mobile link.
// - Loopback targets ("localhost", "*.localhost", 127.0.0.0/8, "::1"): reachable,
//   direct, local address.
// - An address on a directly attached IPv4 subnet (including 169.254.0.0/16
//   when an IPv4 interface is up): reachable and direct; an address of this
//   machine also local address.
// - Anything else (host names, 0.0.0.0, other addresses): reachable when a
//   non-loopback interface is up and running with an address, else 0.
class SystemReachabilityProvider final : public ReachabilityProvider {
public:
    std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget& target) override;
};

// A provider whose answer tests set (thread-safe); nullopt until set.
class FixedReachabilityProvider final : public ReachabilityProvider {
public:
    explicit FixedReachabilityProvider(std::optional<ReachabilityFlags> flags = std::nullopt);
    void setFlags(std::optional<ReachabilityFlags> flags);
    std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget& target) override;

private:
    std::mutex mutex_;
    std::optional<ReachabilityFlags> flags_;
};

// One reachability query object, the platform's reachability reference.
class Reachability final : public std::enable_shared_from_this<Reachability> {
public:
    using Callback = std::function<void(Reachability& reachability, ReachabilityFlags flags)>;

    // nullptr for an empty name or one that cannot be a host name.
    static std::shared_ptr<Reachability> createWithName(std::string_view hostName);
    static std::shared_ptr<Reachability> createWithAddress(std::array<std::uint8_t, 4> ipv4Address);

    // The process-wide provider; nullptr puts the system provider back.
    static void setProvider(std::shared_ptr<ReachabilityProvider> provider);
    static std::shared_ptr<ReachabilityProvider> provider();

    ~Reachability();
    const ReachabilityTarget& target() const { return target_; }

    // The current flags; nullopt when they cannot be read.
    std::optional<ReachabilityFlags> getFlags() const;

    // Change notification. The callback runs on the loop the object is
    // scheduled on, whenever the flags differ from the last ones seen
    // (checked every pollInterval seconds of that loop's clock; nothing runs
    // until scheduled). Scheduling answers false without a callback or when
    // already scheduled. Call both on the loop's thread.
    bool setCallback(Callback callback);
    bool scheduleWithRunLoop(RunLoop& loop, std::string mode = kDefaultRunLoopMode, double pollInterval = 2.0);
    void unscheduleFromRunLoop();
    bool isScheduled() const;

private:
    explicit Reachability(ReachabilityTarget target);
    void poll();

    ReachabilityTarget target_;
    Callback callback_;
    RunLoop* loop_ = nullptr;
    RunLoop::TimerId timer_ = 0;
    std::optional<ReachabilityFlags> lastFlags_;
};

} // namespace platform
