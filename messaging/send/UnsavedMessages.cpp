#include "messaging/send/UnsavedMessages.h"

#include "core/store/BaseFactory.h"
#include "platform/os/Log.h"
#include "ui/ORBHelper.h"

#include <algorithm>

namespace {

bool isConversationMessage(const core::MessageInfo& message) { return !message.group && message.contact; }

bool isUnreadIncoming(const core::MessageInfo& message)
{
    return !message.to && message.state != core::MessageInfo::kStateRead;
}

} // namespace

UnsavedMessages& UnsavedMessages::shared()
{
    // Never destroyed: a late reply may still hand a message in at exit.
    static auto* instance = new UnsavedMessages();
    return *instance;
}

void UnsavedMessages::resetForTesting() { *this = UnsavedMessages(); }

void UnsavedMessages::keep(const core::MessageList& messages)
{
    keep(messages, core::BaseFactory::currentAccountUid());
}

void UnsavedMessages::keep(const core::MessageList& messages, int account)
{
    const std::string store = core::BaseFactory::dataFilePath();
    for (const auto& message : messages) {
        if (!message)
            continue;
        bool known = std::any_of(kept_.begin(), kept_.end(),
            [&](const Kept& k) { return k.store == store && k.accountUid == account && k.message == message; });
        if (!known)
            kept_.push_back(Kept { store, account, message });
    }
    platform::log("%zu message(s) could not be stored; kept for this run\n", messages.size());
    bool told = std::any_of(
        told_.begin(), told_.end(), [&](const Told& t) { return t.store == store && t.accountUid == account; });
    if (told)
        return;
    told_.push_back(Told { store, account });
    ORBHelper::showProgressHud(kNotSavedText, false, true);
}

bool UnsavedMessages::storeKeptInto(core::MessageFactory& factory)
{
    return storeKeptInto(factory, core::BaseFactory::currentAccountUid());
}

bool UnsavedMessages::storeKeptInto(core::MessageFactory& factory, int accountUid)
{
    const std::string store = core::BaseFactory::dataFilePath();
    auto mine = [&](const Kept& k) { return k.store == store && k.accountUid == accountUid; };
    core::MessageList waiting;
    for (const auto& k : kept_) {
        if (mine(k))
            waiting.push_back(k.message);
    }
    if (waiting.empty())
        return true;
    if (!factory.setMessage(waiting, accountUid))
        return false;
    kept_.erase(std::remove_if(kept_.begin(), kept_.end(), mine), kept_.end());
    platform::log("%zu kept message(s) are stored now\n", waiting.size());
    return true;
}

bool UnsavedMessages::storeKept()
{
    const std::string store = core::BaseFactory::dataFilePath();
    std::vector<int> accounts;
    for (const auto& k : kept_) {
        if (k.store == store && std::find(accounts.begin(), accounts.end(), k.accountUid) == accounts.end())
            accounts.push_back(k.accountUid);
    }
    if (accounts.empty())
        return true;
    core::MessageFactory factory;
    bool stored = true;
    for (int account : accounts)
        stored = storeKeptInto(factory, account) && stored;
    return stored;
}

core::MessageList UnsavedMessages::withContact(int contactUid) const
{
    const std::string store = core::BaseFactory::dataFilePath();
    const int account = core::BaseFactory::currentAccountUid();
    core::MessageList found;
    for (const auto& k : kept_) {
        if (k.store == store && k.accountUid == account && isConversationMessage(*k.message)
            && k.message->contact->uid == contactUid)
            found.push_back(k.message);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a->time < b->time; });
    return found;
}

void UnsavedMessages::markRead(int contactUid)
{
    for (const auto& message : withContact(contactUid)) {
        if (!message->to)
            message->state = core::MessageInfo::kStateRead;
    }
}

core::MessageList UnsavedMessages::mergedIntoLast(core::MessageList rows) const
{
    const std::string store = core::BaseFactory::dataFilePath();
    const int account = core::BaseFactory::currentAccountUid();
    bool changed = false;
    for (const auto& k : kept_) {
        const auto& message = k.message;
        if (k.store != store || k.accountUid != account || !isConversationMessage(*message))
            continue;
        changed = true;
        auto row = std::find_if(rows.begin(), rows.end(),
            [&](const auto& r) { return r && !r->group && r->contact && r->contact->uid == message->contact->uid; });
        const int unread = isUnreadIncoming(*message) ? 1 : 0;
        if (row == rows.end()) {
            // A conversation only this run knows of: a row of its own, whose
            // contact is a copy, so the badge counted here stays in the row.
            auto added = std::make_shared<core::MessageInfo>(*message);
            added->contact = std::make_shared<core::ContactInfo>(*message->contact);
            added->contact->badge = unread;
            rows.push_back(std::move(added));
            continue;
        }
        // The rows are the store's fresh objects, the box's alone.
        auto contact = (*row)->contact;
        // Of one second, the later kept one is the later message (the
        // store had its rows before it stopped taking them).
        if (message->time >= (*row)->time) {
            auto newer = std::make_shared<core::MessageInfo>(*message);
            newer->contact = contact;
            *row = std::move(newer);
        }
        contact->badge += unread;
    }
    if (changed)
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a->time > b->time; });
    return rows;
}
