#include "ui/photobrowser/MailComposeViewController.h"

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"

MailComposeViewController::MailComposeViewController(std::shared_ptr<platform::MailComposer> composer)
    : composer_(std::move(composer))
{
}

void MailComposeViewController::loadView()
{
    auto root = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    root->setBackgroundColor(platform::Color::whiteColor());
    auto width = root->bounds().size.width;
    subjectLabel_ = std::make_shared<UILabel>(platform::Rect(15, 64, width - 30, 44));
    subjectLabel_->setFont(UIFont::boldSystemFont(17));
    attachmentsLabel_ = std::make_shared<UILabel>(platform::Rect(15, 108, width - 30, 30));
    attachmentsLabel_->setFont(UIFont::systemFont(15));
    attachmentsLabel_->setTextColor(platform::Color::grayColor());
    preview_ = std::make_shared<UIImageView>(platform::Rect(15, 150, width - 30, width - 30));
    preview_->setContentMode(UIViewContentModeScaleAspectFit);
    root->addSubview(subjectLabel_);
    root->addSubview(attachmentsLabel_);
    root->addSubview(preview_);
    setView(root);
}

void MailComposeViewController::viewWillAppear(bool animated)
{
    UIViewController::viewWillAppear(animated);
    if (!composer_)
        return;
    subjectLabel_->setText(composer_->subject());
    std::string names;
    std::shared_ptr<UIImage> image;
    for (auto& attachment : composer_->attachments()) {
        names += (names.empty() ? "" : ", ") + attachment.fileName;
        if (!image)
            image = UIImage::imageWithData(attachment.data);
    }
    attachmentsLabel_->setText(names);
    preview_->setImage(image);
}
