#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One picture of a class-circle post.
struct WeiboImage final : platform::Object {
    std::string original; // picture address
    std::string thumb; // thumbnail address

    // Null for anything but a dictionary.
    static std::shared_ptr<WeiboImage> initWithDictionary(const platform::Value& dictionary);

    std::string className() const override { return "WeiboImage"; }
};

} // namespace core
