#include "contacts/detail/SmsComposeViewController.h"

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"

namespace {
std::string joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const auto& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}
} // namespace

std::shared_ptr<SmsComposeViewController> SmsComposeViewController::create()
{
    auto composer = platform::SmsComposer::create();
    if (!composer)
        return nullptr;
    auto screen = std::make_shared<SmsComposeViewController>();
    screen->composer_ = std::move(composer);
    return screen;
}

void SmsComposeViewController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    auto root = view();
    const double width = root->bounds().width();
    root->setBackgroundColor(platform::Color::whiteColor());
    const platform::Color tint = platform::Color::fromRGB255(kTintRed, kTintGreen, kTintBlue);
    auto bar = std::make_shared<UIImageView>(UIImage::imageNamed("public_topbar_bg.png"));
    bar->setFrame(platform::Rect(0, 0, width, 64));
    bar->setBackgroundColor(tint);
    root->addSubview(bar);
    auto title = std::make_shared<UILabel>(platform::Rect(80, 30, width - 160, 24));
    title->setText("新信息");
    title->setTextAlignment(NSTextAlignmentCenter);
    title->setTextColor(platform::Color::whiteColor());
    title->setFont(UIFont::boldSystemFont(17));
    title->setBackgroundColor(platform::Color::clearColor());
    root->addSubview(title);
    auto cancel = std::make_shared<UIButton>(platform::Rect(8, 26, 60, 32));
    cancel->setTitle("取消", UIControlStateNormal);
    auto me = std::static_pointer_cast<SmsComposeViewController>(shared_from_this());
    cancel->addTarget(me, &SmsComposeViewController::btnCancelTouchUpInside, UIControlEventTouchUpInside);
    root->addSubview(cancel);
    auto send = std::make_shared<UIButton>(platform::Rect(width - 68, 26, 60, 32));
    send->setTitle("发送", UIControlStateNormal);
    send->addTarget(me, &SmsComposeViewController::btnSendTouchUpInside, UIControlEventTouchUpInside);
    root->addSubview(send);
    lblRecipients_ = std::make_shared<UILabel>(platform::Rect(12, 76, width - 24, 24));
    lblRecipients_->setText("收件人: " + joined(composer_->recipients()));
    lblRecipients_->setTextColor(platform::Color::fromRGB255(46, 53, 64));
    root->addSubview(lblRecipients_);
    auto line = std::make_shared<UIView>(platform::Rect(0, 108, width, 1));
    line->setBackgroundColor(platform::Color::fromRGB255(227, 231, 236));
    root->addSubview(line);
}

void SmsComposeViewController::btnCancelTouchUpInside(UIControl*)
{
    composer_->finish(platform::MessageComposeResult::Cancelled);
}

void SmsComposeViewController::btnSendTouchUpInside(UIControl*) { composer_->finish(platform::MessageComposeResult::Sent); }
