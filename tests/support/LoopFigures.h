#pragma once

#include <cstddef>
#include <memory>

// What a test reads of the process while something heavy runs: its peak
// memory and the main loop's longest pause. Bounds on them in tests are
// generous (sanitizers inflate both); the figures themselves are the
// benchmarks' business.
namespace testsupport {

// The memory the process has resident now (VmRSS).
std::size_t residentBytes();
// The most memory the process has had resident since the last reset (VmHWM).
std::size_t peakResidentBytes();
// Starts the peak afresh from what is resident now.
void resetPeakResident();

// While it lives, the main loop takes one small task of its own on every
// turn; the meter keeps the longest time between two of them, which is the
// longest time the loop was held by anything else.
class MainLoopGapMeter final {
public:
    MainLoopGapMeter();
    ~MainLoopGapMeter();
    MainLoopGapMeter(const MainLoopGapMeter&) = delete;
    MainLoopGapMeter& operator=(const MainLoopGapMeter&) = delete;

    double longestGapSeconds() const;
    // Forgets the gaps so far.
    void restart();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace testsupport
