#pragma once

#include "platform/services/SmsComposer.h"
#include "platform/uikit/UIViewController.h"

#include <memory>

class UIControl;
class UILabel;

// The text-message composer on screen: the recipients and the body of the
// platform's composer, with "取消" and "发送". Sending only ends the
// composition (no message leaves the machine); the delegate hears the result.
class SmsComposeViewController final : public UIViewController {
public:
    ORB_CLASS_NAME(SmsComposeViewController)

    // The bar tint of the composer's navigation bar.
    static constexpr int kTintRed = 159;
    static constexpr int kTintGreen = 212;
    static constexpr int kTintBlue = 17;

    // nullptr when the device cannot send text.
    static std::shared_ptr<SmsComposeViewController> create();
    SmsComposeViewController() = default;

    const std::shared_ptr<platform::SmsComposer>& composer() const { return composer_; }
    void viewDidLoad() override;

    void btnCancelTouchUpInside(UIControl* sender);
    void btnSendTouchUpInside(UIControl* sender);

private:
    std::shared_ptr<platform::SmsComposer> composer_;
    std::shared_ptr<UILabel> lblRecipients_;
};
