#include "contacts/book/AddressBookImport.h"

#include "core/network/ORBReplyParser.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/UserDefaults.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace contacts {

namespace {
    constexpr std::size_t kGroupIdPrefixLength = 3;
    // What the allocator adds to each block it hands out, and the counts a
    // record made with its shared pointer carries in the same block.
    constexpr std::size_t kBlockOverhead = 16;
    constexpr std::size_t kSharedCountBytes = 16;

    std::size_t characterCount(const std::string& text)
    {
        std::size_t count = 0;
        for (unsigned char c : text) {
            if ((c & 0xC0) != 0x80)
                ++count;
        }
        return count;
    }

    // What the store writes for a book, on pages of 4,096 bytes. A row
    // takes its share of a page of rows like it, each with its place on the
    // page; a row longer than a page keeps a part on it and goes on to pages
    // of its own. Each person's row holds its texts and its group's id; each
    // person is also an entry, with the id, in the key's index and in the
    // index by account and group, whose pages, written out of the index's
    // order, fill to some two thirds.
    constexpr std::size_t kStorePageBytes = 4096;
    // What a page keeps of a row, at most and at least, when the row goes on.
    constexpr std::size_t kLargestRowOnItsPage = kStorePageBytes - 35;
    constexpr std::size_t kLeastOfARowOnItsPage = (kStorePageBytes - 12) * 32 / 255 - 23;
    // A row's header, its numbers and its lengths; a cell's lengths and place.
    constexpr std::size_t kRowOverhead = 40;
    constexpr std::size_t kCellOverhead = 12;
    constexpr std::size_t kIndexEntryOverhead = 24;
    constexpr std::size_t kIndexesPerPerson = 2;

    // The bytes of a page a cell takes, with as many as fit on it.
    std::size_t pageShare(std::size_t cell)
    {
        const std::size_t perPage = std::max<std::size_t>(1, (kStorePageBytes - 8) / (cell + 2));
        return (kStorePageBytes + perPage - 1) / perPage;
    }

    std::size_t rowStoreBytes(std::size_t texts)
    {
        const std::size_t row = texts + kRowOverhead;
        if (row <= kLargestRowOnItsPage)
            return pageShare(row + kCellOverhead);
        std::size_t kept = kLeastOfARowOnItsPage + (row - kLeastOfARowOnItsPage) % (kStorePageBytes - 4);
        if (kept > kLargestRowOnItsPage)
            kept = kLeastOfARowOnItsPage;
        const std::size_t pagesOfItsOwn = (row - kept + kStorePageBytes - 5) / (kStorePageBytes - 4);
        return pageShare(kept + 4 + kCellOverhead) + pagesOfItsOwn * kStorePageBytes;
    }

    std::size_t indexEntryBytes(std::size_t groupIdBytes) { return (groupIdBytes + kIndexEntryOverhead) * 3 / 2; }

    // A person's row and index entries, stored under a group's id.
    std::size_t personStoreBytes(const core::ContactInfo& contact, std::size_t groupIdBytes)
    {
        std::size_t texts = groupIdBytes;
        for (const std::string* text : { &contact.name, &contact.firstC, &contact.pinyin, &contact.remarks,
                 &contact.thumbAvatar, &contact.avatar, &contact.phone, &contact.ctdUrl })
            texts += text->size();
        return rowStoreBytes(texts) + kIndexesPerPerson * indexEntryBytes(groupIdBytes);
    }

    // A group's row, with its id and name, and its key's index entry.
    std::size_t groupStoreBytes(const core::GroupInfo& group)
    {
        return rowStoreBytes(group.uid.size() + group.name.size()) + indexEntryBytes(group.uid.size());
    }

    // The heap bytes of a text beyond the room a std::string keeps inside.
    std::size_t textBytes(const std::string& text)
    {
        return text.capacity() < 16 ? 0 : text.capacity() + 1 + kBlockOverhead;
    }

    // The same for a copy of it, which takes only the room its bytes need.
    std::size_t copyBytes(const std::string& text) { return text.size() < 16 ? 0 : text.size() + 1 + kBlockOverhead; }

    // What a person's record holds: the record and its counts in one block,
    // its place in its group's list (up to twice that while the list grows)
    // and its texts.
    std::size_t recordBytes(const core::ContactInfo& contact)
    {
        std::size_t bytes = sizeof(core::ContactInfo) + kSharedCountBytes + kBlockOverhead
            + 2 * sizeof(std::shared_ptr<core::ContactInfo>);
        for (const std::string* text :
            { &contact.groupUid, &contact.groupName, &contact.name, &contact.firstC, &contact.pinyin, &contact.remarks,
                &contact.thumbAvatar, &contact.avatar, &contact.phone, &contact.ctdUrl })
            bytes += textBytes(*text);
        return bytes;
    }

    // What the records of a book hold so far, or what the store would write
    // for them, against the most they may: a short reply can describe
    // records many times its size, each person carrying copies of its
    // group's id and name.
    class RecordBudget {
    public:
        explicit RecordBudget(std::size_t largest)
            : largest_(largest)
        {
        }
        // False once the records would hold more than the most.
        bool take(std::size_t bytes)
        {
            held_ = bytes > SIZE_MAX - held_ ? SIZE_MAX : held_ + bytes;
            return held_ <= largest_;
        }
        void give(std::size_t bytes) { held_ -= std::min(held_, bytes); }
        bool exceeded() const { return held_ > largest_; }

    private:
        std::size_t largest_;
        std::size_t held_ = 0;
    };

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

    // A group's id or name no longer than one can be.
    bool isGroupText(const platform::Value& text)
    {
        return !text.isString() || text.asString()->size() <= kLongestGroupTextBytes;
    }

