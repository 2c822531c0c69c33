#include "circle/album/BrowseBigPhoto.h"

#include "app/web/LocalPageBridge.h"
#include "libModule/TabViewController/TabViewController.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "ui/images/RemoteImageLoader.h"
#include "ui/images/RemoteImageView.h"

namespace circle {

BrowseBigPhoto::BrowseBigPhoto()
    : UIViewController(std::string(kClassName))
{
}

void BrowseBigPhoto::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    UIViewController::declareLayoutBindings(bindings);
    bindings.outlet("imgPhoto", imgPhoto_);
    bindings.outlet("leftItem", leftItem_);
    bindings.action("btnGoBackAction:", &BrowseBigPhoto::btnGoBackAction);
}

void BrowseBigPhoto::viewDidLoad()
{
    UIViewController::viewDidLoad();
    setTitle(kTitle);
    // The bar's title as on every other screen: white and bold.
    auto titleLabel = std::make_shared<UILabel>(platform::Rect(0, 0, kTitleWidth, kTitleHeight));
    titleLabel->setText(kTitle);
    titleLabel->setFont(platform::Font::boldSystemFont(kTitleFontSize));
    titleLabel->setTextColor(platform::Color::whiteColor());
    titleLabel->setBackgroundColor(platform::Color::clearColor());
    titleLabel->setTextAlignment(NSTextAlignmentCenter);
    navigationItem()->setTitleView(titleLabel);
    if (leftItem_) {
        leftItem_->removeFromSuperview();
        navigationItem()->setLeftBarButtonItems({ UIBarButtonItem::itemWithCustomView(leftItem_) });
    }
    // Read as the homework's photo browser reads its address.
    auto address = localpage::photoAddress(url_);
    std::shared_ptr<UIImage> cached;
    if (address)
        cached = RemoteImageLoader::defaultCache()->objectForKey(*address);
    if (cached) {
        imgPhoto_->setImage(cached);
        return;
    }
    imgPhoto_->setImage(nullptr);
    // What is no photo address loads nothing: the screen stays empty.
    ::setImageURL(imgPhoto_, address);
}

void BrowseBigPhoto::viewWillAppear(bool animated)
{
    UIViewController::viewWillAppear(animated);
    auto navigation = navigationController();
    if (!navigation)
        return;
    navigation->setNavigationBarHidden(false, animated);
    if (navigation->viewControllers().size() > 1)
        TabViewController::setSharedTabbarHidden(true, true);
}

void BrowseBigPhoto::btnGoBackAction(UIControl*)
{
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

} // namespace circle
