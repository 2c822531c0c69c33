#include "messaging/box/MessagePolls.h"

#include "core/network/ORBReplyParser.h"
#include "core/network/ORBRequestTable.h"
#include "foundation/http/HTTPRequest.h"
#include "messaging/send/UnsavedMessages.h"
#include "platform/os/Log.h"

#include <algorithm>
#include <utility>

using foundation::HTTPRequest;
using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

namespace {

// An item the store can keep and a chat can show: it has an id, a sender
// and a time. Anything less would fail the store's batch (losing the good
// messages with it) or be announced to nobody.
bool isCompleteIncoming(const core::MessageInfo& message)
{
    return !message.uid.empty() && message.contact && message.contact->uid != 0 && message.time;
}

} // namespace

std::shared_ptr<MessagePolls> MessagePolls::shared()
{
    // Never destroyed: a poll handed over may still answer at exit.
    static auto* instance = new std::shared_ptr<MessagePolls>(new MessagePolls());
    return *instance;
}

void MessagePolls::resetForTesting()
{
    for (auto& entry : onTheirWay_) {
        if (entry.adoptedFor != 0)
            entry.request->clearDelegatesAndCancel();
    }
    onTheirWay_.clear();
    starting_ = true;
}

std::size_t MessagePolls::cancelOnTheirWay()
{
    auto cancelled = std::exchange(onTheirWay_, {});
    for (auto& entry : cancelled)
        entry.request->clearDelegatesAndCancel();
    return cancelled.size();
}

platform::Value MessagePolls::answerOf(const HTTPRequest& request)
{
    // Read within the ceiling of the reply's kind: the poll comes every 20 s
    // whatever the person does, so a reply that would cost more than its
    // kind can be is dropped unread (the next poll asks again).
    return core::ORBReplyParser::readReply(request, core::ORBRequestType::NewMessages, "message")
        .value.value_or(platform::Value());
}

core::MessageList MessagePolls::messagesOf(const platform::Value& answer)
{
    core::MessageList arrived;
    if (!answer.isDictionary())
        return arrived;
    const platform::Value& items = answer["items"];
    if (!items.isArray())
        return arrived;
    const platform::Date now = platform::Date::now();
    for (const auto& item : *items.asArray()) {
        auto message = core::MessageInfo::messageWithObj(item);
        if (!message)
            continue;
        if (!isCompleteIncoming(*message)) {
            platform::log("a polled message without id, sender or time is skipped\n");
            continue;
        }
        message->to = false;
        message->createTime = now;
        arrived.push_back(std::move(message));
    }
    return arrived;
}

void MessagePolls::store(core::MessageFactory& factory, const core::MessageList& messages, int accountUid)
{
    if (messages.empty())
        return;
    // The server hands a message out once: one the store refuses is kept
    // for this run instead, and shown all the same.
    if (!factory.setMessage(messages, accountUid)) {
        platform::log("the polled messages could not be stored\n");
        UnsavedMessages::shared().keep(messages, accountUid);
    }
}

std::vector<MessagePolls::OnItsWay>::iterator MessagePolls::find(const HTTPRequest* request)
{
    return std::find_if(onTheirWay_.begin(), onTheirWay_.end(),
        [&](const OnItsWay& entry) { return entry.request.get() == request; });
}

void MessagePolls::started(const HTTPRequestPtr& request)
{
    if (request && find(request.get()) == onTheirWay_.end())
        onTheirWay_.push_back(OnItsWay { request, 0 });
}

void MessagePolls::answered(const HTTPRequest* request)
{
    auto entry = find(request);
    if (entry != onTheirWay_.end() && entry->adoptedFor == 0)
        onTheirWay_.erase(entry);
}

void MessagePolls::adopt(const HTTPRequestPtr& request, int accountUid)
{
    auto entry = request ? find(request.get()) : onTheirWay_.end();
    if (entry == onTheirWay_.end() || accountUid == 0)
        return;
    entry->adoptedFor = accountUid;
    // The answer is reported on this thread, to whoever is the delegate then.
    request->setDelegate(weak_from_this());
    request->setDidFinishSelector(RequestSelector::method(&MessagePolls::pollSucceeded));
    request->setDidFailSelector(RequestSelector::method(&MessagePolls::pollFailed));
}

void MessagePolls::pollSucceeded(const HTTPRequestPtr& request)
{
    auto entry = find(request.get());
    if (entry == onTheirWay_.end() || entry->adoptedFor == 0)
        return;
    const int account = entry->adoptedFor;
    onTheirWay_.erase(entry);
    auto arrived = messagesOf(answerOf(*request));
    if (arrived.empty())
        return;
    core::MessageFactory factory;
    store(factory, arrived, account);
    platform::log("%zu message(s) of a poll for account %d stored after its box stopped\n", arrived.size(), account);
}

void MessagePolls::pollFailed(const HTTPRequestPtr& request)
{
    auto entry = find(request.get());
    if (entry != onTheirWay_.end() && entry->adoptedFor != 0)
        onTheirWay_.erase(entry);
}
