// The main screen: the start-up gate, the five tabs rebuilt at every
// sign-in, switching and re-tapping, the badges, bar hiding, role switch and
// logout against the stand-in server.
#include "app/about/IntrodutionViewController.h"
#include "platform/uikit/UIWindow.h"
#include "app/base/BaseViewController.h"
#include "app/login/AccountCell.h"
#include "app/login/AccountsViewController.h"
#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "app/navigation/NavigationViewController.h"
#include "core/session/MyAccountInfo.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/graphics/Image.h"
#include "platform/host/KeyboardInput.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIPageControl.h"
#include "platform/uikit/UIScrollView.h"
#include "server/ReplyScript.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/overlay/ProgressOverlay.h"

#include <gtest/gtest.h>

using foundation::HTTPRequest;

using namespace testsupport;

namespace {

std::size_t commandCount(const AppHarness& harness, const std::string& cmd)
{
    std::size_t n = 0;
    for (const auto& request : harness.serverRequests())
        n += request.command == cmd;
    return n;
}

std::shared_ptr<NavigationViewController> gridScreen()
{
    auto main = mainScreen();
    if (!main || main->viewControllers().size() < 3)
        return nullptr;
    return std::dynamic_pointer_cast<NavigationViewController>(
        main->viewControllers()[ORBViewController::kGridTab]->viewControllers().front());
}

// A screen with a drop-down title, as the message box and others use it.
class DropDownScreen final : public BaseViewController {
public:
    DropDownScreen()
    {
        setTitle("全部消息");
        setHasOpenList(true);
        platform::Array entries;
        for (const char* title : { "全部消息", "未读消息", "群发消息" }) {
            platform::Dictionary entry;
            entry.set("title", title);
            entries.push_back(platform::Value(entry));
        }
        setBaseListData(entries);
    }
    void viewWillAppear(bool animated) override
    {
        BaseViewController::viewWillAppear(animated);
        navigationController()->setNavigationBarHidden(false, true);
        view()->setBackgroundColor(platform::Color::fromRGB255(238, 241, 244));
    }
    void openListIndex(const platform::Value& entry) override { chosen.push_back(entry.asDictionary()->get("title").stringValue()); }
    std::vector<std::string> chosen;
};

} // namespace

TEST(MainScreen, FirstRunShowsTheIntroductionThenTheLogin)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    settle(harness);
    auto intro = std::dynamic_pointer_cast<IntrodutionViewController>(harness.presentedScreen());
    ASSERT_TRUE(intro);
    EXPECT_TRUE(platform::UserDefaults::standard()->boolForKey(kNotFirstTimeKey));
    auto dots = std::dynamic_pointer_cast<UIPageControl>(findViewByOutlet(intro->view(), "pageControl"));
    ASSERT_TRUE(dots);
    // Nobody is signed in: the parents' two pages.
    EXPECT_EQ(dots->numberOfPages(), 2);
    EXPECT_EQ(IntrodutionViewController::pictureFormat(), "introduction_parent_%02i");
    EXPECT_FALSE(loginScreen(harness));
    EXPECT_FALSE(harness.render("app-introduction.png").empty());

    auto scroll = std::dynamic_pointer_cast<UIScrollView>(findViewByOutlet(intro->view(), "scrollView"));
    ASSERT_TRUE(scroll);
    scroll->setContentOffset(platform::Point(intro->maxX(), 0));
    harness.loop().runUntilIdle();
    EXPECT_FALSE(harness.render("app-introduction-last.png").empty());
    scroll->setContentOffset(platform::Point(intro->maxX() + 60, 0));
    harness.loop().runUntilIdle();
    EXPECT_EQ(dots->currentPage(), 1);
    // The dots stay on the last page but never take a touch meant for what
    // lies beneath them.
    EXPECT_FALSE(dots->isHidden());
    auto middle = dots->convertPointToView(platform::Point(dots->bounds().width() / 2, 5), nullptr);
    EXPECT_NE(harness.window()->hitTest(middle, nullptr), std::static_pointer_cast<UIView>(dots));
    settle(harness);
    EXPECT_EQ(harness.presentedScreen(), intro) << "60 points past the last page keeps it";
    scroll->setContentOffset(platform::Point(intro->maxX() + 61, 0));
    scroll->setContentOffset(platform::Point(intro->maxX() + 70, 0));
    EXPECT_EQ(intro->modalTransitionStyle(), UIModalTransitionStyleCrossDissolve);
    settle(harness);

    // The main screen comes into view again: now the login, in a bar-less navigation controller.
    auto login = loginScreen(harness);
    ASSERT_TRUE(login);
    ASSERT_TRUE(login->navigationController());
    EXPECT_TRUE(login->navigationController()->isNavigationBarHidden());
    EXPECT_EQ(login->nibName(), "LoginViewController");
    EXPECT_FALSE(harness.render("app-login.png").empty());
}

