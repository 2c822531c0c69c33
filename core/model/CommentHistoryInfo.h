#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One comment given to a student earlier.
struct CommentHistoryInfo final : platform::Object {
    std::string content;
    std::string dateTime;
    std::string rankIco; // as the server gives it
    std::string time;

    // From one row ("content", "dateTime", "rankIco", "time"); null for
    // anything but a dictionary.
    static std::shared_ptr<CommentHistoryInfo> commentHistoryWithObj(const platform::Value& obj);

    std::string className() const override { return "CommentHistoryInfo"; }
};

} // namespace core
