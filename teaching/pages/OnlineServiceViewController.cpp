#include "teaching/pages/OnlineServiceViewController.h"

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UINavigationController.h"

OnlineServiceViewController::OnlineServiceViewController()
    : LocalPageViewController(std::string(kClassName), "olwords", "index")
{
}

void OnlineServiceViewController::viewDidLoad()
{
    LocalPageViewController::viewDidLoad();
    setTitle(kTitle);
    // Anyone may write to the service desk.
    setRightItem(imageBarButton("message_box_compose_btn.png", "btnWrite", &OnlineServiceViewController::writeOnlineServiceAction));
}

void OnlineServiceViewController::writeOnlineServiceAction(UIControl*)
{
    auto sender = platform::ClassRegistry::shared().createAs<UIViewController>(kSenderClassName);
    auto navigation = navigationController();
    if (!sender || !navigation)
        return;
    navigation->pushViewController(sender, true);
    reloadOn(kSentNotification);
}

bool OnlineServiceViewController::bridgePathRequested(const std::string& path, const NSURLRequest&)
{
    if (path == kReturnPath) {
        closeScreen();
        return true;
    }
    return false;
}
