#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One navigation message: a count of new items of one feature, shown in the
// message box.
struct NavMessageInfo final : platform::Object {
    int eventType = 0; // the feature, as a navigation type
    std::string content; // the notice text
    int count = 0; // number of new items
    std::string dateTimeStr; // "yyyy-MM-dd HH:mm:ss"
    std::string title; // from the navigation-message file only
    std::string viewController; // from the navigation-message file only

    // One item of the navigation-message reply ("eventType", "content",
    // "count", "dateTime"); null for anything but a dictionary.
    static std::shared_ptr<NavMessageInfo> navMessageWithObj(const platform::Value& obj);
    // One entry of the navigation-message file ("dateTimeStr", "title" and
    // "viewController" too); null for anything but a dictionary.
    static std::shared_ptr<NavMessageInfo> navMessageWithFileEntry(const platform::Value& entry);
    // The entry as the file keeps it.
    platform::Dictionary fileEntry() const;

    std::string className() const override { return "NavMessageInfo"; }
};

} // namespace core
