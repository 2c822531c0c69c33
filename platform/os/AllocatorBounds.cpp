#include "platform/os/AllocatorBounds.h"

#include <malloc.h>

#include <atomic>

namespace platform {

namespace {
    std::atomic<AllocatorBoundsState> state { AllocatorBoundsState::NotAsked };
}

bool setAllocatorBounds()
{
    const bool mapped = mallopt(M_MMAP_THRESHOLD, kMapBlocksFrom) == 1;
    const bool trimmed = mallopt(M_TRIM_THRESHOLD, kTrimHeapTopFrom) == 1;
    state = mapped && trimmed ? AllocatorBoundsState::Set : AllocatorBoundsState::Refused;
    return mapped && trimmed;
}

AllocatorBoundsState allocatorBoundsState() { return state; }

} // namespace platform
