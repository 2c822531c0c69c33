#include "platform/os/LoadedModule.h"

#include <dlfcn.h>

namespace platform {

ModuleOpener::ModuleOpener(Kind kind)
    : kind_(std::move(kind))
{
}

const void* ModuleOpener::open(std::string* reason)
{
    if (const void* table = table_.load(std::memory_order_acquire))
        return table;
    std::lock_guard<std::mutex> guard(mutex_);
    if (const void* table = table_.load(std::memory_order_relaxed))
        return table;
    std::string tried;
    auto refused = [&tried](const std::string& why) { tried += (tried.empty() ? "" : "; ") + why; };
    for (const auto& candidate : kind_.candidates()) {
        // Never closed, even when it is not the module: what a library
        // brings is not made to be unloaded.
        void* handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!handle) {
            // Missing, or its libraries are (dlerror names which).
            const char* why = ::dlerror();
            refused(why ? why : candidate);
            continue;
        }
        void* entry = ::dlsym(handle, kind_.entryName);
        const void* table = entry ? kind_.tableOf(entry) : nullptr;
        if (!table) {
            refused(candidate + " does not belong to this program");
            continue;
        }
        table_.store(table, std::memory_order_release);
        return table;
    }
    if (reason)
        *reason = kind_.name + " could not be loaded: " + (tried.empty() ? std::string("no module") : tried);
    return nullptr;
}

} // namespace platform
