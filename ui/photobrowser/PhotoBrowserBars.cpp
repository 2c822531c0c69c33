// The navigation bar side of the photo browser, in a file of its own: the
// navigation bar's and the toolbar's headers each declare the bar styles, so
// one source file cannot include both.

#include "platform/os/Bundle.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "ui/photobrowser/PhotoBrowser.h"

void PhotoBrowser::placeNavigationItems()
{
    auto nav = navigationController();
    if (!nav)
        return;
    if (isFirstInNavigationStack()) {
        auto done = UIBarButtonItem::itemWithTitle(platform::localizedString("Done"), UIBarButtonItemStylePlain);
        done->setTarget(self(), &PhotoBrowser::doneButtonPressed,
            "doneButtonPressed:");
        navigationItem()->setRightBarButtonItem(done);
        return;
    }
    const auto& stack = nav->viewControllers();
    if (stack.size() < 2)
        return;
    auto previous = stack[stack.size() - 2];
    // Laid out again: the screen below already carries our item; keep the one saved first.
    if (previousViewController_.lock() == previous)
        return;
    auto& previousItem = previous->navigationItem();
    auto ownBack = previousItem->backBarButtonItem();
    auto title = ownBack ? ownBack->title() : previous->title();
    previousViewControllerBackButton_ = ownBack;
    previousViewController_ = previous;
    previousItem->setBackBarButtonItem(UIBarButtonItem::itemWithTitle(title, UIBarButtonItemStylePlain));
}

struct PhotoBrowser::SavedNavBar {
    std::optional<platform::Color> barTintColor;
    std::optional<platform::Color> tintColor;
    UIBarStyle barStyle = UIBarStyleDefault;
    bool translucent = true;
    std::shared_ptr<UIImage> backgroundImageDefault;
    std::shared_ptr<UIImage> backgroundImageLandscapePhone;
    UITitleTextAttributes titleTextAttributes;
};

void PhotoBrowser::storePreviousNavBarAppearance()
{
    auto nav = navigationController();
    if (!nav)
        return;
    auto& bar = nav->navigationBar();
    auto saved = std::make_shared<SavedNavBar>();
    saved->barTintColor = bar->barTintColor();
    saved->tintColor = bar->tintColor(); // as it shows (the bar may inherit it)
    saved->barStyle = bar->barStyle();
    saved->translucent = bar->isTranslucent();
    saved->backgroundImageDefault = bar->backgroundImageForBarMetrics(UIBarMetricsDefault);
    saved->backgroundImageLandscapePhone = bar->backgroundImageForBarMetrics(UIBarMetricsLandscapePhone);
    saved->titleTextAttributes = bar->titleTextAttributes();
    savedNavBar_ = std::move(saved);
}

void PhotoBrowser::setNavBarAppearance(bool)
{
    auto nav = navigationController();
    if (!nav)
        return;
    auto& bar = nav->navigationBar();
    // Black and translucent, so the photo shows through. Our bars draw their
    // style through the tint, so black translucent is black at 55 % here,
    // with white title and items on it.
    bar->setBarStyle(UIBarStyleBlack);
    bar->setTranslucent(true);
    bar->setBarTintColor(platform::Color::fromWhite(0.0, 0.55));
    bar->setTintColor(platform::Color::whiteColor());
    auto attributes = bar->titleTextAttributes();
    attributes.textColor = platform::Color::whiteColor();
    bar->setTitleTextAttributes(attributes);
    bar->setBackgroundImage(nullptr, UIBarMetricsDefault);
    bar->setBackgroundImage(nullptr, UIBarMetricsLandscapePhone);
}

void PhotoBrowser::restorePreviousNavBarAppearance(bool)
{
    if (auto saved = std::exchange(savedNavBar_, nullptr)) {
        if (auto nav = navigationController()) {
            auto& bar = nav->navigationBar();
            bar->setBarTintColor(saved->barTintColor);
            bar->setTintColor(saved->tintColor);
            bar->setBarStyle(saved->barStyle);
            bar->setTranslucent(saved->translucent);
            bar->setBackgroundImage(saved->backgroundImageDefault, UIBarMetricsDefault);
            bar->setBackgroundImage(saved->backgroundImageLandscapePhone, UIBarMetricsLandscapePhone);
            bar->setTitleTextAttributes(saved->titleTextAttributes);
        }
    }
    if (auto previous = previousViewController_.lock())
        previous->navigationItem()->setBackBarButtonItem(previousViewControllerBackButton_);
    previousViewController_.reset();
    previousViewControllerBackButton_.reset();
}

void PhotoBrowser::setNavigationBarHiddenAlpha(double alpha, double statusBarHeight)
{
    auto nav = navigationController();
    if (!nav)
        return;
    auto& bar = nav->navigationBar();
    if (wantsFullScreenLayout()) {
        auto frame = bar->frame();
        frame.origin.y = statusBarHeight;
        bar->setFrame(frame);
    }
    bar->setAlpha(alpha);
}

void PhotoBrowser::setNavigationBarInteractionEnabled(bool enabled)
{
    if (auto nav = navigationController())
        nav->navigationBar()->setUserInteractionEnabled(enabled);
}

void PhotoBrowser::stopNavigationBarAnimations()
{
    if (auto nav = navigationController())
        UIView::cancelAnimationsOf(nav->navigationBar().get());
}
