#pragma once

#include "tests/support/LoopAndMemoryWatch.h"

#include <memory>

// What a test reads of the process while something heavy runs: its peak
// memory (LoopAndMemoryWatch.h) and the main loop's longest pause. Bounds on them in tests are
// generous (sanitizers inflate both); the figures themselves are the
// benchmarks' business.
namespace testsupport {

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
