#pragma once

#include "platform/os/Value.h"

#include <string>

namespace core {

// The class notice being sent, handed to the dispatcher as the "noticeInfo"
// parameter.
struct NoticeInfo final : platform::Object {
    std::string startDate;
    std::string endDate;
    std::string title;
    std::string content;
    int classId = 0;

    std::string className() const override { return "NoticeInfo"; }
};

} // namespace core