// Escape on the desktop closes the introduction as its "立即体验" does, from
// any page: on the first run the login comes next, and Escape does not take
// the login away.
TEST(MainScreen, EscapeClosesTheIntroduction)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    settle(harness);
    auto intro = std::dynamic_pointer_cast<IntrodutionViewController>(harness.presentedScreen());
    ASSERT_TRUE(intro);
    // The first page: the close button is not in view yet.
    EXPECT_TRUE(platform::host::performBackSwipe());
    settle(harness);
    EXPECT_NE(harness.presentedScreen(), intro);
    auto login = loginScreen(harness);
    ASSERT_TRUE(login) << "the login follows the introduction";
    EXPECT_FALSE(harness.render("app-introduction-escaped.png").empty());

    EXPECT_FALSE(platform::host::performBackSwipe());
    settle(harness);
    EXPECT_EQ(loginScreen(harness), login);
}

TEST(MainScreen, WrongPasswordShowsTheServersText)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    ASSERT_TRUE(harness.signIn(kDemoTeacher, "wrong-password"));
    EXPECT_EQ(harness.overlayText(), "用户名或密码错误");
    EXPECT_FALSE(core::MyAccountInfo::instance());
    EXPECT_TRUE(loginScreen(harness));
    EXPECT_TRUE(mainScreen()->tabBtns().empty());
}

TEST(MainScreen, TeacherSignsInToFiveTabsAndElevenGridEntries)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
    settle(harness);

    EXPECT_EQ(harness.notifications().count(kNotificationLoginSucceeded), 1u);
    auto account = core::MyAccountInfo::currentAccount();
    ASSERT_TRUE(account);
    EXPECT_EQ(account->type, 1);
    EXPECT_FALSE(loginScreen(harness)) << "the login is dismissed";

    auto main = mainScreen();
    ASSERT_EQ(main->viewControllers().size(), 5u);
    ASSERT_EQ(main->tabBtns().size(), 5u);
    EXPECT_EQ(main->curIndex(), ORBViewController::kGridTab);
    const char* names[] = { "家校互动", "家校圈", "功能导航", "通讯录", "设置" };
    const char* classes[] = { "MessageBoxViewController", "HomeSchoolCircleViewController", "NavigationViewController",
        "ContactsViewController", "SettingViewController" };
    double x = 0;
    for (std::size_t i = 0; i < 5; ++i) {
        auto button = std::dynamic_pointer_cast<MainBtn>(main->tabBtns()[i]);
        ASSERT_TRUE(button);
        EXPECT_EQ(button->lblName()->text(), names[i]);
        EXPECT_EQ(button->select(), i == 2);
        EXPECT_EQ(button->frame().minX(), x);
        EXPECT_EQ(button->frame().width(), 64);
        x += 64;
        EXPECT_EQ(main->viewControllers()[i]->viewControllers().front()->className(), classes[i]);
    }
    EXPECT_EQ(main->badgeBtn(), main->tabBtns()[0]);
    EXPECT_EQ(main->badgeBtnHomeSchool(), main->tabBtns()[1]);

    auto grid = gridScreen();
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->gridItems().size(), 11u);
    auto tiles = std::dynamic_pointer_cast<GridView>(findViewByOutlet(grid->view(), "gridView"));
    ASSERT_TRUE(tiles);
    EXPECT_EQ(tiles->itemViews().size(), 11u);
    EXPECT_EQ(grid->gridItems()[5]->title().value_or(""), "点击拨号");
    EXPECT_TRUE(grid->navigationController()->isNavigationBarHidden());
    // The warm prompt greets the first sign-in.
    EXPECT_TRUE(ProgressOverlay::HUDForView(main->view()));
    EXPECT_FALSE(harness.render("app-warm-prompt.png").empty());
    // The address book's first download ends with its notice on the window,
    // over the prompt, for a moment.
    settle(harness, 2.0);
    ASSERT_TRUE(harness.tapButton("我知道了"));
    settle(harness);
    EXPECT_FALSE(harness.render("app-grid-teacher.png").empty());

    // The introduction asked for again: a teacher's three pages, the close button on the third.
    main->showIntroduction();
    settle(harness);
    auto intro = std::dynamic_pointer_cast<IntrodutionViewController>(harness.presentedScreen());
    ASSERT_TRUE(intro);
    EXPECT_EQ(std::dynamic_pointer_cast<UIPageControl>(findViewByOutlet(intro->view(), "pageControl"))->numberOfPages(), 3);
    EXPECT_DOUBLE_EQ(intro->maxX(), 640);
    auto close = std::dynamic_pointer_cast<UIButton>(harness.viewByText("立即体验"));
    ASSERT_TRUE(close);
    EXPECT_DOUBLE_EQ(close->frame().minX(), 640 + 46);
    intro->btnCloseTouchUpInside(nullptr);
    settle(harness);
    EXPECT_FALSE(harness.presentedScreen());
}

