#include "core/model/ContactInfo.h"
#include "core/model/GroupInfo.h"
#include "core/model/ReplyReading.h"

#include "foundation/codec/PinyinConverter.h"
#include "platform/os/StringUtil.h"

#include <cmath>

namespace core {

using platform::Value;

namespace {

    // The address-book reply gives ids and kinds as numbers; a text that
    // looks like one is of the wrong kind.
    bool readNumber(const Value& value, int& out)
    {
        if (!value.isNumber() || !std::isfinite(value.doubleValue()))
            return false;
        out = value.intValue();
        return true;
    }

} // namespace

std::shared_ptr<ContactInfo> ContactInfo::contactWithObj(const Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto contact = std::make_shared<ContactInfo>();
    if (!readNumber(obj["linkManId"], contact->uid) || !reply::readText(obj["thumbAvatar"], contact->thumbAvatar)
        || !reply::readText(obj["orgUserPic"], contact->avatar) || !readNumber(obj["linkManType"], contact->type))
        return nullptr;
    if (!reply::readText(obj["linkManName"], contact->name))
        contact->name = kUnknownName;
    reply::readText(obj["remarks"], contact->remarks);
    reply::readText(obj["phone"], contact->phone);
    if (const Value& customer = obj["isCustomer"]; customer.isNumber())
        contact->isCustomer = customer.doubleValue() == 1;
    else
        contact->isCustomer = true;
    if (const std::string* dial = obj["dialReq"].asString(); dial && !dial->empty())
        contact->ctdUrl = *dial;
    return contact;
}

std::vector<std::shared_ptr<ContactInfo>> ContactInfo::contactsWithItems(
    const Value& items, const std::string& groupUid)
{
    std::vector<std::shared_ptr<ContactInfo>> contacts;
    reply::forEachObject(items, [&](const Value& item) {
        if (auto contact = contactWithObj(item)) {
            contact->groupUid = groupUid;
            contact->updatePinyin();
            contacts.push_back(std::move(contact));
        }
    });
    return contacts;
}

void ContactInfo::updatePinyin()
{
    // The section letter is a whole character: a name that starts with "É"
    // must not store the lone lead byte of its UTF-8 form. Bytes that are not
    // a character at all get the same "#" as a name without pinyin.
    pinyin = foundation::PinyinConverter::quickConvert(name);
    if (pinyin.empty())
        pinyin = "#";
    firstC = platform::firstCharacter(pinyin);
    if (firstC.empty())
        firstC = "#";
}

std::shared_ptr<GroupInfo> GroupInfo::groupWithObj(const Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto group = std::make_shared<GroupInfo>();
    reply::readText(obj["groupId"], group->uid);
    reply::readText(obj["groupName"], group->name);
    readNumber(obj["groupType"], group->type);
    return group;
}

std::vector<std::shared_ptr<GroupInfo>> GroupInfo::groupsWithItems(const Value& items)
{
    std::vector<std::shared_ptr<GroupInfo>> groups;
    reply::forEachObject(items, [&](const Value& item) { groups.push_back(groupWithObj(item)); });
    return groups;
}

std::string GroupInfo::description() const { return "group name:" + name; }

} // namespace core
