// The settings tab: its rows in order, what each one opens, the version
// check from the stored announcement, and the list's height on both screens.
#include "app/about/AboutViewController.h"
#include "app/about/IntrodutionViewController.h"
#include "app/login/AccountsViewController.h"
#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "app/settings/SettingViewController.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/host/KeyboardInput.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITableViewCell.h"
#include "tests/support/app/ScreenFoot.h"
#include "tests/support/app/SignedInScreen.h"

#include <gtest/gtest.h>

#include <map>

using namespace testsupport;

namespace {

class Settings : public SignedInScreenTest {
protected:
    std::shared_ptr<SettingViewController> showSettings()
    {
        mainScreen()->switchToView(ORBViewController::kSettingsTab);
        settle(harness());
        return std::dynamic_pointer_cast<SettingViewController>(harness().topScreen());
    }
    std::shared_ptr<UITableView> table()
    {
        return std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("tableview"));
    }
    std::string rowText(long section, long row)
    {
        auto cell = visibleCell<UITableViewCell>(*table(), row, section);
        return cell ? cell->textLabel()->text() : "<none>";
    }
    // Taps the row and lets what it opens come up.
    bool tapRow(long section, long row)
    {
        bool tapped = harness().selectRow(table(), section, row);
        settle(harness());
        return tapped;
    }
    void storeAnnouncement(long long mustUpdate, const std::string& url)
    {
        platform::Dictionary announcement;
        announcement.set("versionCode", "9.9.9");
        announcement.set("versionDesc", "新增班级相册");
        announcement.set("versionUrl", url);
        announcement.set("mustUpdate", mustUpdate);
        platform::UserDefaults::standard()->setObject(platform::Value(announcement), "updateData");
    }
};

} // namespace

TEST_F(Settings, RowsInTheirOrderAndEachOpensItsScreen)
{
    signIn();
    auto settings = showSettings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->title(), "设置");
    ASSERT_EQ(table()->numberOfSections(), 2);
    EXPECT_EQ(table()->numberOfRowsInSection(0), 4);
    EXPECT_EQ(table()->numberOfRowsInSection(1), 3);
    const std::vector<std::vector<std::string>> expected {
        { "关于瑞鸥", "功能介绍", "检查更新", "意见反馈" },
        { "个人设置", "切换角色", "退出登录" },
    };
    for (long section = 0; section < 2; ++section)
        for (long row = 0; row < long(expected[std::size_t(section)].size()); ++row)
            EXPECT_EQ(rowText(section, row), expected[std::size_t(section)][std::size_t(row)]) << section << "/" << row;
    EXPECT_FALSE(harness().render("app-settings.png").empty());

    // Pushed screens come onto the tab's own navigation controller.
    struct Pushed {
        long section, row;
        const char* className;
    };
    for (const Pushed& pushed : { Pushed { 0, 0, "AboutViewController" }, Pushed { 0, 3, "FeedbackViewController" },
             Pushed { 1, 0, "UserInfoViewController" } }) {
        SCOPED_TRACE(pushed.className);
        ASSERT_TRUE(tapRow(pushed.section, pushed.row));
        auto stack = harness().navigationStack();
        ASSERT_EQ(stack.size(), 2u);
        EXPECT_EQ(stack[0], settings);
        EXPECT_EQ(stack[1]->className(), pushed.className);
        harness().visibleNavigationController()->popViewControllerAnimated(false);
        settle(harness());
        ASSERT_EQ(harness().topScreen(), settings);
    }

    // The introduction is presented over everything.
    ASSERT_TRUE(tapRow(0, 1));
    EXPECT_NE(std::dynamic_pointer_cast<IntrodutionViewController>(harness().presentedScreen()), nullptr);
    harness().presentedScreen()->dismissViewControllerAnimated(false);
    settle(harness());

    // The role switch presents the account chooser over the main screen.
    ASSERT_TRUE(tapRow(1, 1));
    EXPECT_NE(std::dynamic_pointer_cast<AccountsViewController>(harness().topScreen()), nullptr);
    harness().presentedScreen()->dismissViewControllerAnimated(false);
    settle(harness());
    ASSERT_EQ(harness().topScreen(), settings);

    // Logging out asks the server and ends on the login screen.
    ASSERT_TRUE(tapRow(1, 2));
    ASSERT_TRUE(waitForAnswer(core::ORBEndpoints::Cmd::kLogout));
    ASSERT_TRUE(harness().runUntil([&] { return loginScreen(harness()) != nullptr; }));
    EXPECT_EQ(core::MyAccountInfo::currentAccount(), nullptr);
}

