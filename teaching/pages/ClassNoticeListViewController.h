#pragma once

#include "app/web/LocalPageViewController.h"

class UIButton;

// The notices of the account's classes on a page, a notice on its second
// level. A teacher's right button opens the notice sender (out of reach
// while a notice shows), and a notice sent brings the list back fresh.
class ClassNoticeListViewController final : public LocalPageViewController {
public:
    ORB_CLASS_NAME(ClassNoticeListViewController)

    static constexpr const char* kTitle = "班级公告";
    static constexpr const char* kSecondViewPath = "/common/gotoSecondView";
    static constexpr const char* kSenderClassName = "SendClassNoticeViewController";
    static constexpr const char* kSentNotification = "kSendClassNoticeSuccessed";

    ClassNoticeListViewController();

    void viewDidLoad() override;
    void addClassNoticeAction(UIControl* sender);

protected:
    bool bridgePathRequested(const std::string& path, const NSURLRequest& request) override;
    void secondLevelDidChange(bool isSubView) override;

private:
    std::shared_ptr<UIButton> btnAdd_;
};