TEST(MainScreen, ParentOfTwoChoosesAnAccountThenGetsTenEntries)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    ASSERT_TRUE(harness.signIn(kDemoParentOfTwo, kDemoParentPassword));
    settle(harness);

    auto chooser = std::dynamic_pointer_cast<AccountsViewController>(harness.topScreen());
    ASSERT_TRUE(chooser) << "two accounts: the chooser is pushed onto the login screen";
    EXPECT_EQ(harness.notifications().count(kNotificationLoginSucceeded), 0u);
    EXPECT_EQ(chooser->title(), "选择账号");
    EXPECT_EQ(harness.navigationStack().size(), 2u);
    auto table = std::dynamic_pointer_cast<UITableView>(findViewByOutlet(chooser->view(), "tableView"));
    ASSERT_EQ(table->numberOfRowsInSection(0), 2);
    table->layoutIfNeeded();
    for (long row = 0; row < 2; ++row) {
        auto cell = std::dynamic_pointer_cast<AccountCell>(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
        ASSERT_TRUE(cell);
        EXPECT_EQ(testsupport::findOutlet<UILabel>(cell, "lblType")->text(), "家长");
        EXPECT_TRUE(testsupport::findOutlet<UIImageView>(cell, "imgChecked")->isHidden()) << "right after login no account is current";
    }
    // The avatars come from the server's thumbnails.
    auto visibleCell = std::dynamic_pointer_cast<AccountCell>(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)));
    ASSERT_TRUE(visibleCell);
    auto defaultAvatar = UIImage::imageNamed("account_default_avatar");
    EXPECT_TRUE(harness.runUntil([&] { return visibleCell->imgAvatar()->image() != defaultAvatar; }, 5));
    settle(harness, 0.5);
    EXPECT_FALSE(harness.render("app-account-chooser.png").empty());

    auto second = (*core::MyAccountInfo::instance()->accounts())[1];
    ASSERT_TRUE(harness.selectRow(table, 0, 1));
    settle(harness);
    EXPECT_EQ(core::MyAccountInfo::currentAccount(), second);
    EXPECT_EQ(harness.notifications().count(kNotificationLoginSucceeded), 1u);
    EXPECT_FALSE(harness.presentedScreen() && std::dynamic_pointer_cast<UINavigationController>(harness.presentedScreen()));
    auto grid = gridScreen();
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->gridItems().size(), 10u);
    EXPECT_EQ(grid->gridItems()[5]->title().value_or(""), "成长课堂");
    // The new tabs download the account's address book, whose notice would
    // take the taps below for its moment.
    letAddressBookEnd(harness);
    harness.tapButton("我知道了");
    settle(harness);
    EXPECT_FALSE(harness.render("app-grid-parent.png").empty());

    // The role switch: the chooser again, modally, with the current account ticked.
    mainScreen()->roleToggle();
    settle(harness);
    chooser = std::dynamic_pointer_cast<AccountsViewController>(harness.topScreen());
    ASSERT_TRUE(chooser);
    table = std::dynamic_pointer_cast<UITableView>(findViewByOutlet(chooser->view(), "tableView"));
    table->layoutIfNeeded();
    auto firstCell = std::dynamic_pointer_cast<AccountCell>(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)));
    auto secondCell = std::dynamic_pointer_cast<AccountCell>(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0)));
    ASSERT_TRUE(firstCell && secondCell);
    EXPECT_TRUE(testsupport::findOutlet<UIImageView>(firstCell, "imgChecked")->isHidden());
    EXPECT_FALSE(testsupport::findOutlet<UIImageView>(secondCell, "imgChecked")->isHidden());
    EXPECT_FALSE(harness.render("app-account-chooser-role-switch.png").empty());
    // Back dismisses without changing anything.
    ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnBack")));
    settle(harness);
    EXPECT_FALSE(harness.presentedScreen());
    EXPECT_EQ(core::MyAccountInfo::currentAccount(), second);

    // Choosing the other account rebuilds every tab.
    auto oldGrid = gridScreen();
    mainScreen()->roleToggle();
    settle(harness);
    chooser = std::dynamic_pointer_cast<AccountsViewController>(harness.topScreen());
    ASSERT_TRUE(chooser);
    ASSERT_TRUE(harness.selectRow(std::dynamic_pointer_cast<UITableView>(findViewByOutlet(chooser->view(), "tableView")), 0, 0));
    settle(harness);
    EXPECT_EQ(core::MyAccountInfo::currentAccount(), (*core::MyAccountInfo::instance()->accounts())[0]);
    EXPECT_NE(gridScreen(), oldGrid);
    EXPECT_FALSE(harness.presentedScreen());
}

