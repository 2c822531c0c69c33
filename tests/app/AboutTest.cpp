// The about and version-history screens.
#include "app/about/AboutViewController.h"
#include "app/about/VersionHistoryViewController.h"
#include "app/main/ORBViewController.h"
#include "platform/os/Bundle.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "tests/support/app/ClientApp.h"
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
        // points above the view's, and 88 points higher on the 3.5-inch screen.
        auto footer = findViewByOutlet(about->view(), "lblRight")->frame();
        double bottom = about->view()->bounds().height() - 18 - (screen == UIScreen::Kind::FourInch ? 0 : 88);
        EXPECT_DOUBLE_EQ(footer.maxY(), bottom);
        EXPECT_GT(footer.height(), 16);
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