    // The groups read, each with its people: the whole book; nothing when a
    // group is not one, or (with *tooLarge set) when a group's id or name is
    // longer than one can be, the records with their copies of them would
    // hold more than the budget or the store would write more than
    // `largestStore` bytes for them.
    std::optional<AddressBook> bookOf(const platform::Array& groups, std::vector<core::ContactList> people,
        RecordBudget& budget, std::size_t largestStore, bool* tooLarge)
    {
        people.resize(groups.size());
        for (const platform::Value& entry : groups) {
            const platform::Value& id = entry["groupId"];
            if (!entry.isDictionary() || !id.isString() || characterCount(*id.asString()) < kGroupIdPrefixLength
                || !entry["items"].isArray())
                return std::nullopt;
        }
        AddressBook book;
        book.groups.reserve(groups.size());
        RecordBudget store(largestStore);
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const platform::Value& entry = groups[i];
            if (!isGroupText(entry["groupId"]) || !isGroupText(entry["groupName"])) {
                *tooLarge = true;
                return std::nullopt;
            }
            auto group = core::GroupInfo::groupWithObj(entry);
            group->uid = *entry["groupId"].asString();
            // Counted before a copy is made.
            const std::size_t copies = copyBytes(group->uid) + copyBytes(group->name);
            if (!budget.take(sizeof(core::GroupInfo) + kSharedCountBytes + kBlockOverhead
                    + sizeof(std::shared_ptr<core::GroupInfo>) + copies)
                || (copies && people[i].size() > SIZE_MAX / copies) || !budget.take(people[i].size() * copies)
                || !store.take(groupStoreBytes(*group))) {
                *tooLarge = true;
                return std::nullopt;
            }
            for (const auto& contact : people[i]) {
                if (!store.take(personStoreBytes(*contact, group->uid.size()))) {
                    *tooLarge = true;
                    return std::nullopt;
                }
            }
            book.groups.push_back(std::move(group));
        }
        for (std::size_t i = 0; i < groups.size(); ++i) {
            for (const auto& contact : people[i]) {
                contact->groupUid = book.groups[i]->uid;
                contact->groupName = book.groups[i]->name;
            }
            book.contacts.push_back(std::move(people[i]));
        }
        return book;
    }

    platform::Error tooLargeError(std::size_t largestRecords, std::size_t largestStore)
    {
        return platform::Error::withDescription(platform::kCocoaErrorDomain, platform::PlatformJson::kValueTooLargeCode,
            "The address book's records would take more than " + std::to_string(largestRecords)
                + " bytes, or the store more than " + std::to_string(largestStore)
                + " bytes, or a group's id or name is longer than any group's");
    }
} // namespace

std::optional<AddressBook> importAddressBook(
    const platform::Value& reply, std::size_t largestRecords, std::size_t largestStore)
{
    const platform::Array* groups = reply.asArray();
    if (!groups)
        return std::nullopt;
    RecordBudget budget(largestRecords);
    std::vector<core::ContactList> people(groups->size());
    if (!budget.take(groups->size() * sizeof(core::ContactList)))
        return std::nullopt;
    for (std::size_t i = 0; i < groups->size(); ++i) {
        if (const platform::Array* items = (*groups)[i]["items"].asArray()) {
            for (const auto& item : *items) {
                auto contact = contactOf(item);
                if (!contact)
                    continue;
                if (!budget.take(recordBytes(*contact)))
                    return std::nullopt;
                people[i].push_back(std::move(contact));
            }
        }
    }
    bool tooLarge = false;
    return bookOf(*groups, std::move(people), budget, largestStore, &tooLarge);
}

std::optional<AddressBook> importAddressBook(std::string_view text, platform::Error* error, std::size_t largestOutline,
    std::size_t largestRecords, std::size_t largestStore)
{
    std::vector<core::ContactList> people;
    RecordBudget budget(largestRecords);
    platform::PlatformJson::ReadLimits limits;
    limits.largestValue = largestOutline;
    // The people: elements of the "items" array of a group in the top array.
    limits.partDepth = 3;
    limits.takePart = [&people, &budget](std::size_t group, std::string_view arrayKey, platform::Value&& item) {
        if (arrayKey != "items")
            return true;
        core::ORBReplyParser::booleansAsNumbers(item);
        auto contact = contactOf(item);
        if (!contact)
            return true;
        if (people.size() <= group) {
            if (!budget.take((group + 1 - people.size()) * sizeof(core::ContactList)))
                return false;
            people.resize(group + 1);
        }
        if (!budget.take(recordBytes(*contact)))
            return false;
        people[group].push_back(std::move(contact));
        return true;
    };
    // A group's list given twice is the last one given, as any repeated key.
    limits.partsBegin = [&people, &budget](std::size_t group, std::string_view arrayKey) {
        if (arrayKey != "items" || group >= people.size())
            return;
        for (const auto& contact : people[group])
            budget.give(recordBytes(*contact));
        core::ContactList().swap(people[group]);
    };
    auto outline = platform::PlatformJson::read(text, limits, error);
    if (!outline) {
        if (budget.exceeded())
            platform::setError(error, tooLargeError(largestRecords, largestStore));
        return std::nullopt;
    }
    core::ORBReplyParser::booleansAsNumbers(*outline);
    const platform::Array* groups = outline->asArray();
    if (!groups)
        return std::nullopt;
    bool tooLarge = false;
    auto book = bookOf(*groups, std::move(people), budget, largestStore, &tooLarge);
    if (tooLarge)
        platform::setError(error, tooLargeError(largestRecords, largestStore));
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
