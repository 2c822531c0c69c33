// The login screen: remembered and automatic sign-in in both orders of push
// registration, the boxes, the time password and its countdown, every row of
// the version-update rule, and replies that must not sign anybody in.
#include "app/login/AccountsViewController.h"
#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "app/startup/ORBAppDelegate.h"
#include "platform/uikit/UIApplication.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/FileUtil.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWindow.h"
#include "server/ReplyScript.h"
#include "server/StandinServer.h"
#include "tests/app/ScreenWithKeyboard.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testsupport;

namespace {

std::size_t commandCount(const AppHarness& harness, const std::string& cmd)
{
    std::size_t n = 0;
    for (const auto& request : harness.serverRequests())
        n += request.command == cmd;
    return n;
}

// A fresh home whose defaults say what an earlier run left behind.
class RememberedHome {
public:
    explicit RememberedHome(std::function<void(platform::UserDefaults&)> fill)
    {
        std::string pattern = "/tmp/orb-login-XXXXXX";
        path = mkdtemp(pattern.data()) ? pattern : std::string();
        AppHarnessOptions options;
        options.home = path;
        options.startServer = false;
        AppHarness first(options);
        if (first.start(std::make_shared<UIApplicationDelegate>())) {
            fill(*platform::UserDefaults::standard());
            platform::UserDefaults::standard()->synchronize();
        }
    }
    ~RememberedHome() { platform::FileUtil::remove(path); }
    std::string path;
};

void rememberTeacher(platform::UserDefaults& defaults, bool autoLogin, bool introductionSeen)
{
    defaults.setString(kDemoTeacher, LoginViewController::kAccountKey);
    defaults.setString(kDemoTeacherPassword, LoginViewController::kPwdKey);
    if (autoLogin)
        defaults.setBool(true, LoginViewController::kAutoLoginKey);
    if (introductionSeen)
        defaults.setBool(true, kNotFirstTimeKey);
}

// The demo teacher's reply with a version announcement added.
std::string replyWithAnnouncement(const std::string& mustUpdate, const std::string& code = "2.1.0",
    const std::string& url = "http://127.0.0.1/orb-2.1.0.ipa")
{
    return R"({"resultState":1,"resultMsg":"登录成功","sessionid":"s-1","items":[{"userId":2001,"userName":"李建国",)"
           R"("accountType":1,"schoolId":1001,"schoolName":"广州市阳光实验小学","areaAbb":"gz"}],)"
           R"("versionCode":")"
        + code + R"(","versionDesc":"新增班级相册","versionUrl":")" + url + R"(","mustUpdate":)" + mustUpdate + "}";
}

// A button of the login screen by its outlet name.
std::shared_ptr<UIButton> button(const AppHarness& harness, const char* outlet)
{
    return std::dynamic_pointer_cast<UIButton>(harness.viewByOutlet(outlet));
}

std::vector<std::string> buttonsOf(const std::shared_ptr<UIAlertView>& alert)
{
    std::vector<std::string> titles;
    for (long i = 0; alert && i < alert->numberOfButtons(); ++i)
        titles.push_back(alert->buttonTitleAtIndex(i));
    return titles;
}

} // namespace

