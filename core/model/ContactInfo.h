#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>
#include <vector>

namespace core {

// One person of the school address book, as the address-book reply and the
// message items give it. Optional texts are empty when absent.
struct ContactInfo final : platform::Object {
    int uid = 0; // "linkManId"
    std::string groupUid; // the group it was stored under
    std::string groupName; // read back from the group
    std::string name; // "linkManName"
    std::string firstC; // first letter of pinyin ("#" for an empty name)
    std::string pinyin; // the name in pinyin, upper case
    std::string remarks; // "remarks"
    std::string thumbAvatar; // "thumbAvatar"
    std::string avatar; // "orgUserPic"
    std::string phone; // "phone"
    int type = 0; // "linkManType"
    bool isCustomer = false; // "isCustomer"
    bool selected = false; // chosen in a receiver picker; not stored
    int badge = 0; // unread messages from this person (message store)
    std::string ctdUrl; // "dialReq": the call-back address

    static constexpr const char* kUnknownName = "未知联系人";

    // Null for anything but a dictionary and when "linkManId", "thumbAvatar",
    // "orgUserPic" or "linkManType" is missing or of the wrong kind. A missing
    // name reads as "未知联系人"; "isCustomer" is true unless it is a number
    // other than 1.
    static std::shared_ptr<ContactInfo> contactWithObj(const platform::Value& obj);
    // The contacts of one group of an address-book reply, ready to store:
    // items that give no contact are skipped, each contact gets the group's
    // id and its pinyin. A value that is not a list gives none.
    static std::vector<std::shared_ptr<ContactInfo>> contactsWithItems(
        const platform::Value& items, const std::string& groupUid);

    // Sets `pinyin` from the name and `firstC` from its first letter; both are
    // "#" when the name gives no letters.
    void updatePinyin();

    std::string className() const override { return "ContactInfo"; }
};

} // namespace core