// Behind the status bar of a screen with its top bar, on either screen size,
// the bar's own colour, as on every tab: the forgotten-password screen on
// the sign-in, the account chooser from the login and from the role switch.
TEST(MainScreen, ScreensOverTheTabsKeepTheBarsColourBehindTheStatusBar)
{
    const platform::Color barColour = platform::Color::fromRGB255(29, 164, 149);
    onBothScreens([&](AppHarness& harness, bool tall) {
        const std::string size = tall ? "568" : "480";
        auto strip = [&](const std::string& name) {
            SCOPED_TRACE(name);
            settle(harness, 0.5);
            auto path = harness.render(name + "-" + size + ".png");
            auto picture = platform::Image::fromFile(path);
            ASSERT_TRUE(picture);
            const double scale = picture->pixelWidth() / 320.0;
            for (double x : { 40.0, 160.0, 300.0 }) {
                auto p = picture->pixelAt(int(x * scale), int(10 * scale));
                EXPECT_NEAR(p[0], 255 * barColour.red, 3) << "at " << x;
                EXPECT_NEAR(p[1], 255 * barColour.green, 3) << "at " << x;
                EXPECT_NEAR(p[2], 255 * barColour.blue, 3) << "at " << x;
            }
        };
        ASSERT_TRUE(passIntroduction(harness));
        ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnForgetPwd")));
        settle(harness);
        ASSERT_EQ(harness.topScreen()->title(), "忘记密码");
        strip("app-forget-password");
        ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnBack")));
        settle(harness);

        ASSERT_TRUE(harness.signIn(kDemoParentOfTwo, kDemoParentPassword));
        settle(harness);
        auto chooser = std::dynamic_pointer_cast<AccountsViewController>(harness.topScreen());
        ASSERT_TRUE(chooser);
        strip("app-account-chooser-login");
        auto table = std::dynamic_pointer_cast<UITableView>(findViewByOutlet(chooser->view(), "tableView"));
        ASSERT_TRUE(harness.selectRow(table, 0, 0));
        settle(harness);
        letAddressBookEnd(harness);
        harness.tapButton("我知道了");
        settle(harness);
        mainScreen()->roleToggle();
        settle(harness);
        ASSERT_TRUE(std::dynamic_pointer_cast<AccountsViewController>(harness.topScreen()));
        strip("app-account-chooser-switch");
    });
}

