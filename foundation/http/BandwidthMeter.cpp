#include "foundation/http/BandwidthMeter.h"

#include <numeric>

namespace foundation {

namespace {

// At most this many one-second windows make up the average.
constexpr std::size_t kBandwidthHistory = 5;

} // namespace

BandwidthMeter& BandwidthMeter::shared()
{
    // Never destroyed: the network thread may still use it while the process exits.
    static auto* meter = new BandwidthMeter;
    return *meter;
}

void BandwidthMeter::addBytes(unsigned long bytes)
{
    std::lock_guard<std::mutex> lock(lock_);
    usedInLastSecond_ += bytes;
}

unsigned long BandwidthMeter::averagePerSecond() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return average_;
}

void BandwidthMeter::record()
{
    std::lock_guard<std::mutex> lock(lock_);
    recordLocked();
}

// Closes the current window. Each whole second that passed since it ended
// recorded nothing, and takes one old window out of the average with it.
void BandwidthMeter::recordLocked()
{
    double now = clock_->now();
    if (usedInLastSecond_ == 0) {
        usageTracker_.clear();
    } else {
        double idle = measurementDate_ ? now - *measurementDate_ : 0;
        while (!usageTracker_.empty() && (idle >= 1.0 || usageTracker_.size() >= kBandwidthHistory)) {
            usageTracker_.pop_front();
            idle -= 1.0;
        }
    }
    usageTracker_.push_back(usedInLastSecond_);
    measurementDate_ = now + 1.0;
    usedInLastSecond_ = 0;
    unsigned long long sum = std::accumulate(usageTracker_.begin(), usageTracker_.end(), 0ULL);
    average_ = static_cast<unsigned long>(sum / usageTracker_.size());
}

void BandwidthMeter::measure()
{
    std::lock_guard<std::mutex> lock(lock_);
    if (!measurementDate_ || *measurementDate_ <= clock_->now())
        recordLocked();
    if (isThrottledLocked() && maxPerSecond_ > 0) {
        long long remaining = static_cast<long long>(maxPerSecond_) - static_cast<long long>(usedInLastSecond_);
        // Overuse is paid back after the window: streams stay paused for as
        // long as the excess takes at the permitted rate.
        if (remaining < 0)
            wakeUpTime_ = *measurementDate_ + static_cast<double>(-remaining) / static_cast<double>(maxPerSecond_);
    }
}

bool BandwidthMeter::isThrottledLocked() const
{
    if (mobileNetworkActive_)
        return true;
    if (mobileOnly_)
        return false;
    return maxPerSecond_ > 0;
}

bool BandwidthMeter::isThrottled() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return isThrottledLocked();
}

bool BandwidthMeter::isPaused() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return isThrottledLocked() && wakeUpTime_ && *wakeUpTime_ > clock_->now();
}

std::optional<double> BandwidthMeter::wakeUpTime() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return wakeUpTime_;
}

unsigned long BandwidthMeter::maxPerSecond() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return maxPerSecond_;
}

void BandwidthMeter::setMaxPerSecond(unsigned long bytes)
{
    std::lock_guard<std::mutex> lock(lock_);
    maxPerSecond_ = bytes;
}

unsigned long BandwidthMeter::maxUploadReadLength()
{
    std::lock_guard<std::mutex> lock(lock_);
    unsigned long allowance = maxPerSecond_ / 4;
    if (maxPerSecond_ > 0 && usedInLastSecond_ + allowance > maxPerSecond_)
        allowance = maxPerSecond_ > usedInLastSecond_ ? maxPerSecond_ - usedInLastSecond_ : 0;
    if (allowance == 0 || !measurementDate_ || *measurementDate_ <= clock_->now())
        wakeUpTime_ = measurementDate_;
    return allowance;
}

std::size_t BandwidthMeter::throttledReadLength(std::size_t readSize) const
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (maxPerSecond_ > 0) {
            long long allowance = static_cast<long long>(maxPerSecond_) - static_cast<long long>(usedInLastSecond_);
            if (allowance < 0)
                readSize = 1;
            else if (static_cast<std::size_t>(allowance / 4) < readSize)
                readSize = static_cast<std::size_t>(allowance / 4);
        }
    }
    // Never a read of nothing: the stream's buffer must keep draining.
    return readSize < 1 ? 1 : readSize;
}

void BandwidthMeter::throttleOnlyOnMobileNetwork(unsigned long limit)
{
    std::lock_guard<std::mutex> lock(lock_);
    mobileOnly_ = true;
    maxPerSecond_ = limit;
}

void BandwidthMeter::setMobileNetworkActive(bool active)
{
    std::lock_guard<std::mutex> lock(lock_);
    mobileNetworkActive_ = active;
}

void BandwidthMeter::stopThrottling()
{
    std::lock_guard<std::mutex> lock(lock_);
    maxPerSecond_ = 0;
    mobileOnly_ = false;
    mobileNetworkActive_ = false;
}

void BandwidthMeter::setClock(std::shared_ptr<platform::Clock> clock)
{
    std::lock_guard<std::mutex> lock(lock_);
    clock_ = clock ? std::move(clock) : platform::Clock::steady();
    usedInLastSecond_ = 0;
    usageTracker_.clear();
    measurementDate_.reset();
    average_ = 0;
    wakeUpTime_.reset();
}

} // namespace foundation
