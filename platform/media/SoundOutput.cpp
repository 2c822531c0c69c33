#include "platform/media/SoundOutput.h"

#include <mutex>

namespace platform {

namespace {

    std::mutex gOutputMutex;
    std::shared_ptr<SoundOutput>& installed()
    {
        static std::shared_ptr<SoundOutput> output;
        return output;
    }

} // namespace

std::shared_ptr<SoundOutput> SoundOutput::current()
{
    std::lock_guard lock(gOutputMutex);
    return installed();
}

void SoundOutput::setCurrent(std::shared_ptr<SoundOutput> output)
{
    std::lock_guard lock(gOutputMutex);
    installed() = std::move(output);
}

} // namespace platform
