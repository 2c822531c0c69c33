#include "teaching/pages/SchoolNoticeViewController.h"

#include "platform/uikit/UINavigationController.h"

SchoolNoticeViewController::SchoolNoticeViewController()
    // Its layout keeps the full height on the small screen.
    : LocalPageViewController(std::string(kClassName), "notice_school", "index", PageOptions { true, false })
{
}

void SchoolNoticeViewController::viewDidLoad()
{
    LocalPageViewController::viewDidLoad();
    setTitle(kTitle);
    // Hidden while loading; showing the screen brings the bar back, animated.
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, false);
}

bool SchoolNoticeViewController::bridgePathRequested(const std::string& path, const NSURLRequest&)
{
    if (path == kReturnPath) {
        closeScreen();
        return true;
    }
    if (path == kSecondViewPath) {
        enterSecondLevel();
        return true;
    }
    return false;
}
