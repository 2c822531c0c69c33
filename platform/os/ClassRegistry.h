#pragma once

#include "platform/os/Value.h"

#include <concepts>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

// A class that is made by name writes that name once, in its own body:
//     class UIButton : public UIControl {
//     public:
//         ORB_CLASS_NAME(UIButton)
// It gives the class the constant kClassName, which the registry and the
// layout loader read, and a className() answering the same text, so the name
// a layout file or a screen table asks for cannot drift from the name the
// class was registered under. The macro's argument is the class itself (a
// type), so a misspelt name does not compile, and registerClass<T>() refuses a
// class whose declared name is not its own (inherited from a base, or copied
// from another class).
#define ORB_CLASS_NAME(Name)                                                                                           \
    using OrbNamedClass = Name;                                                                                        \
    static constexpr std::string_view kClassName = #Name;                                                              \
    std::string className() const override { return std::string(kClassName); }

namespace platform {

// A class that declares its own name with ORB_CLASS_NAME.
template <class T>
concept NamedClass = std::is_base_of_v<Object, T> && requires {
    typename T::OrbNamedClass;
    { T::kClassName } -> std::convertible_to<std::string_view>;
} && std::is_same_v<typename T::OrbNamedClass, T>;

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
    // Registers the class under the name it declares (ORB_CLASS_NAME).
    template <class T> bool registerClass()
    {
        static_assert(NamedClass<T>, "declare the class's own name with ORB_CLASS_NAME before registering it");
        return registerClass(
            std::string(T::kClassName), [] { return std::static_pointer_cast<Object>(std::make_shared<T>()); });
    }
    // Under another name: test doubles and stand-ins for classes that do not exist yet.
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
    // A new object of the named class T, made through its registration.
    template <NamedClass T> std::shared_ptr<T> create() const { return createAs<T>(T::kClassName); }
    template <NamedClass T> bool contains() const { return contains(T::kClassName); }
    bool contains(std::string_view name) const;
    // Registered names, sorted.
    std::vector<std::string> names() const;

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Factory> factories_;
};

} // namespace platform
