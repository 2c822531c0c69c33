#pragma once

#include "platform/os/RunLoop.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace foundation {

// The engine's bandwidth meter and throttle. It counts the body bytes read
// and sent in one-second windows (the last five make the average) and, with a
// maximum set, decides until when throttled streams stay paused: the overuse
// of a window is paid back at the permitted rate after the window ends.
//
// One meter serves every request (shared()); its lock is a leaf, so it may be
// asked from under any request's lock, on any thread.
class BandwidthMeter final {
public:
    static BandwidthMeter& shared();

    void addBytes(unsigned long bytes);
    unsigned long averagePerSecond() const;
    // Closes the current window.
    void record();
    // Closes the window when it has ended, and decides the pause for overuse.
    void measure();

    // Whether reads and sends are held to the maximum now: a maximum is set
    // and applies (always, or only while on the mobile network).
    bool isThrottled() const;
    // Whether throttled streams are paused now: the wake-up time lies ahead.
    bool isPaused() const;
    std::optional<double> wakeUpTime() const;
    unsigned long maxPerSecond() const;
    void setMaxPerSecond(unsigned long bytes);
    // What an upload may read now: a quarter of the maximum, or what is left
    // of this window's allowance; with nothing left, streams wait for the
    // window's end.
    unsigned long maxUploadReadLength();
    // The read size under throttling: a quarter of what is left of this
    // window's allowance, never below one byte.
    std::size_t throttledReadLength(std::size_t readSize) const;

    // Throttling only on the mobile network, at this limit; `active` says
    // whether the route is a mobile one now.
    void throttleOnlyOnMobileNetwork(unsigned long limit);
    void setMobileNetworkActive(bool active);
    // Throttling off altogether, mobile or not.
    void stopThrottling();

    // The meter's clock (the steady clock when null); also starts the meter afresh.
    void setClock(std::shared_ptr<platform::Clock> clock);

private:
    void recordLocked();
    bool isThrottledLocked() const;

    mutable std::mutex lock_;
    std::shared_ptr<platform::Clock> clock_ = platform::Clock::steady();
    unsigned long maxPerSecond_ = 0;
    unsigned long usedInLastSecond_ = 0;
    std::deque<unsigned long> usageTracker_;
    // When the current one-second window ends.
    std::optional<double> measurementDate_;
    unsigned long average_ = 0;
    std::optional<double> wakeUpTime_;
    bool mobileNetworkActive_ = false;
    bool mobileOnly_ = false;
};

} // namespace foundation