// The introduction asked for again: Escape closes it, even twice in a row,
// and leaves the person signed in on the settings.
TEST_F(Settings, EscapeClosesTheIntroductionAndKeepsTheSession)
{
    signIn();
    auto settings = showSettings();
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(tapRow(0, 1));
    auto intro = std::dynamic_pointer_cast<IntrodutionViewController>(harness().presentedScreen());
    ASSERT_NE(intro, nullptr);
    EXPECT_TRUE(platform::host::performBackSwipe());
    // Pressed again while it goes: nothing beneath moves.
    platform::host::performBackSwipe();
    settle(harness());
    EXPECT_EQ(harness().presentedScreen(), nullptr);
    EXPECT_EQ(harness().topScreen(), settings);
    EXPECT_NE(core::MyAccountInfo::currentAccount(), nullptr);
    EXPECT_EQ(loginScreen(harness()), nullptr);
}

TEST_F(Settings, UpdateCheckShowsTheStoredAnnouncementOrSaysTheVersionIsCurrent)
{
    signIn();
    ASSERT_NE(showSettings(), nullptr);
    // The demo sign-in announces nothing.
    platform::UserDefaults::standard()->removeObjectForKey("updateData");
    ASSERT_TRUE(tapRow(0, 2));
    auto alert = harness().currentAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "");
    EXPECT_EQ(alert->message(), "当前版本已经为最新");
    ASSERT_EQ(alert->numberOfButtons(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "确定");
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    EXPECT_TRUE(harness().openedURLs().empty());

    // An announcement that may wait offers both buttons; updating opens its address.
    storeAnnouncement(0, "http://example.com/orb.ipa");
    ASSERT_TRUE(tapRow(0, 2));
    alert = harness().currentAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "发现新版本");
    EXPECT_EQ(alert->message(), "新增班级相册");
    ASSERT_EQ(alert->numberOfButtons(), 2);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "立即更新");
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "暂不更新");
    ASSERT_TRUE(harness().tapAlertButton("暂不更新"));
    EXPECT_TRUE(harness().openedURLs().empty());
    ASSERT_TRUE(tapRow(0, 2));
    ASSERT_TRUE(harness().tapAlertButton("立即更新"));
    EXPECT_EQ(harness().openedURLs(), std::vector<std::string> { "http://example.com/orb.ipa" });

    // A forced update offers only the update; an address that is not a web page is not opened.
    storeAnnouncement(1, "tel:10086");
    ASSERT_TRUE(tapRow(0, 2));
    alert = harness().currentAlert();
    ASSERT_NE(alert, nullptr);
    ASSERT_EQ(alert->numberOfButtons(), 1);
    ASSERT_TRUE(harness().tapAlertButton("立即更新"));
    EXPECT_EQ(harness().openedURLs().size(), 1u);

    // A malformed announcement counts as none.
    platform::Dictionary broken;
    broken.set("versionCode", "9.9.9");
    broken.set("mustUpdate", "1");
    platform::UserDefaults::standard()->setObject(platform::Value(broken), "updateData");
    ASSERT_TRUE(tapRow(0, 2));
    ASSERT_NE(harness().currentAlert(), nullptr);
    EXPECT_EQ(harness().currentAlert()->message(), "当前版本已经为最新");
    harness().tapAlertButton("确定");
}

// The layouts are drawn for the 4-inch screen: on the 3.5-inch one the list
// is 88 points shorter than the layout draws it.
TEST(SettingsScreen, ListIsShorterOnTheSmallScreen)
{
    std::map<UIScreen::Kind, double> heights;
    for (auto kind : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        SCOPED_TRACE(kind == UIScreen::Kind::FourInch ? "4-inch" : "3.5-inch");
        AppHarnessOptions options;
        options.screen = kind;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        mainScreen()->switchToView(ORBViewController::kSettingsTab);
        settle(harness);
        auto settings = std::dynamic_pointer_cast<SettingViewController>(harness.topScreen());
        ASSERT_NE(settings, nullptr);
        auto table = harness.viewByOutlet("tableview");
        ASSERT_NE(table, nullptr);
        // Either way the list ends on the tab bar.
        EXPECT_LE(table->frame().maxY(), settings->view()->bounds().height());
        auto tabBar = shownTabBarTop();
        ASSERT_TRUE(tabBar);
        EXPECT_DOUBLE_EQ(screenFrameOf(*table).maxY(), *tabBar);
        heights[kind] = table->frame().height();
    }
    ASSERT_EQ(heights.size(), 2u);
    EXPECT_GT(heights[UIScreen::Kind::ThreePointFiveInch], 200);
    EXPECT_DOUBLE_EQ(heights[UIScreen::Kind::ThreePointFiveInch],
        heights[UIScreen::Kind::FourInch] - BaseViewController::kShortScreenCut);
}
