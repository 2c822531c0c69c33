#pragma once

#include "app/web/LocalPageViewController.h"

class UIButton;

// The account's messages to the platform's service desk with the replies,
// on a page; the compose button writes a new one, and a message sent
// brings the page back fresh.
class OnlineServiceViewController final : public LocalPageViewController {
public:
    ORB_CLASS_NAME(OnlineServiceViewController)

    static constexpr const char* kTitle = "在线客服";
    static constexpr const char* kSenderClassName = "SendOnlineServiceViewController";
    static constexpr const char* kSentNotification = "kSendOnlineServiceSuccessed";

    OnlineServiceViewController();

    void viewDidLoad() override;
    void writeOnlineServiceAction(UIControl* sender);

protected:
    bool bridgePathRequested(const std::string& path, const NSURLRequest& request) override;
    void pageDidFail(const platform::Error&) override { showLoadFailed(); }
};
