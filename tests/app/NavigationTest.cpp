// The navigation-type table and the function grid by role.
#include "app/AppClasses.h"
#include "app/main/ORBViewController.h"
#include "app/navigation/NavigationInfo.h"
#include "app/navigation/NavigationViewController.h"
#include "app/navigation/ORBNavigateConfig.h"
#include "core/session/MyAccountInfo.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/ScreenFoot.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

namespace {

void signInAs(int accountType)
{
    auto session = std::make_shared<core::MyAccountInfo>();
    session->setSessionUid("s");
    auto account = std::make_shared<core::AccountInfo>();
    account->type = accountType;
    session->setAccounts(std::vector<std::shared_ptr<core::AccountInfo>> { account });
    session->setCurrent(account);
    core::MyAccountInfo::setInstance(session);
}

std::vector<int> types(const std::vector<std::shared_ptr<NavigationInfo>>& infos)
{
    std::vector<int> result;
    for (const auto& info : infos)
        result.push_back(info->navType());
    return result;
}

} // namespace

TEST(NavigationInfo, TableRows)
{
    struct Row {
        int type;
        int accountType;
        std::optional<std::string> title;
        std::optional<std::string> icon;
        std::optional<std::string> background;
        std::optional<std::string> screen;
        std::optional<std::string> color;
    };
    const Row rows[] = {
        { 0, 1, "通讯录", "grid_item_icon_01", "grid_item_bg01", "ContactsViewController", "A54AD1" },
        { 1, 1, "短信群发", "grid_item_icon_02", "grid_item_bg02", "MessageSendViewController", std::nullopt },
        { 6, 1, "布置作业", "grid_item_icon_07", "grid_item_bg07", "HomeWorkListViewController", std::nullopt },
        { 6, 2, "作业查询", "grid_item_icon_07", "grid_item_bg07", "HomeWorkListViewController", std::nullopt },
        { 6, 3, "作业查询", "grid_item_icon_07", "grid_item_bg07", "HomeWorkListViewController", std::nullopt },
        { 10, 1, "我的动态", "grid_item_icon_11", "grid_item_bg11", std::nullopt, std::nullopt },
        { 20, 1, "教育资源", "grid_item_icon_21", "grid_item_bg21", "EducationResourceViewController", std::nullopt },
        { 25, 1, "成长期刊", "grid_item_icon_25", "", "MagazineListViewController", std::nullopt },
        { 27, 2, "教学视频", "grid_item_icon_26", "grid_item_bg26", "EVViewController", "CC3366" },
        { 30, 1, "点击拨号", "grid_item_icon_29", "grid_item_bg29", "CNumberViewController", "7ebe0c" },
        { 31, 1, "云端讲堂", "grid_item_icon_30", "grid_item_bg29", "WeiClassViewController", "006666" },
        { 32, 1, "热门活动", "grid_item_icon_31", "grid_item_bg29", "HotActivityViewController", "ff3300" },
    };
    for (const auto& row : rows) {
        signInAs(row.accountType);
        NavigationInfo info(row.type);
        EXPECT_EQ(info.navType(), row.type);
        EXPECT_EQ(info.title(), row.title) << row.type;
        EXPECT_EQ(info.logoImageName(), row.icon) << row.type;
        EXPECT_EQ(info.logoBgImageName(), row.background) << row.type;
        EXPECT_EQ(info.viewController(), row.screen) << row.type;
        EXPECT_EQ(info.color(), row.color) << row.type;
    }
    for (int empty : { 21, 22, 23, 24, 26, 33, -1 }) {
        NavigationInfo info(empty);
        EXPECT_EQ(info.navType(), empty);
        EXPECT_FALSE(info.title() || info.logoImageName() || info.logoBgImageName() || info.viewController()
            || info.color())
            << empty;
    }
    core::MyAccountInfo::setInstance(nullptr);
}

TEST(NavigationInfo, GridListsByRole)
{
    signInAs(1);
    EXPECT_EQ(types(ORBNavigateConfig::getNavigationInfos()), (std::vector<int> { 7, 11, 12, 13, 27, 30, 29, 31, 28, 17, 32 }));
    for (int other : { 2, 3 }) {
        signInAs(other);
        EXPECT_EQ(types(ORBNavigateConfig::getNavigationInfos()), (std::vector<int> { 7, 11, 12, 13, 27, 29, 31, 28, 17, 32 }));
    }
    core::MyAccountInfo::setInstance(nullptr);
    EXPECT_EQ(ORBNavigateConfig::getNavigationInfos().size(), 10u);
}

