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
