#pragma once

#include "core/model/MessageInfo.h"
#include "core/network/builders/ORBBuilderFrame.h"

#include <memory>

namespace core {

// The requests of the chat send pipeline. A message carries one attachment
// at most: the first photo is uploaded (message-photo folder), or else the
// first voice clip, and then the message is sent to its contact with the
// uploaded address. Every request carries {"message": the message} as its
// user info, so its handler finds the message again.
class MessageLoader final {
public:
    MessageLoader() = delete;

    enum class Step { UploadPhoto, UploadSound, Send };

    // Where sending a message starts.
    static Step firstStep(const MessageInfo& message);

    // The upload of the first photo or clip, or the send itself, by firstStep.
    static ORBBuilderRequest firstRequest(const std::shared_ptr<MessageInfo>& message, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    static ORBBuilderRequest photoUploadRequest(const std::shared_ptr<MessageInfo>& message,
        const ORBDelegate& delegate, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);
    static ORBBuilderRequest soundUploadRequest(const std::shared_ptr<MessageInfo>& message,
        const ORBDelegate& delegate, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);
    // The one-to-one send ("30104") of the message.
    static ORBBuilderRequest sendRequest(const std::shared_ptr<MessageInfo>& message, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);

    // The message a pipeline request carries, or null.
    static std::shared_ptr<MessageInfo> messageOf(const foundation::HTTPRequest& request);

    // A finished upload's addresses stored into the message's first photo or
    // clip; false when the reply holds none (the upload failed).
    static bool takeUploadReply(const foundation::HTTPRequest& request, MessageInfo& message);
};

} // namespace core
