#include "platform/os/Uuid.h"

#include "platform/os/Log.h"

#include <atomic>
#include <unistd.h>
#include <uuid/uuid.h>

namespace platform {

std::string makeUuidString()
{
    uuid_t id;
    uuid_generate_random(id);
    char text[37];
    uuid_unparse_upper(id, text);
    return std::string(text, 36);
}

std::string globallyUniqueString()
{
    static std::atomic<unsigned long long> counter { 0 };
    unsigned long long n = ++counter;
    return makeUuidString() + format("-%d-%016llX", static_cast<int>(getpid()), n);
}

} // namespace platform
