#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class MailComposer;

enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

class MailComposerDelegate {
public:
    virtual ~MailComposerDelegate() = default;
    // error: set with a failed result.
    virtual void mailComposeDidFinish(MailComposer& composer, MailComposeResult result, const Error* error) = 0;
};

// The mail composer's content: subject, recipients, body and attachments.
// Like the text composer it sends nothing; the harness ends it and the
// delegate hears the result on the main loop. There is no mail account here,
// so by default the device cannot send mail. Main thread only.
class MailComposer final : public Object, public std::enable_shared_from_this<MailComposer> {
public:
    struct Attachment {
        Bytes data;
        std::string mimeType;
        std::string fileName;
    };

    // nullptr when the device cannot send mail.
    static std::shared_ptr<MailComposer> create();
    static bool canSendMail();

    const std::string& subject() const { return subject_; }
    void setSubject(std::string subject) { subject_ = std::move(subject); }
    const std::vector<std::string>& toRecipients() const { return to_; }
    void setToRecipients(std::vector<std::string> recipients) { to_ = std::move(recipients); }
    const std::vector<std::string>& ccRecipients() const { return cc_; }
    void setCcRecipients(std::vector<std::string> recipients) { cc_ = std::move(recipients); }
    const std::vector<std::string>& bccRecipients() const { return bcc_; }
    void setBccRecipients(std::vector<std::string> recipients) { bcc_ = std::move(recipients); }
    const std::string& messageBody() const { return body_; }
    bool isBodyHTML() const { return bodyIsHtml_; }
    void setMessageBody(std::string body, bool isHTML);
    const std::vector<Attachment>& attachments() const { return attachments_; }
    void addAttachmentData(Bytes data, std::string mimeType, std::string fileName);
    void setDelegate(std::weak_ptr<MailComposerDelegate> delegate) { delegate_ = std::move(delegate); }

    // Harness: only the first result counts; a failed result without an
    // error gets a generic one, so the delegate always has something to show.
    bool finish(MailComposeResult result, std::optional<Error> error = std::nullopt);
    const std::optional<MailComposeResult>& result() const { return result_; }
    static void setCanSendMail(bool canSend);

    std::string className() const override { return "MailComposer"; }

private:
    MailComposer() = default;
    std::string subject_;
    std::vector<std::string> to_;
    std::vector<std::string> cc_;
    std::vector<std::string> bcc_;
    std::string body_;
    bool bodyIsHtml_ = false;
    std::vector<Attachment> attachments_;
    std::weak_ptr<MailComposerDelegate> delegate_;
    std::optional<MailComposeResult> result_;
};

} // namespace platform
