#include "tests/messaging/compose/ComposeSupport.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/store/ContactsFactory.h"
#include "tests/support/uikit/UIKitDriver.h"

namespace composetest {

std::shared_ptr<core::GroupInfo> AddressBook::group(const std::string& uid) const
{
    for (const auto& g : groups)
        if (g->uid == uid)
            return g;
    return nullptr;
}

std::shared_ptr<core::ContactInfo> AddressBook::contact(const std::string& groupUid, int uid) const
{
    auto found = contacts.find(groupUid);
    if (found == contacts.end())
        return nullptr;
    for (const auto& c : found->second)
        if (c->uid == uid)
            return c;
    return nullptr;
}

bool storeAddressBook(testsupport::AppHarness& harness,
    const std::vector<std::pair<std::shared_ptr<core::GroupInfo>, std::vector<std::shared_ptr<core::ContactInfo>>>>&
        extraGroups)
{
    constexpr int kWholeAddressBook = 54;
    auto reply = std::make_shared<std::optional<platform::Value>>();
    auto failed = std::make_shared<bool>(false);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        kWholeAddressBook, {}, [] {}, [reply](const platform::Value& result) { *reply = result; },
        [failed](const std::string&) { *failed = true; });
    if (!harness.runUntil([&] { return reply->has_value() || *failed; }) || !reply->has_value())
        return false;
    const platform::Value& book = **reply;
    if (!book.isArray())
        return false;
    core::ContactsFactory store;
    auto groups = core::GroupInfo::groupsWithItems(book);
    for (const platform::Value& entry : *book.asArray()) {
        const std::string groupId = entry["groupId"].stringValue();
        if (!store.setContacts(core::ContactInfo::contactsWithItems(entry["items"], groupId), groupId))
            return false;
    }
    for (const auto& [group, contacts] : extraGroups) {
        std::vector<std::shared_ptr<core::ContactInfo>> copies;
        for (const auto& contact : contacts)
            copies.push_back(std::make_shared<core::ContactInfo>(*contact));
        if (!copies.empty() && !store.setContacts(copies, group->uid))
            return false;
        groups.push_back(group);
    }
    return store.setGroups(groups);
}

AddressBook loadAddressBook()
{
    AddressBook book;
    core::ContactsFactory store;
    book.groups = store.getGroups().value_or(core::GroupList {});
    for (const auto& group : book.groups) {
        if (auto contacts = store.getContactsWithGroup(group->uid)) {
            group->totalCount = int(contacts->size());
            book.contacts[group->uid] = *contacts;
        } else {
            group->totalCount = 0;
        }
    }
    return book;
}

std::string textOf(const std::shared_ptr<UIView>& root, const std::string& outlet)
{
    return testsupport::textOf(testsupport::findViewByOutlet(root, outlet));
}

} // namespace composetest
