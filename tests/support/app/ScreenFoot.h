#pragma once

// Checks of where a screen's views end on the phone's screen, for tests that
// run a screen on both screen sizes: the foot of a list against the tab bar
// or a toolbar, and whether a touch at a control's centre reaches it.

#include "app/main/ORBViewController.h"
#include "libModule/TabViewController/TabViewController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/UINavigationController.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace testsupport {

// The view's frame in screen points (its window's frame included).
inline platform::Rect screenFrameOf(const UIView& view)
{
    auto rect = view.convertRectToView(view.bounds(), nullptr);
    if (auto window = view.window()) {
        rect.origin.x += window->frame().minX();
        rect.origin.y += window->frame().minY();
    }
    return rect;
}

// The top of the main tab bar on the screen while it shows, else nothing.
inline std::optional<double> shownTabBarTop()
{
    auto tabs = TabViewController::shareInstance();
    auto bar = tabs ? tabs->tabBarView() : nullptr;
    if (!bar || !bar->window() || bar->isHidden() || bar->alpha() < 0.01)
        return std::nullopt;
    auto top = screenFrameOf(*bar).minY();
    if (top >= UIScreen::mainScreen()->bounds().height())
        return std::nullopt;
    return top;
}

inline double screenHeight() { return UIScreen::mainScreen()->bounds().height(); }

// The whole view lies on the screen.
inline bool insideScreen(const UIView& view)
{
    auto frame = screenFrameOf(view);
    auto screen = UIScreen::mainScreen()->bounds();
    return view.window() && frame.minX() >= screen.minX() - 0.01 && frame.minY() >= screen.minY() - 0.01
        && frame.maxX() <= screen.maxX() + 0.01 && frame.maxY() <= screen.maxY() + 0.01;
}

// Where a touch at the view's centre would go, hit-tested through the window
// the screen hands it to (nothing is delivered): the view or one inside it.
inline bool touchLandsOn(const std::shared_ptr<UIView>& view)
{
    if (!view || !view->window())
        return false;
    auto frame = screenFrameOf(*view);
    platform::Point centre(frame.midX(), frame.midY());
    auto window = UIWindow::windowForTouchAtPoint(centre);
    if (!window)
        return false;
    auto hit = window->hitTest(platform::Point(centre.x - window->frame().minX(), centre.y - window->frame().minY()), nullptr);
    for (auto current = hit; current; current = current->superview()) {
        if (current == view)
            return true;
    }
    return false;
}

// A control at the foot: whole on the screen and taking a touch at its centre.
inline void expectReachable(const std::shared_ptr<UIView>& control, const std::string& what)
{
    SCOPED_TRACE(what);
    ASSERT_TRUE(control);
    EXPECT_TRUE(insideScreen(*control)) << "at " << screenFrameOf(*control).minY() << ".." << screenFrameOf(*control).maxY();
    EXPECT_TRUE(touchLandsOn(control));
}

// The screen's view with that outlet name (a failure when there is none).
inline std::shared_ptr<UIView> outletOf(const std::shared_ptr<UIViewController>& screen, const std::string& name)
{
    auto view = findViewByOutlet(screen->view(), name);
    EXPECT_TRUE(view) << name;
    return view;
}

// Shows the tab and pushes the screen on its navigation, as its entries do.
inline void pushOnTab(AppHarness& harness, const std::shared_ptr<UIViewController>& screen, long tab, double settleFor = 2.0)
{
    mainScreen()->switchToView(tab);
    harness.visibleNavigationController()->pushViewController(screen, true);
    settle(harness, settleFor);
}

inline void popScreen(AppHarness& harness)
{
    harness.visibleNavigationController()->popViewControllerAnimated(false);
    settle(harness);
}

// The picture of the screen for a person to look at, named by the screen size.
inline void keepPicture(AppHarness& harness, const std::string& name, bool tall)
{
    EXPECT_FALSE(harness.render(name + (tall ? "-4inch.png" : "-3.5inch.png")).empty());
}

} // namespace testsupport
