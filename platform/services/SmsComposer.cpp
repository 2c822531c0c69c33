#include "platform/services/SmsComposer.h"

#include "platform/os/RunLoop.h"

namespace platform {

namespace {
    bool& canSendTextFlag()
    {
        static bool canSend = true;
        return canSend;
    }
}

bool SmsComposer::canSendText() { return canSendTextFlag(); }

void SmsComposer::setCanSendText(bool canSend) { canSendTextFlag() = canSend; }

std::shared_ptr<SmsComposer> SmsComposer::create()
{
    if (!canSendText())
        return nullptr;
    return std::shared_ptr<SmsComposer>(new SmsComposer());
}

bool SmsComposer::finish(MessageComposeResult result)
{
    if (result_)
        return false;
    result_ = result;
    auto self = shared_from_this();
    postToMain([self, result] {
        if (auto delegate = self->delegate_.lock())
            delegate->messageComposeDidFinish(*self, result);
    });
    return true;
}

} // namespace platform