TEST(MainScreen, BadgesShowCountsUpToNinetyNine)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
    auto main = mainScreen();
    auto badge = main->badgeBtn();
    double rightEdge = badge->badgeView()->frame().maxX();
    struct Row {
        int number;
        bool shown;
        std::string text;
    };
    const Row rows[] = { { 0, false, "" }, { -1, false, "" }, { 7, true, "7" }, { 99, true, "99" }, { 100, true, "99+" },
        { 250, true, "99+" } };
    double lastWidth = 0;
    for (const auto& row : rows) {
        main->setBadgeNum(row.number);
        EXPECT_EQ(badge->badgeNum(), row.number);
        EXPECT_EQ(!badge->badgeView()->isHidden(), row.shown) << row.number;
        if (!row.shown)
            continue;
        EXPECT_EQ(badge->lblBadge()->text(), row.text);
        EXPECT_DOUBLE_EQ(badge->badgeView()->frame().maxX(), rightEdge) << "the badge grows to the left";
        EXPECT_GE(badge->badgeView()->frame().width(), lastWidth);
        lastWidth = badge->badgeView()->frame().width();
    }
    // The class circle shows a negative count as 1.
    main->setHomeSchoolBadgeNum(-1);
    EXPECT_FALSE(main->badgeBtnHomeSchool()->badgeView()->isHidden());
    EXPECT_EQ(main->badgeBtnHomeSchool()->lblBadge()->text(), "1");
    main->setHomeSchoolBadgeNum(0);
    EXPECT_TRUE(main->badgeBtnHomeSchool()->badgeView()->isHidden());
    main->setBadgeNum(12);
    EXPECT_FALSE(harness.render("app-tabs-badges.png").empty());
}

TEST(MainScreen, PushedScreensHideTheTabBarAndRetapPopsToRoot)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
    auto main = mainScreen();
    auto tabBar = main->tabBarView();
    double height = main->view()->bounds().height();
    EXPECT_DOUBLE_EQ(tabBar->frame().minY(), height - tabBar->frame().height());

    // Native screens of the grid: a page screen would start the web engine.
    ASSERT_TRUE(harness.tap(harness.viewByText("班级课表")->superview())) << "the tile";
    ASSERT_TRUE(harness.waitForServerQuiet());
    // The timetable's overlay takes the touches until its answer reaches the
    // main loop, which may be after the server has gone quiet.
    ASSERT_TRUE(harness.runUntil([&] { return harness.overlayText().empty(); }));
    settle(harness);
    auto stack = harness.navigationStack();
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_EQ(stack.back()->className(), "ScheduleViewController");
    EXPECT_EQ(stack.back()->title(), "班级课表");
    EXPECT_DOUBLE_EQ(tabBar->frame().minY(), height);
    EXPECT_EQ(tabBar->alpha(), 0.0);
    EXPECT_FALSE(main->viewControllers()[ORBViewController::kGridTab]->isNavigationBarHidden());

    // The right swipe goes back; swiping on the first screen changes nothing.
    ASSERT_TRUE(harness.swipeRight(stack.back()->view()));
    settle(harness);
    EXPECT_EQ(harness.navigationStack().size(), 1u);
    EXPECT_DOUBLE_EQ(tabBar->frame().minY(), height - tabBar->frame().height());
    EXPECT_EQ(tabBar->alpha(), 1.0);
    EXPECT_TRUE(main->viewControllers()[ORBViewController::kGridTab]->isNavigationBarHidden());
    harness.swipeRight(gridScreen()->view());
    settle(harness);
    EXPECT_EQ(harness.navigationStack().size(), 1u);

    // Another tab, then the shown tab's button again: back to its root.
    ASSERT_TRUE(harness.tap(main->tabBtns()[3]));
    EXPECT_EQ(main->curIndex(), 3);
    EXPECT_EQ(harness.navigationStack().front()->className(), "ContactsViewController");
    ASSERT_TRUE(harness.tap(main->tabBtns()[2]));
    ASSERT_TRUE(harness.tap(harness.viewByText("班级课表")->superview()));
    // The screen's list answers, and its overlay leaves the window.
    ASSERT_TRUE(harness.waitForServerQuiet());
    settle(harness);
    ASSERT_EQ(harness.navigationStack().size(), 2u);
    main->switchToView(ORBViewController::kGridTab);
    settle(harness);
    EXPECT_EQ(harness.navigationStack().size(), 1u);
    EXPECT_EQ(main->curIndex(), ORBViewController::kGridTab);
}