TEST(Login, AutomaticLoginStartsOnceWhicheverComesSecond)
{
    // Registration answers while the introduction is up, before any login
    // screen exists: the login screen made afterwards still signs in.
    {
        RememberedHome home([](platform::UserDefaults& d) { rememberTeacher(d, true, false); });
        AppHarnessOptions options;
        options.home = home.path;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        EXPECT_EQ(harness.notifications().count(kApplicationRegistRemoteFinishedNotification), 1u);
        EXPECT_FALSE(loginScreen(harness));
        ASSERT_TRUE(passIntroduction(harness));
        ASSERT_TRUE(harness.runUntil([] { return core::MyAccountInfo::currentAccount() != nullptr; }));
        // The message box's first poll leaves a tick after the sign-in was
        // handled: a second sign-in started with the first would be in by then.
        settle(harness);
        ASSERT_TRUE(harness.runUntilAnswered(core::ORBEndpoints::Cmd::kNewMessages));
        EXPECT_EQ(commandCount(harness, core::ORBEndpoints::Cmd::kLogin), 1u);
    }
    // The login screen is up first; registration answers later.
    {
        RememberedHome home([](platform::UserDefaults& d) { rememberTeacher(d, true, true); });
        AppHarnessOptions options;
        options.home = home.path;
        options.holdPushRegistration = true;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        auto login = loginScreen(harness);
        ASSERT_TRUE(login);
        EXPECT_TRUE(platform::UserDefaults::standard()->boolForKey(LoginViewController::kAutoLoginKey));
        EXPECT_EQ(button(harness, "btnAutoLogin")->tag(), 1);
        EXPECT_EQ(button(harness, "btnRememberPwd")->tag(), 1) << "automatic sign-in ticks remembering too";
        // A sign-in started now, before registration, would make two below.
        EXPECT_EQ(commandCount(harness, core::ORBEndpoints::Cmd::kLogin), 0u) << "waits for registration";
        ASSERT_TRUE(harness.answerPushRegistration());
        ASSERT_TRUE(harness.runUntil([] { return core::MyAccountInfo::currentAccount() != nullptr; }));
        settle(harness);
        ASSERT_TRUE(harness.runUntilAnswered(core::ORBEndpoints::Cmd::kNewMessages));
        EXPECT_EQ(commandCount(harness, core::ORBEndpoints::Cmd::kLogin), 1u);
    }
}

TEST(Login, RememberedFieldsAndTheTwoBoxes)
{
    struct Row {
        std::string account;
        std::string pwd;
        bool ticked;
    };
    const Row rows[] = { { "ab", "cd", true }, { "李明", "12", true }, { "ab", "c", false }, { "", "", false } };
    for (const auto& row : rows) {
        RememberedHome home([&](platform::UserDefaults& d) {
            d.setString(row.account, LoginViewController::kAccountKey);
            d.setString(row.pwd, LoginViewController::kPwdKey);
            d.setBool(true, kNotFirstTimeKey);
        });
        AppHarnessOptions options;
        options.home = home.path;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        auto login = loginScreen(harness);
        ASSERT_TRUE(login);
        EXPECT_EQ(login->txtAccount()->text(), row.account);
        EXPECT_EQ(button(harness, "btnRememberPwd")->tag() == 1, row.ticked) << row.account << "/" << row.pwd;
        EXPECT_FALSE(button(harness, "btnForgetPwd")->isHidden());
    }

    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    auto remember = button(harness, "btnRememberPwd");
    auto autoLogin = button(harness, "btnAutoLogin");
    ASSERT_TRUE(harness.tap(autoLogin));
    EXPECT_EQ(autoLogin->tag(), 1);
    EXPECT_EQ(remember->tag(), 1);
    EXPECT_TRUE(remember->imageForState(UIControlStateNormal));
    ASSERT_TRUE(harness.tap(autoLogin));
    EXPECT_EQ(autoLogin->tag(), 0);
    EXPECT_EQ(remember->tag(), 1) << "unticking automatic sign-in leaves remembering";
    ASSERT_TRUE(harness.tap(autoLogin));
    ASSERT_TRUE(harness.tap(remember));
    EXPECT_EQ(remember->tag(), 0);
    EXPECT_EQ(autoLogin->tag(), 0) << "unticking remembering unticks automatic sign-in";
    EXPECT_FALSE(remember->imageForState(UIControlStateNormal));
}

