#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One activity of the hot-activity page.
struct HotActivityInfo final : platform::Object {
    int activityId = 0;
    std::string areaId;
    std::string townId;
    std::string title;
    std::string content;
    std::string createTime;
    std::string htmlUrl;

    // From one row ("id" and the keys named like the fields); null for
    // anything but a dictionary.
    static std::shared_ptr<HotActivityInfo> hotActivityWithObj(const platform::Value& obj);

    std::string className() const override { return "HotActivityInfo"; }
};

} // namespace core
