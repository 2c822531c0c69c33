#include "contacts/book/AddressBookImport.h"

#include "platform/os/UserDefaults.h"

#include <cstdio>

namespace contacts {

namespace {
    constexpr std::size_t kGroupIdPrefixLength = 3;

    std::size_t characterCount(const std::string& text)
    {
        std::size_t count = 0;
        for (unsigned char c : text) {
            if ((c & 0xC0) != 0x80)
                ++count;
        }
        return count;
    }
} // namespace

std::optional<AddressBook> importAddressBook(const platform::Value& reply)
{
    const platform::Array* groups = reply.asArray();
    if (!groups)
        return std::nullopt;
    AddressBook book;
    for (const auto& entry : *groups) {
        const platform::Value& id = entry["groupId"];
        if (!entry.isDictionary() || !id.isString() || characterCount(*id.asString()) < kGroupIdPrefixLength
            || !entry["items"].isArray())
            return std::nullopt;
        auto group = core::GroupInfo::groupWithObj(entry);
        group->uid = *id.asString();
        core::ContactList list;
        for (const auto& item : *entry["items"].asArray()) {
            auto contact = core::ContactInfo::contactWithObj(item);
            if (!contact)
                continue;
            if (contact->name.empty()) {
                contact->pinyin = "#";
                contact->firstC = "#";
            } else {
                contact->updatePinyin();
            }
            contact->groupUid = group->uid;
            contact->groupName = group->name;
            list.push_back(std::move(contact));
        }
        book.groups.push_back(std::move(group));
        book.contacts.push_back(std::move(list));
    }
    return book;
}

AddressBookRecord::AddressBookRecord(int accountUid)
    : key_(std::to_string(accountUid))
{
}

platform::Dictionary AddressBookRecord::read() const
{
    return platform::UserDefaults::standard()->dictionaryForKey(key_).value_or(platform::Dictionary {});
}

void AddressBookRecord::write(const platform::Dictionary& record)
{
    auto defaults = platform::UserDefaults::standard();
    defaults->setObject(platform::Value(record), key_);
    defaults->synchronize();
}

bool AddressBookRecord::hasLoad() const
{
    const platform::Value value = read().get(kHasLoadKey);
    return (value.isBool() || value.isNumber()) && value.boolValue();
}

bool AddressBookRecord::isTimeValid(double refreshTime, double now)
{
    double age = now - refreshTime;
    return age > 0 && age < kFreshSeconds;
}

bool AddressBookRecord::isRefreshContact(double now)
{
    platform::Dictionary record = read();
    const platform::Value stored = record.get(kRefreshTimeKey);
    if (stored.isNull())
        return false;
    if (isTimeValid(stored.doubleValue(), now))
        return true;
    record.erase(kRefreshTimeKey);
    write(record);
    return false;
}

void AddressBookRecord::markLoaded(double now)
{
    platform::Dictionary record = read();
    record.set(kHasLoadKey, true);
    char text[64];
    std::snprintf(text, sizeof text, "%f", now);
    record.set(kRefreshTimeKey, std::string(text));
    write(record);
}

} // namespace contacts