TEST(MainScreen, DropDownTitleOpensItsListAndReportsTheChoice)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
    mainScreen()->switchToView(ORBViewController::kMessageTab);
    auto screen = std::make_shared<DropDownScreen>();
    harness.visibleNavigationController()->pushViewController(screen, true);
    settle(harness);
    EXPECT_EQ(screen->lblTitle()->text(), "全部消息");
    ASSERT_TRUE(harness.viewByOutlet("openListImageView"));
    ASSERT_TRUE(harness.tap(harness.viewByOutlet("customTitleView")));
    settle(harness, 0.2);
    ASSERT_TRUE(screen->isShowingList());
    auto list = harness.viewByOutlet("listView");
    ASSERT_TRUE(list);
    EXPECT_DOUBLE_EQ(list->frame().height(), 120);
    std::size_t lines = 0;
    for (const auto& subview : list->subviews())
        lines += subview->frame().height() == 1.0;
    EXPECT_EQ(lines, 2u);
    EXPECT_FALSE(harness.render("app-dropdown-title.png").empty());

    ASSERT_TRUE(harness.tapButton("未读消息"));
    settle(harness, 0.2);
    EXPECT_EQ(screen->chosen, std::vector<std::string> { "未读消息" });
    EXPECT_FALSE(screen->isShowingList());
    EXPECT_DOUBLE_EQ(list->frame().height(), 0);

    // Open again, Escape closes the list as what is on top; the screen stays.
    ASSERT_TRUE(harness.tap(harness.viewByOutlet("customTitleView")));
    settle(harness, 0.2);
    ASSERT_TRUE(screen->isShowingList());
    EXPECT_TRUE(platform::host::performBackSwipe());
    settle(harness, 0.2);
    EXPECT_FALSE(screen->isShowingList());
    EXPECT_DOUBLE_EQ(list->frame().height(), 0);
    EXPECT_EQ(harness.topScreen(), screen);
    EXPECT_EQ(screen->chosen.size(), 1u);

    // The circle's kind list and the teacher's compose menu: Escape closes
    // each, and another tab closes them too.
    auto main = mainScreen();
    main->switchToView(ORBViewController::kCircleTab);
    settle(harness);
    auto circle = std::dynamic_pointer_cast<BaseViewController>(harness.topScreen());
    ASSERT_TRUE(circle && circle->hasOpenList());
    auto openKinds = [&] {
        harness.advance(1); // not a double tap
        ASSERT_TRUE(harness.tap(circle->navigationItem()->titleView()));
        settle(harness, 0.2);
        ASSERT_TRUE(circle->isShowingList());
    };
    openKinds();
    EXPECT_TRUE(platform::host::performBackSwipe());
    settle(harness, 0.2);
    EXPECT_FALSE(circle->isShowingList());
    EXPECT_EQ(harness.topScreen(), circle);
    EXPECT_EQ(main->curIndex(), ORBViewController::kCircleTab);

    harness.advance(1);
    ASSERT_TRUE(harness.tap(circle->rightItem()));
    settle(harness, 0.3);
    auto compose = findViewByOutlet(circle->view(), "dropDownView");
    ASSERT_TRUE(compose);
    ASSERT_GT(compose->alpha(), 0.99);
    EXPECT_TRUE(platform::host::performBackSwipe());
    settle(harness, 0.3);
    EXPECT_LT(compose->alpha(), 0.01);
    EXPECT_EQ(harness.topScreen(), circle);

    openKinds();
    main->switchToView(ORBViewController::kGridTab);
    settle(harness, 0.2);
    EXPECT_FALSE(circle->isShowingList());
    main->switchToView(ORBViewController::kCircleTab);
    settle(harness, 0.2);
    EXPECT_FALSE(circle->isShowingList());
    auto kinds = findViewByOutlet(circle->view(), "listView");
    ASSERT_TRUE(kinds);
    EXPECT_DOUBLE_EQ(kinds->frame().height(), 0);
    // Back with nothing open goes on as before: at the tab's root, nowhere.
    EXPECT_FALSE(platform::host::performBackSwipe());
}