TEST(Login, AttemptsStoreTheFieldsAsTheBoxesSay)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    auto defaults = platform::UserDefaults::standard();

    // Empty fields: nothing sent, nothing stored.
    ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnLogin")));
    EXPECT_EQ(harness.overlayText(), "账号或密码不能为空");
    EXPECT_FALSE(defaults->stringForKey(LoginViewController::kAccountKey));
    settle(harness, 2);

    auto remember = button(harness, "btnRememberPwd");
    ASSERT_TRUE(harness.tap(remember));
    ASSERT_TRUE(harness.signIn(kDemoTeacher, "wrong-password"));
    // Stored before the reply, as typed, so a mistyped password is remembered too.
    EXPECT_EQ(defaults->stringForKey(LoginViewController::kPwdKey), std::optional<std::string>("wrong-password"));
    EXPECT_EQ(defaults->stringForKey(LoginViewController::kAccountKey), std::optional<std::string>(kDemoTeacher));
    // The file holding the password is readable by its owner only.
    struct stat info {};
    ASSERT_EQ(stat(defaults->path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    settle(harness, 2);

    ASSERT_TRUE(harness.tap(remember));
    ASSERT_EQ(remember->tag(), 0);
    ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
    EXPECT_FALSE(defaults->stringForKey(LoginViewController::kPwdKey)) << "not remembered: removed";
    EXPECT_FALSE(defaults->objectForKey(LoginViewController::kAutoLoginKey).isBool());
    // The last command sent (the tabs' own first queries may follow it).
    std::vector<server::LoggedRequest> requests;
    for (const auto& request : harness.serverRequests()) {
        if (!request.command.empty())
            requests.push_back(request);
    }
    // The signed-in account's address book may follow the login at once.
    while (!requests.empty() && requests.back().command == core::ORBEndpoints::Cmd::kAddressBook)
        requests.pop_back();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().command, core::ORBEndpoints::Cmd::kLogin);
    EXPECT_EQ(requests.back().bodyValue("account").stringValue(), kDemoTeacher);
}

TEST(Login, TimePasswordCountsDownFromTen)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    auto login = loginScreen(harness);
    auto button = ::button(harness, "btnTimePwd");

    ASSERT_TRUE(harness.tap(button));
    EXPECT_EQ(harness.overlayText(), "请先输入账号");
    EXPECT_EQ(commandCount(harness, core::ORBEndpoints::Cmd::kTimePassword), 0u);
    settle(harness, 2);

    ASSERT_TRUE(harness.type(login->txtAccount(), kDemoTeacher));
    ASSERT_TRUE(harness.tap(button));
    ASSERT_TRUE(harness.runUntil([&] { return button->currentTitle() == "10秒后可重试"; }));
    EXPECT_EQ(harness.overlayText(), "请求动态密码成功");
    EXPECT_EQ(button->currentTitle(), "10秒后可重试");
    harness.advance(1);
    EXPECT_EQ(button->currentTitle(), "9秒后可重试");
    harness.advance(1);
    EXPECT_EQ(button->currentTitle(), "8秒后可重试");
    EXPECT_EQ(harness.overlayText(), "") << "the confirmation has gone";
    ASSERT_TRUE(harness.tap(button));
    EXPECT_EQ(commandCount(harness, core::ORBEndpoints::Cmd::kTimePassword), 1u) << "no second request while counting";
    for (int left = 7; left >= 1; --left) {
        harness.advance(1);
        EXPECT_EQ(button->currentTitle(), std::to_string(left) + "秒后可重试");
    }
    harness.advance(1);
    EXPECT_EQ(button->currentTitle(), "获取动态密码");
    // The countdown over, a tap asks again; a request of the tap while
    // counting would have been in before this one.
    ASSERT_TRUE(harness.tap(button));
    ASSERT_TRUE(harness.runUntilAnswered(core::ORBEndpoints::Cmd::kTimePassword, 2));
    ASSERT_TRUE(harness.runUntil([&] { return button->currentTitle() == "10秒后可重试"; }));
    EXPECT_EQ(commandCount(harness, core::ORBEndpoints::Cmd::kTimePassword), 2u) << "no second request while counting";
}

