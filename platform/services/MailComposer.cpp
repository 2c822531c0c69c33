#include "platform/services/MailComposer.h"

#include "platform/os/RunLoop.h"

namespace platform {

namespace {
    bool& canSendMailFlag()
    {
        static bool canSend = false;
        return canSend;
    }
}

bool MailComposer::canSendMail() { return canSendMailFlag(); }

void MailComposer::setCanSendMail(bool canSend) { canSendMailFlag() = canSend; }

std::shared_ptr<MailComposer> MailComposer::create()
{
    if (!canSendMail())
        return nullptr;
    return std::shared_ptr<MailComposer>(new MailComposer());
}

void MailComposer::setMessageBody(std::string body, bool isHTML)
{
    body_ = std::move(body);
    bodyIsHtml_ = isHTML;
}

void MailComposer::addAttachmentData(Bytes data, std::string mimeType, std::string fileName)
{
    attachments_.push_back({ std::move(data), std::move(mimeType), std::move(fileName) });
}

bool MailComposer::finish(MailComposeResult result, std::optional<Error> error)
{
    if (result_)
        return false;
    result_ = result;
    if (result != MailComposeResult::Failed)
        error.reset();
    else if (!error)
        error = Error::withDescription("MFMailComposeErrorDomain", 1, "the message could not be sent");
    auto self = shared_from_this();
    postToMain([self, result, error] {
        if (auto delegate = self->delegate_.lock())
            delegate->mailComposeDidFinish(*self, result, error ? &*error : nullptr);
    });
    return true;
}

} // namespace platform