TEST(FunctionGrid, HeightLeavesRoomForTheTabBarByScreen)
{
    struct Row {
        UIScreen::Kind screen;
        bool modeAvailable;
        double margin;
    };
    const Row rows[] = {
        { UIScreen::Kind::FourInch, true, 49 },
        { UIScreen::Kind::ThreePointFiveInch, true, 80 },
        { UIScreen::Kind::FourInch, false, 80 },
    };
    for (const auto& row : rows) {
        AppHarnessOptions options;
        options.screen = row.screen;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        UIScreen::setCurrentModeAvailable(row.modeAvailable);
        signInAs(1);
        auto grid = std::make_shared<NavigationViewController>();
        auto view = grid->view();
        EXPECT_DOUBLE_EQ(findViewByOutlet(view, "gridView")->frame().maxY(), view->bounds().height() - row.margin);
        EXPECT_EQ(grid->title(), "功能导航");
        EXPECT_EQ(view->subviews().front()->className(), "UIImageView") << "the background is at the back";
    }
}

TEST(FunctionGrid, EntriesOpenTheirScreensAndUnknownOnesNothing)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
    auto main = mainScreen();
    auto navigation = main->viewControllers()[ORBViewController::kGridTab];
    auto grid = std::dynamic_pointer_cast<NavigationViewController>(navigation->viewControllers().front());
    ASSERT_TRUE(grid);
    auto tiles = std::dynamic_pointer_cast<GridView>(findViewByOutlet(grid->view(), "gridView"));
    ASSERT_TRUE(tiles);
    EXPECT_DOUBLE_EQ(tiles->contentSize().height, tiles->totalHeight() + GridView::kBottomMargin);
    // The tiles start where the grid puts them, with no inset of the screen's own.
    EXPECT_DOUBLE_EQ(tiles->contentInset().top, 0);
    EXPECT_DOUBLE_EQ(tiles->contentOffset().y, 0);

    const std::pair<const char*, const char*> entries[] = {
        { "班级公告", "ClassNoticeListViewController" },
        { "点击拨号", "CNumberViewController" },
        { "热门活动", "HotActivityViewController" },
    };
    for (const auto& [title, screen] : entries) {
        ASSERT_TRUE(harness.tap(harness.viewByText(title)->superview())) << title;
        // The screen's first request answers, and its overlay leaves the window.
        ASSERT_TRUE(harness.waitForServerQuiet());
        settle(harness);
        ASSERT_EQ(navigation->viewControllers().size(), 2u);
        EXPECT_EQ(navigation->topViewController()->className(), screen);
        EXPECT_EQ(navigation->topViewController()->title(), title);
        if (std::string(title) == "点击拨号") {
            EXPECT_FALSE(harness.render("app-pushed-screen.png").empty());
        }
        navigation->popViewControllerAnimated(true);
        settle(harness);
    }
    // A class nobody registered is ignored.
    platform::ClassRegistry::shared().unregisterClass("WeiClassViewController");
    ASSERT_TRUE(harness.tap(harness.viewByText("云端讲堂")->superview())) << harness.overlayText();
    settle(harness);
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
    app::registerAppClasses();
}

TEST(FunctionGrid, TilesStandEvenlyInsetAndBelowTheStatusBarOnBothScreens)
{
    onBothScreens([&](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        letAddressBookEnd(harness);
        auto main = mainScreen();
        auto navigation = main->viewControllers()[ORBViewController::kGridTab];
        auto grid = std::dynamic_pointer_cast<NavigationViewController>(navigation->viewControllers().front());
        ASSERT_TRUE(grid);
        auto tiles = std::dynamic_pointer_cast<GridView>(findViewByOutlet(grid->view(), "gridView"));
        ASSERT_TRUE(tiles);
        const auto& items = tiles->itemViews();
        ASSERT_EQ(items.size(), 11u);

        auto window = harness.window();
        const double screenWidth = window->bounds().width();
        const double statusBar = UIApplication::sharedApplication().statusBarHeight();
        ASSERT_GT(statusBar, 0);
        double left = screenWidth;
        double right = 0;
        double top = window->bounds().height();
        for (const auto& item : items) {
            auto onScreen = item->convertRectToView(item->bounds(), window.get());
            left = std::min(left, onScreen.minX());
            right = std::max(right, onScreen.maxX());
            top = std::min(top, onScreen.minY());
        }
        // The outer columns are as far from the screen's edges, and clear of them.
        EXPECT_GT(left, 0);
        EXPECT_LT(right, screenWidth);
        EXPECT_NEAR(left, screenWidth - right, 1.0);
        // The first row starts below the status bar, not under it.
        EXPECT_GT(top, statusBar);
        // The grid itself starts there, and ends on the tab bar: its last
        // tiles scroll down to the bar, not to a band above it.
        auto gridOnScreen = tiles->convertRectToView(tiles->bounds(), window.get());
        EXPECT_GE(gridOnScreen.minY(), statusBar);
        auto tabBarTop = testsupport::shownTabBarTop();
        ASSERT_TRUE(tabBarTop);
        EXPECT_DOUBLE_EQ(gridOnScreen.maxY(), *tabBarTop);
        EXPECT_FALSE(harness.render(tall ? "app-grid-4inch.png" : "app-grid-3.5inch.png").empty());
    });
}
