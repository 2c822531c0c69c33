#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class SmsComposer;

enum class MessageComposeResult { Cancelled = 0, Sent = 1, Failed = 2 };

class SmsComposerDelegate {
public:
    virtual ~SmsComposerDelegate() = default;
    virtual void messageComposeDidFinish(SmsComposer& composer, MessageComposeResult result) = 0;
};

// What the text-message composer holds while it is on screen: recipients
// and body as the program filled them in. No message leaves the machine; the
// harness ends the composition with a result, which reaches the delegate on
// the main loop. The view layer wraps one of these in the controller it
// presents (bar image and tint belong to that wrapper). Main thread only.
class SmsComposer final : public Object, public std::enable_shared_from_this<SmsComposer> {
public:
    // nullptr when the device cannot send text, as the phone gives no composer then.
    static std::shared_ptr<SmsComposer> create();
    static bool canSendText();

    const std::vector<std::string>& recipients() const { return recipients_; }
    void setRecipients(std::vector<std::string> recipients) { recipients_ = std::move(recipients); }
    const std::string& body() const { return body_; }
    void setBody(std::string body) { body_ = std::move(body); }
    void setDelegate(std::weak_ptr<SmsComposerDelegate> delegate) { delegate_ = std::move(delegate); }

    // Harness: the user sent, cancelled, or sending failed. Only the first
    // result counts; false for a later one.
    bool finish(MessageComposeResult result);
    const std::optional<MessageComposeResult>& result() const { return result_; }
    static void setCanSendText(bool canSend);

    std::string className() const override { return "SmsComposer"; }

private:
    SmsComposer() = default;
    std::vector<std::string> recipients_;
    std::string body_;
    std::weak_ptr<SmsComposerDelegate> delegate_;
    std::optional<MessageComposeResult> result_;
};

} // namespace platform
