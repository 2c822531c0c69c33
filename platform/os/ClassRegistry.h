#pragma once

#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

// Creates objects from class names, where the screens name the class to open
// as text (the function grid, navigation entries, layout files). Classes are
// registered explicitly at start-up; nothing registers itself.
class ClassRegistry final {
public:
    using Factory = std::function<std::shared_ptr<Object>()>;

    ClassRegistry() = default;
    ClassRegistry(const ClassRegistry&) = delete;
    ClassRegistry& operator=(const ClassRegistry&) = delete;

    // The application's registry.
    static ClassRegistry& shared();

    // Registers or replaces the factory for the name; false for an empty
    // name or factory. Returns true also on replacement.
    bool registerClass(std::string name, Factory factory);
    template <class T>
    requires std::is_base_of_v<Object, T>
    bool registerClass(std::string name)
    {
        return registerClass(std::move(name), [] { return std::static_pointer_cast<Object>(std::make_shared<T>()); });
    }
    bool unregisterClass(std::string_view name);

    // A new object, or nullptr for an unknown name (or a factory that fails).
    std::shared_ptr<Object> create(std::string_view name) const;
    template <class T> std::shared_ptr<T> createAs(std::string_view name) const
    {
        return std::dynamic_pointer_cast<T>(create(name));
    }
    bool contains(std::string_view name) const;
    // Registered names, sorted.
    std::vector<std::string> names() const;

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Factory> factories_;
};

} // namespace platform
