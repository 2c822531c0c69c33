#include "messaging/send/MessageLoader.h"

#include "core/network/ORBReplyParser.h"
#include "core/network/builders/MessageLoader.h"
#include "core/store/BaseFactory.h"
#include "foundation/http/HTTPRequest.h"
#include "foundation/http/NetworkQueue.h"
#include "messaging/send/UnsavedMessages.h"
#include "messaging/send/UnsentMessages.h"
#include "platform/os/Log.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/PlatformJson.h"

#include <algorithm>

using foundation::HTTPRequest;
using foundation::HTTPRequestDelegate;
using foundation::HTTPRequestPtr;
using foundation::NetworkQueue;
using foundation::RequestSelector;

const char* const MessageLoaderDidSendSucceededNotification = "MessageLoaderDidSendSucceededNotification";
const char* const MessageLoaderDidSendFailedNotification = "MessageLoaderDidSendFailedNotification";

using core::MessageInfo;
using Builders = core::MessageLoader;

namespace {

void logHeaders(const HTTPRequest& request)
{
    auto headers = platform::PlatformJson::write(platform::Value(request.responseHeaders()));
    platform::log("%s\n", headers ? headers->c_str() : "{}");
}

void logError(const HTTPRequest& request)
{
    auto error = request.error();
    platform::log("%s\n", error ? error->localizedDescription().c_str() : "request failed");
}

} // namespace

std::shared_ptr<MessageLoader> MessageLoader::shareLoader()
{
    // Kept for the whole process, past the end of main: the client gives
    // messages on their way a moment at exit to be sent and stored; those
    // still travelling after it are abandoned, never cancelled into a torn-down engine.
    static auto* instance = new std::shared_ptr<MessageLoader>(create());
    return *instance;
}

void MessageLoader::send(const std::shared_ptr<MessageInfo>& message) { shareLoader()->sendMessage(message); }

std::shared_ptr<MessageLoader> MessageLoader::create() { return std::shared_ptr<MessageLoader>(new MessageLoader()); }

MessageLoader::MessageLoader()
    : chatQueue_(NetworkQueue::queue())
{
    // Messages are unrelated: one that fails must not cancel the others in
    // flight, which would then vanish from their conversations as failures.
    chatQueue_->setShouldCancelAllRequestsOnFailure(false);
}

MessageLoader::~MessageLoader()
{
    pending_.clear();
    chatQueue_->cancelAllOperations();
}

core::MessageFactory& MessageLoader::messageFactory()
{
    std::string path = core::BaseFactory::dataFilePath();
    if (!messageFactory_ || path != messageFactoryPath_) {
        messageFactory_ = std::make_unique<core::MessageFactory>();
        messageFactoryPath_ = path;
    }
    return *messageFactory_;
}

void MessageLoader::sendMessage(const std::shared_ptr<MessageInfo>& message)
{
    if (!message || !message->to)
        return;
    bool onItsWay
        = std::any_of(pending_.begin(), pending_.end(), [&](const Pending& entry) { return entry.message == message; });
    if (onItsWay)
        return;
    // One attachment at most travels with a message: the first photo, or
    // else the first clip. The others would go out without addresses and be
    // stored as attachments nobody can fetch.
    if (!message->photosInfo.empty() && message->photosInfo.front()) {
        message->photosInfo.resize(1);
        message->soundsInfo.clear();
    } else if (!message->soundsInfo.empty() && message->soundsInfo.front()) {
        message->soundsInfo.resize(1);
        message->photosInfo.clear();
    }
    pending_.push_back(Pending { message, core::BaseFactory::currentAccountUid() });
    std::weak_ptr<HTTPRequestDelegate> self = shared_from_this();
    HTTPRequestPtr request;
    switch (Builders::firstStep(*message)) {
    case Builders::Step::UploadPhoto:
        request = Builders::photoUploadRequest(message, self,
            RequestSelector::method(&MessageLoader::requestUploadPhotoSucceeded),
            RequestSelector::method(&MessageLoader::requestUploadPhotoFailed));
        break;
    case Builders::Step::UploadSound:
        request = Builders::soundUploadRequest(message, self,
            RequestSelector::method(&MessageLoader::requestUploadSoundSucceeded),
            RequestSelector::method(&MessageLoader::requestUploadSoundFailed));
        break;
    case Builders::Step::Send:
        request
            = Builders::sendRequest(message, self, RequestSelector::method(&MessageLoader::requestSendMessageSucceeded),
                RequestSelector::method(&MessageLoader::requestSendMessageFailed));
        break;
    }
    enqueue(request);
}

void MessageLoader::enqueue(const HTTPRequestPtr& request)
{
    chatQueue_->addOperation(request);
    chatQueue_->go();
}