TEST(MainScreen, LogoutAgainstTheServer)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
    auto main = mainScreen();

    // A failed logout keeps the user signed in.
    harness.server()->script().forCommand(core::ORBEndpoints::Cmd::kLogout, server::ScriptedReply::errorEnvelope("系统维护"));
    main->logout();
    EXPECT_EQ(harness.overlayText(), "正在退出登录，请稍后");
    ASSERT_TRUE(harness.runUntil([&] { return harness.overlayText() == "退出登录失败，请重试"; }));
    EXPECT_TRUE(core::MyAccountInfo::currentAccount());
    settle(harness, 2);

    main->logout();
    ASSERT_TRUE(harness.runUntil([] { return !core::MyAccountInfo::instance(); }));
    settle(harness);
    EXPECT_EQ(commandCount(harness, core::ORBEndpoints::Cmd::kLogout), 2u);
    EXPECT_FALSE(platform::UserDefaults::standard()->boolForKey("auto_login"));
    EXPECT_TRUE(platform::UserDefaults::standard()->objectForKey("auto_login").isBool());
    ASSERT_TRUE(loginScreen(harness));
    EXPECT_EQ(harness.overlayText(), "");

    // Signing in again rebuilds the tabs with new screens.
    auto oldGrid = gridScreen();
    ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
    settle(harness);
    EXPECT_NE(gridScreen(), oldGrid);
    EXPECT_FALSE(loginScreen(harness));
}

TEST(BaseScreen, AScreenThatHasGoneHearsNothingFromItsRequests)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));

    // An older-builder request registered with a screen is cancelled with it
    // and reports nothing afterwards.
    bool reported = false;
    auto request = HTTPRequest::requestWithURL(*platform::Url::parse(harness.serverBase() + "mobile2/pull/webapp/slow"));
    harness.server()->script().enqueue(server::ReplyTarget::any(), server::ScriptedReply::normal().delayed(0.5));
    request->setCompletionBlock([&] { reported = true; });
    request->setFailedBlock([&] { reported = true; });
    {
        auto screen = std::make_shared<BaseViewController>();
        screen->addRequest(request);
        EXPECT_EQ(screen->requestCount(), 1u);
        request->startAsynchronous();
    }
    EXPECT_TRUE(harness.runUntil([&] { return request->isCancelled(); }));
    // Whether or not it had left, nothing of it comes back: its delayed
    // reply (when it went out) and a later one have had their turn.
    ASSERT_TRUE(harness.roundTrip());
    ASSERT_TRUE(harness.runUntil([&] {
        auto slow = harness.server()->requests().withRoute("webapp/slow");
        return std::all_of(slow.begin(), slow.end(), [](const auto& r) { return r.answered; });
    }));
    ASSERT_TRUE(harness.roundTrip());
    EXPECT_FALSE(reported);

    // A login whose screen is gone before the reply installs nothing.
    harness.server()->script().forCommand(core::ORBEndpoints::Cmd::kLogin, server::ScriptedReply::normal().delayed(0.3));
    auto login = loginScreen(harness);
    ASSERT_TRUE(harness.type(login->txtAccount(), kDemoTeacher));
    ASSERT_TRUE(harness.type(login->txtPassword(), kDemoTeacherPassword));
    login->btnLoginTouchUpInside(nullptr);
    std::weak_ptr<LoginViewController> weakLogin = login;
    login.reset();
    mainScreen()->dismissViewControllerAnimated(false);
    harness.loop().runUntilIdle();
    ASSERT_FALSE(weakLogin.lock()) << "the login screen is released";
    ASSERT_TRUE(harness.runUntil([&] {
        for (const auto& r : harness.serverRequests())
            if (r.command == core::ORBEndpoints::Cmd::kLogin && r.answered)
                return true;
        return false;
    }));
    ASSERT_TRUE(harness.roundTrip());
    EXPECT_FALSE(core::MyAccountInfo::instance());
    EXPECT_EQ(harness.notifications().count(kNotificationLoginSucceeded), 0u);
}
