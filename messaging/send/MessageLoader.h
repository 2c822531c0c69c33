#pragma once

#include "core/model/MessageInfo.h"
#include "core/store/MessageFactory.h"
#include "foundation/http/HTTPRequestDelegate.h"

#include <memory>
#include <string>
#include <vector>

namespace foundation {
class NetworkQueue;
}

// Posted on the default centre, object nil, user info {"message": the
// MessageInfo}: after a sent message is stored with its server id, and when a
// message could not be sent (its upload or its send failed; the message is
// then marked as failed, no longer sending).
extern const char* const MessageLoaderDidSendSucceededNotification;
extern const char* const MessageLoaderDidSendFailedNotification;

// Sends the messages written in a one-to-one conversation, on a request queue
// of its own: the first photo (or else the first voice clip) is uploaded,
// then the message goes to its contact with the uploaded address; a sent
// message is stored with the server's id and announced. Every message ends in
// exactly one of the two notifications; one that could not be sent is kept
// (UnsentMessages) until a later send of it goes through.
//
// The requests themselves come from core::MessageLoader (the request
// builders); this class is the pipeline around them, so the screens know one
// MessageLoader: this one. Main thread only.
class MessageLoader final : public foundation::HTTPRequestDelegate, public std::enable_shared_from_this<MessageLoader> {
public:
    // The process-wide loader, made on first use and kept for the process.
    static std::shared_ptr<MessageLoader> shareLoader();
    // sendMessage on the shared loader.
    static void send(const std::shared_ptr<core::MessageInfo>& message);

    // A loader of its own (the shared one is what the screens use).
    static std::shared_ptr<MessageLoader> create();
    ~MessageLoader() override;

    // Starts the pipeline for an own message (`to` set); anything else, and a
    // message already on its way, is ignored.
    void sendMessage(const std::shared_ptr<core::MessageInfo>& message);

    // Request handlers, named by the requests this loader builds.
    void requestUploadPhotoSucceeded(const foundation::HTTPRequestPtr& request);
    void requestUploadPhotoFailed(const foundation::HTTPRequestPtr& request);
    void requestUploadSoundSucceeded(const foundation::HTTPRequestPtr& request);
    void requestUploadSoundFailed(const foundation::HTTPRequestPtr& request);
    void requestSendMessageSucceeded(const foundation::HTTPRequestPtr& request);
    void requestSendMessageFailed(const foundation::HTTPRequestPtr& request);

    const std::shared_ptr<foundation::NetworkQueue>& chatQueue() const { return chatQueue_; }
    // Messages sent and not yet reported.
    std::size_t pendingCount() const { return pending_.size(); }
    // At exit, once the grace for them is over: every message still on its
    // way is reported as not sent and kept among the unsent ones, so that it
    // is offered again at the next start.
    void keepOnTheirWayAsNotSent();

private:
    MessageLoader();

    struct Pending {
        std::shared_ptr<core::MessageInfo> message;
        // The account the message was written under: its send must go out
        // as that account and its record land in that account's list.
        int accountUid = 0;
    };

    void enqueue(const foundation::HTTPRequestPtr& request);
    void uploadSucceeded(const foundation::HTTPRequestPtr& request);
    void uploadFailed(const foundation::HTTPRequestPtr& request);
    // The pending entry of the request's message, or end() when it has none.
    std::vector<Pending>::iterator find(const foundation::HTTPRequestPtr& request);
    // Reports the message; one not sent is kept beside the store until it is.
    void finish(std::vector<Pending>::iterator entry, bool sent);
    // The store of the current home; made again when the home changes.
    core::MessageFactory& messageFactory();

    std::shared_ptr<foundation::NetworkQueue> chatQueue_;
    std::unique_ptr<core::MessageFactory> messageFactory_;
    std::string messageFactoryPath_;
    std::vector<Pending> pending_;
};