TEST(Login, VersionRuleRows)
{
    using platform::ReachabilityFlags;
    const ReachabilityFlags wifi = platform::kReachabilityFlagReachable | platform::kReachabilityFlagIsDirect;
    const ReachabilityFlags mobile = platform::kReachabilityFlagReachable | platform::kReachabilityFlagIsWWAN;
    const std::vector<std::string> all { "立即更新", "下次再说", "不再提示" };
    const std::vector<std::string> forced { "立即更新" };
    struct Row {
        std::string mustUpdate;
        bool silenced;
        std::optional<ReachabilityFlags> network;
        std::vector<std::string> buttons; // empty: no prompt, the login goes on
    };
    const Row rows[] = {
        { "0", false, wifi, all },
        { "0", true, wifi, {} },
        { "1", false, mobile, forced },
        { "1", true, wifi, forced },
        { "2", false, mobile, all },
        { "2", true, mobile, {} },
        { "2", true, wifi, forced },
        { "2", false, std::nullopt, forced },
        { "7", true, mobile, forced },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("mustUpdate " + row.mustUpdate + (row.silenced ? " silenced" : ""));
        AppHarnessOptions options;
        options.reachability = row.network;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        ASSERT_TRUE(passIntroduction(harness));
        if (row.silenced)
            platform::UserDefaults::standard()->setBool(true, "ignore_verssion_2.1.0");
        harness.server()->script().forCommand(
            core::ORBEndpoints::Cmd::kLogin, server::ScriptedReply::custom(200, replyWithAnnouncement(row.mustUpdate)));
        ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
        auto stored = platform::UserDefaults::standard()->dictionaryForKey("updateData");
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->get("versionCode").stringValue(), "2.1.0");
        auto alert = harness.currentAlert();
        if (row.buttons.empty()) {
            EXPECT_FALSE(alert);
            EXPECT_TRUE(core::MyAccountInfo::currentAccount());
            continue;
        }
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "发现新版本");
        EXPECT_EQ(alert->message(), "新增班级相册");
        EXPECT_EQ(buttonsOf(alert), row.buttons);
        EXPECT_FALSE(core::MyAccountInfo::instance()) << "the login waits for the prompt";
        EXPECT_EQ(harness.overlayText(), "");
    }
}

TEST(Login, VersionPromptButtons)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    auto& script = harness.server()->script();
    const std::string login = core::ORBEndpoints::Cmd::kLogin;

    // "立即更新" opens the address and stays on the login screen, signed out.
    script.forCommand(login, server::ScriptedReply::custom(200, replyWithAnnouncement("0")));
    ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
    ASSERT_TRUE(harness.tapAlertButton("立即更新"));
    EXPECT_EQ(harness.openedURLs(), std::vector<std::string> { "http://127.0.0.1/orb-2.1.0.ipa" });
    EXPECT_TRUE(loginScreen(harness));
    EXPECT_FALSE(core::MyAccountInfo::instance());

    // An address that is not a web page is never opened.
    script.forCommand(login, server::ScriptedReply::custom(200, replyWithAnnouncement("1", "2.1.0", "sms:10086")));
    ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
    ASSERT_TRUE(harness.tapAlertButton("立即更新"));
    EXPECT_EQ(harness.openedURLs().size(), 1u);

    // "不再提示" silences this code and signs in.
    script.forCommand(login, server::ScriptedReply::custom(200, replyWithAnnouncement("0")));
    ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
    ASSERT_TRUE(harness.tapAlertButton("不再提示"));
    EXPECT_TRUE(platform::UserDefaults::standard()->boolForKey("ignore_verssion_2.1.0"));
    EXPECT_TRUE(core::MyAccountInfo::currentAccount());
    settle(harness);
    EXPECT_FALSE(loginScreen(harness));
}

TEST(Login, MalformedAnnouncementCountsAsNone)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    platform::Dictionary old;
    old.set("versionCode", "1.0");
    platform::UserDefaults::standard()->setObject(platform::Value(old), "updateData");
    harness.server()->script().forCommand(core::ORBEndpoints::Cmd::kLogin,
        server::ScriptedReply::custom(200, replyWithAnnouncement("\"0\"")));
    ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
    EXPECT_FALSE(harness.currentAlert());
    EXPECT_FALSE(platform::UserDefaults::standard()->objectForKey("updateData").isDictionary());
    EXPECT_TRUE(core::MyAccountInfo::currentAccount());
}

