#include "platform/os/AllocatorBounds.h"

#include <malloc.h>

namespace platform {

void setAllocatorBounds()
{
    mallopt(M_MMAP_THRESHOLD, kMapBlocksFrom);
    mallopt(M_TRIM_THRESHOLD, kTrimHeapTopFrom);
}

} // namespace platform
