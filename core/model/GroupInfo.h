#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>
#include <vector>

namespace core {

// One group of the school address book.
struct GroupInfo final : platform::Object {
    std::string uid; // "groupId"
    std::string name; // "groupName"
    int type = 0; // "groupType"
    int selectCount = 0; // receivers picked in this group; not stored
    int totalCount = 0; // the group's contacts, as stored

    // Null for anything but a dictionary; copies whichever keys are present
    // with the right kind.
    static std::shared_ptr<GroupInfo> groupWithObj(const platform::Value& obj);
    // The groups of a reply list; a value that is not a list gives none.
    static std::vector<std::shared_ptr<GroupInfo>> groupsWithItems(const platform::Value& items);

    std::string className() const override { return "GroupInfo"; }
    // "group name:<name>"
    std::string description() const override;
};

} // namespace core