TEST(Login, IncompleteRepliesSignNobodyIn)
{
    const std::string rows[] = {
        R"({"resultState":1,"resultMsg":"","sessionid":"s-1","items":[]})",
        R"({"resultState":1,"resultMsg":"","items":[{"userId":1,"accountType":1}]})",
        R"({"resultState":1,"resultMsg":"","sessionid":"s-1"})",
    };
    for (const auto& body : rows) {
        AppHarness harness;
        ASSERT_TRUE(startClient(harness));
        ASSERT_TRUE(passIntroduction(harness));
        harness.server()->script().forCommand(core::ORBEndpoints::Cmd::kLogin, server::ScriptedReply::custom(200, body));
        ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
        EXPECT_EQ(harness.overlayText(), "登录失败") << body;
        // Nothing installed: the next appearance still counts as signed out.
        EXPECT_FALSE(core::MyAccountInfo::instance()) << body;
        EXPECT_EQ(harness.notifications().count(kNotificationLoginSucceeded), 0u);
        EXPECT_TRUE(loginScreen(harness));
    }
}

TEST(Login, PartnerAppAndRegistrationLinks)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    ASSERT_TRUE(harness.tapButton("返回合作应用"));
    auto alert = harness.currentAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "警告");
    EXPECT_EQ(alert->message(), "你尚未安装此应用");
    EXPECT_EQ(buttonsOf(alert), std::vector<std::string> { "确定" });
    ASSERT_TRUE(harness.tapAlertButton("确定"));

    UIApplication::sharedApplication().setOpenableSchemes({ "tarnapp", "tarnApp" });
    ASSERT_TRUE(harness.tapButton("返回合作应用"));
    EXPECT_FALSE(harness.currentAlert());
    EXPECT_EQ(harness.openedURLs(), std::vector<std::string> { "tarnApp:" });

    ASSERT_TRUE(harness.tapButton("注册账号"));
    settle(harness);
    auto stack = harness.navigationStack();
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_EQ(stack.back()->className(), "ORBWebViewController");
    EXPECT_EQ(stack.back()->title(), "账号注册");
}

TEST(Login, KeyboardLiftsThePanelButNeverBelowItsPlace)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    auto login = loginScreen(harness);
    auto panel = findViewByOutlet(login->view(), "contentView");
    double orgY = panel->frame().minY();
    // The panel rises until the login button sits just above the keyboard.
    auto button = harness.viewByOutlet("btnLogin");
    ASSERT_NE(button, nullptr);
    double buttonFoot = button->superview()->convertRectToView(button->frame(), panel.get()).maxY();
    double keyboardTop = login->view()->convertRectFromView(
        platform::Rect(0, UIScreen::mainScreen()->bounds().height() - 216, 320, 216), nullptr).minY();
    double lifted = std::min(keyboardTop - LoginViewController::kKeyboardMargin - buttonFoot, orgY);
    ASSERT_LT(lifted, orgY);

    ASSERT_TRUE(harness.type(login->txtPassword(), "x"));
    EXPECT_DOUBLE_EQ(panel->frame().minY(), lifted);
    EXPECT_FALSE(harness.render("app-login-keyboard.png").empty());
    ASSERT_TRUE(harness.returnKey(login->txtPassword()));
    settle(harness, 0.5);
    EXPECT_DOUBLE_EQ(panel->frame().minY(), orgY);

    // Return in the account field moves on to the password field.
    ASSERT_TRUE(harness.type(login->txtAccount(), "1"));
    ASSERT_TRUE(harness.returnKey(login->txtAccount()));
    EXPECT_TRUE(login->txtPassword()->isFirstResponder());
}

