#include "contacts/book/AddressBookImport.h"

#include "core/network/ORBReplyParser.h"
#include "platform/os/PlatformJson.h"
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

namespace {
    // A person read from the reply, made ready for the store; null when the
    // entry gives no record.
    std::shared_ptr<core::ContactInfo> contactOf(const platform::Value& item)
    {
        auto contact = core::ContactInfo::contactWithObj(item);
        if (!contact)
            return nullptr;
        if (contact->name.empty()) {
            contact->pinyin = "#";
            contact->firstC = "#";
        } else {
            contact->updatePinyin();
        }
        return contact;
    }

    // The groups read, each with its people: the whole book, or nothing when
    // a group is not one.
    std::optional<AddressBook> bookOf(const platform::Array& groups, std::vector<core::ContactList> people)
    {
        AddressBook book;
        people.resize(groups.size());
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const platform::Value& entry = groups[i];
            const platform::Value& id = entry["groupId"];
            if (!entry.isDictionary() || !id.isString() || characterCount(*id.asString()) < kGroupIdPrefixLength
                || !entry["items"].isArray())
                return std::nullopt;
            auto group = core::GroupInfo::groupWithObj(entry);
            group->uid = *id.asString();
            for (const auto& contact : people[i]) {
                contact->groupUid = group->uid;
                contact->groupName = group->name;
            }
            book.groups.push_back(std::move(group));
            book.contacts.push_back(std::move(people[i]));
        }
        return book;
    }
} // namespace

std::optional<AddressBook> importAddressBook(const platform::Value& reply)
{
    const platform::Array* groups = reply.asArray();
    if (!groups)
        return std::nullopt;
    std::vector<core::ContactList> people(groups->size());
    for (std::size_t i = 0; i < groups->size(); ++i) {
        if (const platform::Array* items = (*groups)[i]["items"].asArray()) {
            for (const auto& item : *items) {
                if (auto contact = contactOf(item))
                    people[i].push_back(std::move(contact));
            }
        }
    }
    return bookOf(*groups, std::move(people));
}

std::optional<AddressBook> importAddressBook(std::string_view text, platform::Error* error, std::size_t largestOutline)
{
    std::vector<core::ContactList> people;
    platform::PlatformJson::ReadLimits limits;
    limits.largestValue = largestOutline;
    // The people: elements of the "items" array of a group in the top array.
    limits.partDepth = 3;
    limits.takePart = [&people](std::size_t group, std::string_view arrayKey, platform::Value&& item) {
        if (arrayKey != "items")
            return true;
        core::ORBReplyParser::booleansAsNumbers(item);
        if (auto contact = contactOf(item)) {
            if (people.size() <= group)
                people.resize(group + 1);
            people[group].push_back(std::move(contact));
        }
        return true;
    };
    auto outline = platform::PlatformJson::read(text, limits, error);
    if (!outline)
        return std::nullopt;
    core::ORBReplyParser::booleansAsNumbers(*outline);
    const platform::Array* groups = outline->asArray();
    if (!groups)
        return std::nullopt;
    return bookOf(*groups, std::move(people));
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
