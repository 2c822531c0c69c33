#pragma once

#include "platform/os/Value.h"

#include <string>

namespace core {

// The class-circle post being written, handed to the dispatcher as the
// "weiboInfo" parameter of a new post.
struct WeiboInfo final : platform::Object {
    int classId = 0; // the chosen post kind, sent as "pubType"
    std::string content;

    std::string className() const override { return "WeiboInfo"; }
};

} // namespace core
