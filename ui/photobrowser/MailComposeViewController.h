#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/services/MailComposer.h"
#include "platform/uikit/UIViewController.h"

#include <memory>

class UIImageView;
class UILabel;

// The screen presented for writing a mail: it shows what the composer holds
// (subject, the first image attached and the attachments' names) on a white
// sheet. The composer itself is the platform's; the harness ends it and the
// composer's delegate hears the result.
class MailComposeViewController : public UIViewController {
public:
    explicit MailComposeViewController(std::shared_ptr<platform::MailComposer> composer);
    ORB_CLASS_NAME(MailComposeViewController)

    const std::shared_ptr<platform::MailComposer>& composer() const { return composer_; }

    void loadView() override;
    void viewWillAppear(bool animated) override;

private:
    std::shared_ptr<platform::MailComposer> composer_;
    std::shared_ptr<UILabel> subjectLabel_;
    std::shared_ptr<UILabel> attachmentsLabel_;
    std::shared_ptr<UIImageView> preview_;
};
