#include "libModule/TabViewController/TabViewController.h"

#include "platform/os/Log.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "ui/controls/UIImageRotate.h"
#include "ui/controls/UINavigationBarBackgroundImage.h"

namespace {

// The one shared tab controller: the newest alive (weak, so a controller
// that is gone is never handed out).
std::weak_ptr<TabViewController>& sharedSlot()
{
    static std::weak_ptr<TabViewController> slot;
    return slot;
}
TabViewController* sharedRaw = nullptr;

bool isPortrait()
{
    long orientation = UIApplication::sharedApplication().statusBarOrientation();
    return orientation == UIInterfaceOrientationPortrait || orientation == UIInterfaceOrientationPortraitUpsideDown;
}

std::shared_ptr<UIImage> emptyImage() { return std::make_shared<UIImage>(platform::Image(1, 1)); }

} // namespace

TabViewController::TabViewController()
    : TabViewController(std::string())
{
}

TabViewController::TabViewController(std::string nibName)
    : UIViewController(std::move(nibName))
{
    setWantsFullScreenLayout(true);
    // The weak slot is filled on first use: a constructor cannot hand out a
    // shared reference to itself yet.
    sharedRaw = this;
    sharedSlot().reset();
}

TabViewController::~TabViewController()
{
    if (sharedRaw == this)
        sharedRaw = nullptr;
    splashCall_.cancel();
}

std::shared_ptr<TabViewController> TabViewController::shareInstance()
{
    if (auto shared = sharedSlot().lock())
        return shared;
    if (!sharedRaw)
        return nullptr;
    auto shared = std::static_pointer_cast<TabViewController>(sharedRaw->weak_from_this().lock());
    sharedSlot() = shared;
    return shared;
}

void TabViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    UIViewController::declareLayoutBindings(bindings);
    bindings.outlet("contentView", contentView_);
    // Layouts without the sliding marker show none.
    bindings.optionalOutlet("cursorView", cursorView_);
    bindings.outlet("tabBarView", tabBarView_);
    bindings.outlet("topBarView", topBarView_);
}

std::vector<std::shared_ptr<UIViewController>> TabViewController::childrenForAppearanceForwarding() const
{
    if (curIndex_ < 0 || curIndex_ >= long(viewControllers_.size()))
        return {};
    return { viewControllers_[std::size_t(curIndex_)] };
}

void TabViewController::setViewControllers(
    const std::vector<std::string>& classNames, std::shared_ptr<UIImage> navibarImage)
{
    curIndex_ = -1;
    for (const auto& old : viewControllers_) {
        if (old->isViewLoaded() && old->view()->superview())
            old->view()->removeFromSuperview();
        old->removeFromParentViewController();
    }
    std::vector<std::shared_ptr<UINavigationController>> list;
    for (const auto& name : classNames) {
        auto screen = platform::ClassRegistry::shared().createAs<UIViewController>(name);
        if (!screen) {
            // A tab without its screen would leave the buttons and the tabs
            // out of step; an empty screen keeps every index right.
            platform::log("TabViewController: no screen class \"%s\"; the tab shows an empty screen\n", name.c_str());
            screen = std::make_shared<UIViewController>();
        }
        auto navigation = std::make_shared<UINavigationController>(screen);
        UINavigationBarBackgroundImage::setBgImage(navibarImage);
        UINavigationBarBackgroundImage::setBgImage(*navigation->navigationBar(), navibarImage);
        UINavigationBar::appearance().shadowImage = emptyImage();
        navigation->navigationBar()->setShadowImage(UINavigationBar::appearance().shadowImage);
        navigation->view()->setAutoresizingMask(63);
        addChildViewController(navigation);
        list.push_back(std::move(navigation));
    }
    viewControllers_ = std::move(list);
    isInitVCs_ = false;
    initVCs();
}

void TabViewController::setNavibarImage(const std::shared_ptr<UIImage>& image)
{
    UINavigationBarBackgroundImage::setBgImage(image);
    for (const auto& navigation : viewControllers_)
        navigation->navigationBar()->setBackgroundImage(image, UIBarMetricsDefault);
}

void TabViewController::initVCs()
{
    if (!contentView_ || isInitVCs_ || viewControllers_.empty())
        return;
    isInitVCs_ = true;
    if (viewControllers_.size() != tabBtns_.size()) {
        // Cannot happen with the empty-screen stand-in above; kept as a guard
        // instead of stopping the program.
        platform::log("TabViewController: %zu tabs for %zu buttons\n", viewControllers_.size(), tabBtns_.size());
    }
    auto self = std::static_pointer_cast<TabViewController>(shared_from_this());
    for (const auto& button : tabBtns_)
        button->addTarget(self, &TabViewController::btnTabTouchUpInside, UIControlEventTouchUpInside);
    for (const auto& subview : std::vector<std::shared_ptr<UIView>>(contentView_->subviews()))
        subview->removeFromSuperview();
    long tag = 0;
    if (currentBtn_) {
        btnTabStateChanged(currentBtn_.get(), true);
        tag = currentBtn_->tag();
    }
    switchToView(tag);
}

