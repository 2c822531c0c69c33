#include "platform/os/ClassRegistry.h"

#include "platform/os/Log.h"

#include <algorithm>

namespace platform {

ClassRegistry& ClassRegistry::shared()
{
    static ClassRegistry registry;
    return registry;
}

bool ClassRegistry::registerClass(std::string name, Factory factory)
{
    if (name.empty() || !factory)
        return false;
    std::lock_guard lock(mutex_);
    factories_[std::move(name)] = std::move(factory);
    return true;
}

bool ClassRegistry::unregisterClass(std::string_view name)
{
    std::lock_guard lock(mutex_);
    auto it = factories_.find(std::string(name));
    if (it == factories_.end())
        return false;
    factories_.erase(it);
    return true;
}

std::shared_ptr<Object> ClassRegistry::create(std::string_view name) const
{
    Factory factory;
    {
        std::lock_guard lock(mutex_);
        auto it = factories_.find(std::string(name));
        if (it == factories_.end())
            return nullptr;
        factory = it->second;
    }
    // Called outside the lock: a factory may create its parts through the registry.
    try {
        return factory();
    } catch (const std::exception& e) {
        log("ClassRegistry: creating %.*s failed: %s", static_cast<int>(name.size()), name.data(), e.what());
        return nullptr;
    }
}

bool ClassRegistry::contains(std::string_view name) const
{
    std::lock_guard lock(mutex_);
    return factories_.find(std::string(name)) != factories_.end();
}

std::vector<std::string> ClassRegistry::names() const
{
    std::vector<std::string> out;
    {
        std::lock_guard lock(mutex_);
        out.reserve(factories_.size());
        for (const auto& entry : factories_)
            out.push_back(entry.first);
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace platform
