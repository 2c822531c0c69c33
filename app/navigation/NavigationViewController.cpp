#include "app/navigation/NavigationViewController.h"

#include "app/navigation/ORBNavigateConfig.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"

NavigationViewController::NavigationViewController()
    : NavigationViewController(std::string(kClassName))
{
}

NavigationViewController::NavigationViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
    // Taken once: a new grid screen is made at every sign-in.
    , gridItems_(ORBNavigateConfig::getNavigationInfos())
{
}

void NavigationViewController::loadView()
{
    BaseViewController::loadView();
    auto root = view();
    double margin = kBottomMargin;
    if (auto mode = UIScreen::mainScreen()->currentMode(); mode && mode->size.width == 640)
        margin = mode->size.height == 1136 ? kTallBottomMargin : kBottomMargin;
    auto bounds = root->bounds();
    // The screen has no navigation bar and its view starts at the top of the
    // screen: the grid starts below the status bar so that its first row is
    // not drawn under it, and still ends above the tab bar.
    gridView_ = std::make_shared<GridView>(
        platform::Rect(0, kStatusBarHeight, bounds.width(), bounds.height() - margin - kStatusBarHeight));
    gridView_->setOutletName("gridView");
    gridView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    gridView_->setGridDelegate(self<NavigationViewController>());
    root->addSubview(gridView_);

    auto image = UIImage::imageNamed("nav_background.png");
    if (image)
        platform::log("bg image:%s, size:{%g, %g}\n", "nav_background.png", image->size().width, image->size().height);
    auto background = std::make_shared<UIImageView>(image);
    background->setFrame(bounds);
    background->setContentMode(UIViewContentModeScaleAspectFill);
    background->setClipsToBounds(true);
    background->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    root->addSubview(background);
    root->sendSubviewToBack(background);
}

void NavigationViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setTitle("功能导航");
}

void NavigationViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, true);
    // The margin above was measured for a screen whose tab bar lay 80 points
    // above the foot of the 3.5-inch one; here the bar lies 49 points above
    // the foot on either screen, and the tiles scroll down to it.
    if (!gridKeptAtTabBar_) {
        gridKeptAtTabBar_ = true;
        keepAtVisibleBottom(gridView_);
    }
}

void NavigationViewController::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    gridView_->layoutIfNeeded();
    gridView_->resetGridViewSize();
}

unsigned long NavigationViewController::gridViewNumberOfItems(GridView*) { return gridItems_.size(); }

GridViewItem NavigationViewController::gridViewItemForIndex(GridView*, unsigned long index)
{
    GridViewItem item;
    if (index >= gridItems_.size())
        return item;
    const auto& info = gridItems_[index];
    item.title = info->title().value_or("");
    item.logoImageName = info->logoImageName().value_or("");
    item.color = info->color().value_or("");
    return item;
}

void NavigationViewController::gridViewDidSelectItemAtIndex(GridView*, unsigned long index)
{
    if (index >= gridItems_.size())
        return;
    const auto& info = gridItems_[index];
    if (!info->viewController())
        return;
    auto screen = platform::ClassRegistry::shared().createAs<UIViewController>(*info->viewController());
    if (!screen)
        return;
    if (auto base = std::dynamic_pointer_cast<BaseViewController>(screen))
        base->setTitle(info->title().value_or(""));
    else
        screen->setTitle(info->title().value_or(""));
    if (auto navigation = navigationController())
        navigation->pushViewController(screen, true);
}
