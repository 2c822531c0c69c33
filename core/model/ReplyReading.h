#pragma once

#include "platform/os/Value.h"

#include <functional>
#include <optional>
#include <string>

namespace core {

// Kind-checked readers for server replies. A reply may hold anything where a
// field is expected (null, a list, a text where a number belongs), and none
// of that may reach a model: a value of the wrong kind leaves the field as it
// was, which for a fresh model is its initial value.
namespace reply {

    // A number, or a text made only of an optional sign and decimal digits
    // (surrounding white space allowed). Clamped to the 32-bit range.
    bool readInteger(const platform::Value& value, int& out);
    bool readInteger(const platform::Value& value, long long& out);
    // Texts only.
    bool readText(const platform::Value& value, std::string& out);

    // The integer a value stands for, or 0.
    int integerOf(const platform::Value& value);
    // The text a value holds, or nothing.
    std::optional<std::string> textOf(const platform::Value& value);

    // Calls the function for each dictionary of a list, in order. Elements that
    // are not dictionaries are skipped and a value that is not a list counts as
    // an empty one.
    void forEachObject(const platform::Value& list, const std::function<void(const platform::Value& object)>& function);

    // One model per dictionary of the list, made by the factory; factories that
    // answer null skip the element.
    template <class Factory> platform::Array modelsOf(const platform::Value& list, Factory factory)
    {
        platform::Array models;
        forEachObject(list, [&](const platform::Value& object) {
            if (auto model = factory(object))
                models.emplace_back(model);
        });
        return models;
    }

} // namespace reply
} // namespace core