// With either field focused, on the 4-inch and the 3.5-inch screen, "登录"
// stays whole above the keyboard and both fields stay on screen.
TEST(Login, TheLoginButtonStaysAboveTheKeyboardOnBothScreens)
{
    for (auto kind : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        AppHarnessOptions options;
        options.screen = kind;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        ASSERT_TRUE(passIntroduction(harness));
        auto login = loginScreen(harness);
        auto window = UIWindow::keyWindow();
        double height = UIScreen::mainScreen()->bounds().height();
        for (const auto& field : { login->txtAccount(), login->txtPassword() }) {
            SCOPED_TRACE(std::to_string(int(height)) + (field == login->txtAccount() ? " account" : " password"));
            ASSERT_TRUE(harness.tap(field));
            settle(harness, 0.5);
            ASSERT_TRUE(platform::Keyboard::isVisible());
            auto keyboard = platform::Keyboard::frame();
            EXPECT_DOUBLE_EQ(keyboard.maxY(), height);
            auto button = harness.viewByOutlet("btnLogin");
            auto buttonOnScreen = button->superview()->convertRectToView(button->frame(), window.get());
            EXPECT_LE(buttonOnScreen.maxY(), keyboard.minY()) << "登录 under the keyboard";
            EXPECT_GE(buttonOnScreen.minY(), 0);
            for (const auto& each : { login->txtAccount(), login->txtPassword() }) {
                auto onScreen = each->superview()->convertRectToView(each->frame(), window.get());
                EXPECT_GE(onScreen.minY(), 0);
                EXPECT_LE(onScreen.maxY(), keyboard.minY());
            }
            // The button still answers a tap there.
            EXPECT_EQ(window->hitTest(platform::Point(buttonOnScreen.midX(), buttonOnScreen.midY()), nullptr).get(),
                button.get());
        }
        // The name and logo give way to the risen panel, and come back with the keyboard gone.
        EXPECT_EQ(harness.viewByOutlet("labSlogan")->alpha(), 0);
        EXPECT_EQ(harness.viewByOutlet("imgLogo")->alpha(), 0);
        EXPECT_FALSE(harness.render(std::string("app-login-keyboard-") + std::to_string(int(height)) + ".png").empty());
        ASSERT_TRUE(harness.returnKey(login->txtPassword()));
        settle(harness, 0.5);
        EXPECT_EQ(harness.viewByOutlet("labSlogan")->alpha(), 1);
    }
}

// The keyboard was already up, for a field of a screen beneath, when the
// login screen came: no will-show reaches it then, yet a tap on one of its
// fields still lifts the panel so that "登录" stays above the keyboard.
TEST(Login, AFieldTappedWhileTheKeyboardIsAlreadyUpLiftsThePanel)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    auto login = loginScreen(harness);
    ASSERT_NE(login, nullptr);
    auto panel = findViewByOutlet(login->view(), "contentView");
    double orgY = panel->frame().minY();
    // The keys are up for a field of the screen beneath the login screen.
    auto beneath = std::make_shared<UITextField>(platform::Rect(20, 100, 200, 30));
    ASSERT_NE(mainScreen(), nullptr);
    mainScreen()->view()->addSubview(beneath);
    ASSERT_TRUE(beneath->becomeFirstResponder());
    ASSERT_TRUE(platform::Keyboard::isVisible());
    auto window = UIWindow::keyWindow();
    auto button = harness.viewByOutlet("btnLogin");
    ASSERT_NE(button, nullptr);
    for (const auto& field : { login->txtAccount(), login->txtPassword() }) {
        SCOPED_TRACE(field == login->txtAccount() ? "account" : "password");
        ASSERT_TRUE(harness.tap(field));
        settle(harness, 0.5);
        ASSERT_TRUE(field->isFirstResponder());
        ASSERT_TRUE(platform::Keyboard::isVisible());
        auto onScreen = button->superview()->convertRectToView(button->frame(), window.get());
        EXPECT_LE(onScreen.maxY(), platform::Keyboard::frame().minY()) << "登录 under the keyboard";
        EXPECT_LT(panel->frame().minY(), orgY);
    }
    EXPECT_FALSE(renderWithKeyboard(harness, "app-login-keyboard-already-up.png").empty());
    // With the keyboard gone the panel goes back to its place.
    ASSERT_TRUE(harness.returnKey(login->txtPassword()));
    settle(harness, 0.5);
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_DOUBLE_EQ(panel->frame().minY(), orgY);
}
