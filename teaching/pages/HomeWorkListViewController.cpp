#include "teaching/pages/HomeWorkListViewController.h"

#include "core/session/MyAccountInfo.h"
#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "ui/photobrowser/BrowserPhoto.h"

HomeWorkListViewController::HomeWorkListViewController()
    : LocalPageViewController(std::string(kClassName), "homework", "index")
{
}

void HomeWorkListViewController::viewDidLoad()
{
    LocalPageViewController::viewDidLoad();
    auto account = core::MyAccountInfo::currentAccount();
    bool teacher = account && account->type == 1;
    // Opened from a message row the screen has no title; name it as the row does.
    if (title().empty())
        setTitle(teacher ? kTeacherTitle : kOtherTitle);
    btnAssign_ = imageBarButton("message_box_compose_btn.png", "btnAssign", &HomeWorkListViewController::assigningHomeWorkAction);
    setRightItem(teacher ? btnAssign_ : nullptr);
}

void HomeWorkListViewController::assigningHomeWorkAction(UIControl*)
{
    auto sender = platform::ClassRegistry::shared().createAs<UIViewController>(kSenderClassName);
    auto navigation = navigationController();
    if (!sender || !navigation)
        return;
    navigation->pushViewController(sender, true);
    reloadOn(kSentNotification);
}

bool HomeWorkListViewController::bridgePathRequested(const std::string& path, const NSURLRequest& request)
{
    if (path == kReturnPath) {
        closeScreen();
        return true;
    }
    if (path == kSecondViewPath) {
        enterSecondLevel();
        return true;
    }
    // Homework is assigned from the bar button only.
    if (path == kAddPath)
        return true;
    if (auto address = localpage::bridgeArgument(request, kPhotoPrefix)) {
        browsePhoto(*address);
        return true;
    }
    return false;
}

void HomeWorkListViewController::secondLevelDidChange(bool isSubView)
{
    if (btnAssign_)
        btnAssign_->setHidden(isSubView);
}

// An address that is no web address shows nothing.
void HomeWorkListViewController::browsePhoto(const std::string& address)
{
    auto url = localpage::photoAddress(address);
    if (!url)
        return;
    auto window = UIWindow::keyWindow();
    auto root = window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
    if (!root)
        return;
    tempPhoto_ = BrowserPhoto::photoWithURL(*url);
    auto browser = PhotoBrowser::initWithDelegate(self<HomeWorkListViewController>());
    browser->setInitialPageIndex(0);
    root->presentViewController(std::make_shared<UINavigationController>(browser), true);
}

std::shared_ptr<BrowserPhotoProtocol> HomeWorkListViewController::photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned)
{
    return tempPhoto_;
}
