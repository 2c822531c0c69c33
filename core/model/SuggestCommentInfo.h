#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One of the comments the server suggests for a student.
struct SuggestCommentInfo final : platform::Object {
    int sort = 0;
    std::string type;
    std::string content;
    bool isSelected = false;

    // From one row ("sort", "type", "content"); null for anything but a dictionary.
    static std::shared_ptr<SuggestCommentInfo> suggestCommentWithObj(const platform::Value& obj);

    std::string className() const override { return "SuggestCommentInfo"; }
};

} // namespace core
