// The about and version-history screens.
#include "app/about/AboutViewController.h"
#include "app/about/IntrodutionViewController.h"
#include "app/about/VersionHistoryViewController.h"
#include "app/main/ORBViewController.h"
#include "platform/os/Bundle.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIPageControl.h"
#include "platform/uikit/UIScrollView.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/ScreenFoot.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/overlay/ProgressOverlay.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

TEST(About, VersionLineAndFooterAboveTheBottom)
{
    for (auto screen : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        AppHarnessOptions options;
        options.screen = screen;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        // The settings tab opens it.
        mainScreen()->switchToView(ORBViewController::kSettingsTab);
        auto about = std::make_shared<AboutViewController>();
        harness.visibleNavigationController()->pushViewController(about, true);
        settle(harness);
        EXPECT_EQ(about->title(), "关于瑞鸥");
        EXPECT_EQ(std::dynamic_pointer_cast<UILabel>(findViewByOutlet(about->view(), "lblVersion"))->text(),
            std::string("东岭瑞鸥iPhone客户端 v") + platform::Bundle::main()->buildVersion().value_or(""));
        // Two lines now: grown upwards from the layout's bottom edge, 18
        // points above the foot of the screen on either screen.
        auto footer = findViewByOutlet(about->view(), "lblRight");
        EXPECT_DOUBLE_EQ(footer->frame().maxY(), about->view()->bounds().height() - 18);
        EXPECT_DOUBLE_EQ(screenFrameOf(*footer).maxY(), screenHeight() - 18);
        EXPECT_TRUE(insideScreen(*footer));
        EXPECT_GT(footer->frame().height(), 16);
        if (screen == UIScreen::Kind::FourInch) {
            EXPECT_FALSE(harness.render("app-about.png").empty());
        }
    }
}

TEST(VersionHistory, LoadsTheInstalledVersionsPage)
{
#if defined(__SANITIZE_THREAD__)
    // The page is a real browser engine (WebKitGTK from Debian, built without
    // the thread checker); its GLib locks end the checker itself with an
    // internal error on its first page. The page loads in the ordinary run.
    GTEST_SKIP() << "the browser engine cannot run under the thread checker";
#endif
    EXPECT_EQ(VersionHistoryViewController::historyAddress("http://h/", "1.2.3"), "http://h/mobile2/pull/f/version/1_2_3");
    EXPECT_EQ(VersionHistoryViewController::historyAddress("http://h/", "2"), "http://h/mobile2/pull/f/version/2");

    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
    mainScreen()->switchToView(ORBViewController::kSettingsTab);
    auto history = std::make_shared<VersionHistoryViewController>();
    harness.visibleNavigationController()->pushViewController(history, true);
    settle(harness, 0.1);
    EXPECT_EQ(history->title(), "更新历史");
    auto loading = ProgressOverlay::HUDForView(history->view());
    ASSERT_TRUE(loading);
    EXPECT_EQ(loading->labelText(), "载入中");
    ASSERT_TRUE(harness.runUntil([&] {
        for (const auto& request : harness.serverRequests())
            if (request.route.rfind("f/version/", 0) == 0)
                return true;
        return false;
    }));
    std::string version = platform::Bundle::main()->buildVersion().value_or("");
    std::replace(version.begin(), version.end(), '.', '_');
    bool asked = false;
    for (const auto& request : harness.serverRequests())
        asked = asked || request.route == "f/version/" + version;
    EXPECT_TRUE(asked);
}

// The introduction on either screen: on its last page "立即体验" lies on the
// screen and takes a touch at its centre, and the page dots stand as far
// above the foot as on the 4-inch screen, clear of the button's title.
TEST(IntroductionFoot, TheDotsStayClearOfTheCloseButtonWhichTakesItsTouch)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        settle(harness);
        auto intro = std::dynamic_pointer_cast<IntrodutionViewController>(harness.presentedScreen());
        ASSERT_TRUE(intro);
        auto scroll = std::dynamic_pointer_cast<UIScrollView>(findViewByOutlet(intro->view(), "scrollView"));
        auto dots = std::dynamic_pointer_cast<UIPageControl>(findViewByOutlet(intro->view(), "pageControl"));
        ASSERT_TRUE(scroll);
        ASSERT_TRUE(dots);
        scroll->setContentOffset(platform::Point(intro->maxX(), 0));
        harness.loop().runUntilIdle();
        auto close = std::dynamic_pointer_cast<UIButton>(harness.viewByText("立即体验"));
        ASSERT_TRUE(close);
        EXPECT_TRUE(insideScreen(*close));
        EXPECT_TRUE(touchLandsOn(close));
        EXPECT_TRUE(insideScreen(*dots));
        EXPECT_DOUBLE_EQ(screenHeight() - screenFrameOf(*dots).maxY(), IntrodutionViewController::kDotsFromBottom);
        auto title = screenFrameOf(*close->titleLabel());
        auto shown = screenFrameOf(*dots);
        EXPECT_TRUE(shown.maxY() <= title.minY() || shown.minY() >= title.maxY())
            << "dots " << shown.minY() << "-" << shown.maxY() << ", title " << title.minY() << "-" << title.maxY();
        EXPECT_FALSE(harness.render(tall ? "app-introduction-foot-4inch.png" : "app-introduction-foot-3.5inch.png").empty());
    });
}
