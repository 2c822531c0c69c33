#include "tests/support/LoopFigures.h"

#include "platform/os/RunLoop.h"
#include "tests/support/ProcessUtil.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace testsupport {

namespace {
    // A "Name:   123 kB" field of /proc/self/status, in bytes.
    std::size_t statusBytes(const std::string& name)
    {
        std::istringstream lines(readTextFile("/proc/self/status"));
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind(name + ":", 0) == 0)
                return std::size_t(std::stoull(line.substr(name.size() + 1))) * 1024;
        }
        return 0;
    }
} // namespace

std::size_t residentBytes() { return statusBytes("VmRSS"); }

std::size_t peakResidentBytes() { return statusBytes("VmHWM"); }

void resetPeakResident()
{
    std::ofstream refs("/proc/self/clear_refs");
    refs << "5";
}

struct MainLoopGapMeter::State {
    using Clock = std::chrono::steady_clock;
    bool running = true;
    Clock::time_point last = Clock::now();
    double longest = 0;
    std::function<void()> tick;
};

MainLoopGapMeter::MainLoopGapMeter()
    : state_(std::make_shared<State>())
{
    std::weak_ptr<State> weak = state_;
    state_->tick = [weak] {
        auto state = weak.lock();
        if (!state || !state->running)
            return;
        auto now = State::Clock::now();
        state->longest = std::max(state->longest, std::chrono::duration<double>(now - state->last).count());
        state->last = now;
        platform::RunLoop::main().post(state->tick);
    };
    platform::RunLoop::main().post(state_->tick);
}

MainLoopGapMeter::~MainLoopGapMeter() { state_->running = false; }

double MainLoopGapMeter::longestGapSeconds() const { return state_->longest; }

void MainLoopGapMeter::restart()
{
    state_->longest = 0;
    state_->last = State::Clock::now();
}

} // namespace testsupport
