#include "teaching/pages/ClassNoticeListViewController.h"

#include "core/session/MyAccountInfo.h"
#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UINavigationController.h"

namespace {

bool isTeacher()
{
    auto account = core::MyAccountInfo::currentAccount();
    return account && account->type == 1;
}

} // namespace

ClassNoticeListViewController::ClassNoticeListViewController()
    : LocalPageViewController(std::string(kClassName), "notice", "index")
{
}

void ClassNoticeListViewController::viewDidLoad()
{
    LocalPageViewController::viewDidLoad();
    // The grid names the screen; opened from a message row it names itself the same.
    if (title().empty())
        setTitle(kTitle);
    btnAdd_ = imageBarButton("message_box_compose_btn.png", "btnAdd", &ClassNoticeListViewController::addClassNoticeAction);
    setRightItem(isTeacher() ? btnAdd_ : nullptr);
}

void ClassNoticeListViewController::addClassNoticeAction(UIControl*)
{
    // Only a teacher sends notices, however the action was reached.
    if (!isTeacher())
        return;
    auto sender = platform::ClassRegistry::shared().createAs<UIViewController>(kSenderClassName);
    auto navigation = navigationController();
    if (!sender || !navigation)
        return;
    navigation->pushViewController(sender, true);
    reloadOn(kSentNotification);
}

bool ClassNoticeListViewController::bridgePathRequested(const std::string& path, const NSURLRequest&)
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

// Transparent, the button takes no touches while a notice shows.
void ClassNoticeListViewController::secondLevelDidChange(bool isSubView)
{
    if (btnAdd_)
        btnAdd_->setAlpha(isSubView ? 0.0 : 1.0);
}