void TabViewController::switchToView(long index)
{
    if (index < 0 || index >= long(viewControllers_.size()))
        return;
    long currentTag = currentBtn_ ? currentBtn_->tag() : -1;
    if (currentTag != index) {
        if (currentBtn_)
            btnTabStateChanged(currentBtn_.get(), false);
        for (const auto& button : tabBtns_) {
            if (button->tag() == index) {
                currentBtn_ = button;
                break;
            }
        }
        if (currentBtn_)
            btnTabStateChanged(currentBtn_.get(), true);
        if (cursorView_ && currentBtn_) {
            auto cursor = cursorView_;
            auto buttonFrame = currentBtn_->frame();
            bool portrait = isPortrait();
            auto move = [cursor, buttonFrame, portrait] {
                auto frame = cursor->frame();
                if (portrait)
                    frame.origin.x = buttonFrame.minX() + (buttonFrame.width() - frame.width()) / 2;
                else
                    frame.origin.y = buttonFrame.minY();
                cursor->setFrame(frame);
            };
            if (cursorAnimating_)
                UIView::animateWithDuration(0.2, move);
            else
                move();
        }
    }
    std::shared_ptr<UINavigationController> old;
    if (curIndex_ >= 0 && curIndex_ < long(viewControllers_.size()))
        old = viewControllers_[std::size_t(curIndex_)];
    if (curIndex_ == index) {
        if (old)
            old->popToRootViewControllerAnimated(true);
        return;
    }
    bool onScreen = isVisible() || appearanceState() == AppearanceState::Appearing;
    if (old && old->isViewLoaded() && old->view()->superview()) {
        if (onScreen)
            old->beginAppearanceTransition(false, false);
        old->view()->removeFromSuperview();
        if (onScreen)
            old->endAppearanceTransition();
    }
    curIndex_ = index;
    auto next = viewControllers_[std::size_t(index)];
    if (onScreen)
        next->beginAppearanceTransition(true, false);
    next->view()->setFrame(contentView_->bounds());
    contentView_->addSubview(next->view());
    if (onScreen)
        next->endAppearanceTransition();
}

void TabViewController::setTabbarHidden(bool hidden, bool animated)
{
    if (!isViewLoaded() || !tabBarView_)
        return;
    auto root = view();
    auto tabBar = tabBarView_;
    auto topBar = topBarView_;
    double topBarY = orgTopBarY_;
    bool portrait = isPortrait();
    auto change = [root, tabBar, topBar, topBarY, portrait, hidden] {
        auto bounds = root->bounds();
        auto tabFrame = tabBar->frame();
        if (portrait)
            tabFrame.origin.y = hidden ? bounds.height() : bounds.height() - tabFrame.height();
        else
            tabFrame.origin.x = hidden ? -tabFrame.width() : 0;
        tabBar->setFrame(tabFrame);
        tabBar->setAlpha(hidden ? 0.0 : 1.0);
        if (topBar) {
            auto topFrame = topBar->frame();
            if (portrait)
                topFrame.origin.y = hidden ? topBarY - topFrame.height() : topBarY;
            else
                topFrame.origin.x = hidden ? bounds.width() : bounds.width() - topFrame.width();
            topBar->setFrame(topFrame);
            topBar->setAlpha(hidden ? 0.0 : 1.0);
        }
    };
    if (animated)
        UIView::animateWithDuration(0.2, change);
    else
        change();
}

void TabViewController::setSharedTabbarHidden(bool hidden, bool animated)
{
    if (auto shared = shareInstance())
        shared->setTabbarHidden(hidden, animated);
}

void TabViewController::btnTabStateChanged(UIControl*, bool) { }

void TabViewController::btnTabTouchUpInside(UIControl* button)
{
    if (button)
        switchToView(button->tag());
}

void TabViewController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    view()->setUserInteractionEnabled(false);
    if (topBarView_)
        orgTopBarY_ = topBarView_->frame().minY();
    initVCs();
    std::weak_ptr<TabViewController> weak = std::static_pointer_cast<TabViewController>(shared_from_this());
    if (isShowSplashView_) {
        if (!splashView_) {
            bool tall = UIScreen::mainScreen()->bounds().height() == 568.0;
            auto image = UIImage::imageNamed(tall ? "Default-568h.png" : "Default.png");
            long orientation = UIApplication::sharedApplication().statusBarOrientation();
            if (orientation == UIInterfaceOrientationLandscapeLeft)
                image = UIImageRotate::rotate(image, 90.0);
            else if (orientation == UIInterfaceOrientationLandscapeRight)
                image = UIImageRotate::rotate(image, -90.0);
            auto imageView = std::make_shared<UIImageView>(image);
            imageView->setFrame(view()->bounds());
            splashView_ = imageView;
        }
        view()->addSubview(splashView_);
        splashCall_ = platform::dispatchAfter(kSplashDelay, [weak] {
            if (auto self = weak.lock())
                self->hideSplashView();
        });
    } else {
        splashCall_ = platform::dispatchAfter(kSplashDelay, [weak] {
            if (auto self = weak.lock())
                self->removeSplashView();
        });
    }
}

void TabViewController::hideSplashView()
{
    if (!splashView_) {
        removeSplashView();
        return;
    }
    auto splash = splashView_;
    std::weak_ptr<TabViewController> weak = std::static_pointer_cast<TabViewController>(shared_from_this());
    UIView::animateWithDuration(kSplashFadeDuration, kSplashDelay, 0,
        [splash] {
            auto f = splash->frame();
            splash->setFrame(platform::Rect(f.minX() - f.width() / 2, f.minY() - f.height() / 2, 2 * f.width(),
                2 * f.height()));
            splash->setAlpha(0);
        },
        [weak](bool) {
            if (auto self = weak.lock())
                self->removeSplashView();
        });
}

void TabViewController::removeSplashView()
{
    UIApplication::sharedApplication().setStatusBarHidden(false, true);
    if (splashView_) {
        splashView_->removeFromSuperview();
        splashView_.reset();
    }
    if (isViewLoaded())
        view()->setUserInteractionEnabled(true);
}