std::vector<MessageLoader::Pending>::iterator MessageLoader::find(const HTTPRequestPtr& request)
{
    auto message = request ? Builders::messageOf(*request) : nullptr;
    if (!message)
        return pending_.end();
    return std::find_if(
        pending_.begin(), pending_.end(), [&](const Pending& entry) { return entry.message == message; });
}

void MessageLoader::requestUploadPhotoSucceeded(const HTTPRequestPtr& request) { uploadSucceeded(request); }
void MessageLoader::requestUploadPhotoFailed(const HTTPRequestPtr& request) { uploadFailed(request); }
void MessageLoader::requestUploadSoundSucceeded(const HTTPRequestPtr& request) { uploadSucceeded(request); }
void MessageLoader::requestUploadSoundFailed(const HTTPRequestPtr& request) { uploadFailed(request); }

void MessageLoader::uploadSucceeded(const HTTPRequestPtr& request)
{
    auto entry = find(request);
    if (entry == pending_.end())
        return;
    logHeaders(*request);
    auto message = entry->message;
    if (!Builders::takeUploadReply(*request, *message)) {
        // Without the file's address the message cannot be sent; the chat
        // must hear it, or its bubble would say "sending" for ever.
        platform::log("upload gave no address; message not sent\n");
        finish(entry, false);
        return;
    }
    if (core::BaseFactory::currentAccountUid() != entry->accountUid) {
        // The send would go out under the account signed in now.
        platform::log("account changed during the upload; message not sent\n");
        finish(entry, false);
        return;
    }
    enqueue(Builders::sendRequest(message, weak_from_this(),
        RequestSelector::method(&MessageLoader::requestSendMessageSucceeded),
        RequestSelector::method(&MessageLoader::requestSendMessageFailed)));
}

void MessageLoader::uploadFailed(const HTTPRequestPtr& request)
{
    auto entry = find(request);
    if (entry == pending_.end())
        return;
    logError(*request);
    finish(entry, false);
}

void MessageLoader::requestSendMessageSucceeded(const HTTPRequestPtr& request)
{
    auto entry = find(request);
    if (entry == pending_.end())
        return;
    // An envelope and an id, read as the dispatcher reads one: a reply past
    // that is refused unread, and the message marked as not sent.
    auto reply = core::ORBReplyParser::readReply(*request, core::kLargestShortReply, "send message").value;
    logHeaders(*request);
    // The id decides, not "resultState": an accepted message always has one.
    // An empty id could not be stored apart from other messages.
    const std::string* msgId = reply && reply->isDictionary() ? (*reply)["msgId"].asString() : nullptr;
    if (!msgId || msgId->empty()) {
        finish(entry, false);
        return;
    }
    auto message = entry->message;
    message->uid = *msgId;
    message->updatePhotos();
    message->updateSounds();
    message->isSending = false;
    // Stored under the account it was sent from, signed in or not (a parent
    // may have chosen another child meanwhile): it is in that child's chat
    // when the parent comes back to it, and never in the other's.
    const int account = entry->accountUid;
    if (core::BaseFactory::currentAccountUid() == account)
        UnsavedMessages::shared().storeKeptInto(messageFactory());
    if (!messageFactory().setMessage({ message }, account)) {
        // Sent all the same: the conversation keeps showing it for this run.
        platform::log("message %s sent but could not be stored\n", msgId->c_str());
        UnsavedMessages::shared().keep({ message }, account);
    }
    finish(entry, true);
}

void MessageLoader::requestSendMessageFailed(const HTTPRequestPtr& request)
{
    auto entry = find(request);
    if (entry == pending_.end())
        return;
    logError(*request);
    finish(entry, false);
}

void MessageLoader::keepOnTheirWayAsNotSent()
{
    // Their answers may still come, to nobody: a resend may then deliver
    // twice, which the person can see, where a message gone unseen cannot.
    // Those on their way now, once each: an observer may send one again.
    for (std::size_t left = pending_.size(); left > 0 && !pending_.empty(); --left)
        finish(pending_.begin(), false);
    chatQueue_->cancelAllOperations();
}

void MessageLoader::finish(std::vector<Pending>::iterator entry, bool sent)
{
    if (entry == pending_.end())
        return;
    auto message = entry->message;
    // What was written and not sent is kept beside the store until a send
    // of it goes through, whether or not its chat is still open.
    if (sent) {
        UnsentMessages::shared().forget(message);
    } else {
        // Marked here, not by its chat: the person may have left it, and
        // whichever chat shows the message next shows it marked, its mark
        // sending it again.
        message->isSending = false;
        message->sendFailed = true;
        UnsentMessages::shared().keep(message, entry->accountUid);
    }
    // Off the list first: an observer may send the message again at once.
    pending_.erase(entry);
    platform::NotificationCenter::defaultCenter().post(
        sent ? MessageLoaderDidSendSucceededNotification : MessageLoaderDidSendFailedNotification, {},
        platform::Dictionary { { "message", platform::Value(message) } });
}
