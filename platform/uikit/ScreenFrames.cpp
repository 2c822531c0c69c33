#include "platform/uikit/ScreenFrames.h"

#include <utility>
#include <vector>

namespace platform {

namespace {

    struct State {
        bool presenting = false;
        std::uint64_t shown = 0;
        std::vector<Task> waiting;
    };

    State& state()
    {
        static State instance;
        return instance;
    }

    void postWaiting()
    {
        auto work = std::move(state().waiting);
        state().waiting.clear();
        for (auto& task : work)
            postToMain(std::move(task));
    }

} // namespace

void ScreenFrames::afterNextFrame(Task work)
{
    if (!work)
        return;
    if (!state().presenting) {
        postToMain(std::move(work));
        return;
    }
    state().waiting.push_back(std::move(work));
}

void ScreenFrames::setPresenting(bool presenting)
{
    state().presenting = presenting;
    if (!presenting)
        postWaiting();
}

bool ScreenFrames::isPresenting() { return state().presenting; }

void ScreenFrames::frameShown()
{
    ++state().shown;
    postWaiting();
}

std::uint64_t ScreenFrames::shownCount() { return state().shown; }

std::size_t ScreenFrames::waitingCount() { return state().waiting.size(); }

} // namespace platform
