#include "platform/net/Reachability.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace platform {

namespace {

    std::mutex providerMutex;
    std::shared_ptr<ReachabilityProvider> currentProvider;

    std::string lower(std::string_view text)
    {
        std::string out(text);
        std::transform(
            out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return out;
    }

    bool endsWith(std::string_view text, std::string_view suffix)
    {
        return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
    }

    std::optional<std::uint32_t> parseIpv4(const std::string& text)
    {
        in_addr address {};
        if (inet_pton(AF_INET, text.c_str(), &address) != 1)
            return std::nullopt;
        return ntohl(address.s_addr);
    }

    std::uint32_t hostOrder(const std::array<std::uint8_t, 4>& octets)
    {
        return (std::uint32_t(octets[0]) << 24) | (std::uint32_t(octets[1]) << 16) | (std::uint32_t(octets[2]) << 8)
            | std::uint32_t(octets[3]);
    }

} // namespace

std::optional<ReachabilityFlags> SystemReachabilityProvider::flagsForTarget(const ReachabilityTarget& target)
{
    constexpr ReachabilityFlags kLoopbackFlags
        = kReachabilityFlagReachable | kReachabilityFlagIsDirect | kReachabilityFlagIsLocalAddress;

    std::optional<std::uint32_t> address;
    if (target.ipv4Address) {
        address = hostOrder(*target.ipv4Address);
    } else {
        std::string name = lower(target.hostName);
        if (name == "localhost" || endsWith(name, ".localhost") || name == "::1" || name == "[::1]")
            return kLoopbackFlags;
        address = parseIpv4(name);
    }
    if (address && (*address >> 24) == 127)
        return kLoopbackFlags;

    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return std::nullopt;
    bool anyInterface = false;
    bool anyIpv4Interface = false;
    bool direct = false;
    bool local = false;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || (entry->ifa_flags & IFF_LOOPBACK) || !(entry->ifa_flags & IFF_UP)
            || !(entry->ifa_flags & IFF_RUNNING))
            continue;
        int family = entry->ifa_addr->sa_family;
        if (family == AF_INET6) {
            // A link-local IPv6 address alone reaches nothing beyond the link.
            auto* in6 = reinterpret_cast<sockaddr_in6*>(entry->ifa_addr);
            if (!IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr))
                anyInterface = true;
            continue;
        }
        if (family != AF_INET)
            continue;
        anyInterface = true;
        anyIpv4Interface = true;
        if (!address || !entry->ifa_netmask)
            continue;
        std::uint32_t own = ntohl(reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        std::uint32_t mask = ntohl(reinterpret_cast<sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
        if (*address == own)
            local = true;
        if (*address != 0 && (*address & mask) == (own & mask))
            direct = true;
    }
    freeifaddrs(list);

    if (address && (*address >> 16) == 0xA9FE && anyIpv4Interface)
        direct = true; // 169.254.0.0/16: the local link itself
    if (local)
        return kLoopbackFlags;
    if (direct)
        return kReachabilityFlagReachable | kReachabilityFlagIsDirect;
    return anyInterface ? kReachabilityFlagReachable : ReachabilityFlags(0);
}

FixedReachabilityProvider::FixedReachabilityProvider(std::optional<ReachabilityFlags> flags)
    : flags_(flags)
{
}

void FixedReachabilityProvider::setFlags(std::optional<ReachabilityFlags> flags)
{
    std::lock_guard lock(mutex_);
    flags_ = flags;
}

std::optional<ReachabilityFlags> FixedReachabilityProvider::flagsForTarget(const ReachabilityTarget&)
{
    std::lock_guard lock(mutex_);
    return flags_;
}

void Reachability::setProvider(std::shared_ptr<ReachabilityProvider> provider)
{
    std::lock_guard lock(providerMutex);
    currentProvider = std::move(provider);
}

std::shared_ptr<ReachabilityProvider> Reachability::provider()
{
    std::lock_guard lock(providerMutex);
    if (!currentProvider)
        currentProvider = std::make_shared<SystemReachabilityProvider>();
    return currentProvider;
}

std::shared_ptr<Reachability> Reachability::createWithName(std::string_view hostName)
{
    if (hostName.empty() || hostName.size() > 253)
        return nullptr;
    for (unsigned char c : hostName) {
        if (!(std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == ':' || c == '[' || c == ']'))
            return nullptr;
    }
    return std::shared_ptr<Reachability>(new Reachability({ std::string(hostName), std::nullopt }));
}

std::shared_ptr<Reachability> Reachability::createWithAddress(std::array<std::uint8_t, 4> ipv4Address)
{
    return std::shared_ptr<Reachability>(new Reachability({ {}, ipv4Address }));
}

Reachability::Reachability(ReachabilityTarget target)
    : target_(std::move(target))
{
}

Reachability::~Reachability()
{
    if (!loop_)
        return;
    if (loop_->isCurrent()) {
        loop_->cancelTimer(timer_);
    } else {
        RunLoop* loop = loop_;
        RunLoop::TimerId timer = timer_;
        loop->post([loop, timer] { loop->cancelTimer(timer); }, kCommonRunLoopModes);
    }
}

std::optional<ReachabilityFlags> Reachability::getFlags() const { return provider()->flagsForTarget(target_); }

bool Reachability::setCallback(Callback callback)
{
    callback_ = std::move(callback);
    return true;
}

bool Reachability::scheduleWithRunLoop(RunLoop& loop, std::string mode, double pollInterval)
{
    if (!callback_ || loop_ || pollInterval <= 0)
        return false;
    loop_ = &loop;
    lastFlags_ = getFlags();
    std::weak_ptr<Reachability> weak = weak_from_this();
    timer_ = loop.addTimer(
        pollInterval, pollInterval,
        [weak] {
            if (auto self = weak.lock())
                self->poll();
        },
        std::move(mode));
    return true;
}

void Reachability::unscheduleFromRunLoop()
{
    if (!loop_)
        return;
    loop_->cancelTimer(timer_);
    loop_ = nullptr;
    timer_ = 0;
}

bool Reachability::isScheduled() const { return loop_ != nullptr; }

void Reachability::poll()
{
    auto flags = getFlags();
    if (flags == lastFlags_)
        return;
    lastFlags_ = flags;
    if (callback_) {
        Callback call = callback_;
        call(*this, flags.value_or(0));
    }
}

} // namespace platform
