// Changing the password from the account screens, and the forgotten-password
// screen reached from the login screen: what is checked before anything is
// sent, the requests' keys, the countdown of the code button, and what each
// outcome shows.
#include "app/account/ChangePasswordViewController.h"
#include "app/account/ForgetPwdViewController.h"
#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/app/ScreenWithKeyboard.h"
#include "tests/support/app/SignedInScreen.h"
#include "ui/overlay/ProgressOverlay.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace testsupport;
using Cmd = core::ORBEndpoints::Cmd;

namespace {

class AccountPassword : public SignedInScreenTest {
protected:
    std::shared_ptr<UITextField> field(const std::string& outlet)
    {
        return std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet(outlet));
    }
    std::shared_ptr<UIButton> button(const std::string& outlet)
    {
        return std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet(outlet));
    }
    // The window's overlay as the person sees it.
    std::shared_ptr<ProgressOverlay> overlay()
    {
        auto views = harness().viewsByClass("ProgressOverlay");
        for (auto it = views.rbegin(); it != views.rend(); ++it)
            if (!(*it)->isHidden() && (*it)->alpha() > 0)
                return std::dynamic_pointer_cast<ProgressOverlay>(*it);
        return nullptr;
    }
    // The code the stand-in server keeps for the number, read from its database.
    std::string storedCode(const std::string& mobile)
    {
        sqlite3* db = nullptr;
        std::string code;
        if (sqlite3_open_v2(harness().server()->dataFilePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT code FROM verify_code WHERE mobile = ?", -1, &statement, nullptr) == SQLITE_OK) {
                sqlite3_bind_text(statement, 1, mobile.c_str(), -1, SQLITE_TRANSIENT);
                if (sqlite3_step(statement) == SQLITE_ROW)
                    code = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return code;
    }
    // The field the keyboard types into.
    static std::shared_ptr<UITextField> focused()
    {
        return std::dynamic_pointer_cast<UITextField>(UIResponder::currentFirstResponder());
    }
    std::shared_ptr<ChangePasswordViewController> openChangePassword()
    {
        return open(std::make_shared<ChangePasswordViewController>(), ORBViewController::kSettingsTab);
    }
    void fill(const std::string& oldPwd, const std::string& newPwd, const std::string& confirm)
    {
        for (const auto& outlet : { "txtOldPwd", "txtNewPwd", "txtConfirmPwd" })
            field(outlet)->setText("");
        const std::pair<const char*, std::string> typed[] = { { "txtOldPwd", oldPwd }, { "txtNewPwd", newPwd },
            { "txtConfirmPwd", confirm } };
        for (const auto& [outlet, text] : typed) {
            if (!text.empty()) {
                ASSERT_TRUE(harness().type(field(outlet), text)) << outlet;
            }
        }
    }
};

} // namespace

TEST_F(AccountPassword, ChangeIsCheckedBeforeItIsSent)
{
    signIn();
    auto screen = openChangePassword();
    harness().render("app-change-password.png");
    EXPECT_EQ(screen->title(), "修改密码");
    for (const auto& outlet : { "txtOldPwd", "txtNewPwd", "txtConfirmPwd" }) {
        ASSERT_NE(field(outlet), nullptr) << outlet;
        EXPECT_TRUE(field(outlet)->isSecureTextEntry()) << outlet;
    }
    EXPECT_TRUE(field("txtOldPwd")->isFirstResponder());
    EXPECT_NE(harness().viewByText("原密码："), nullptr);
    EXPECT_NE(harness().viewByText("确认新密码："), nullptr);
    EXPECT_NE(harness().viewByText(ChangePasswordViewController::kHint), nullptr);

    struct Case {
        const char *oldPwd, *newPwd, *confirm, *shown;
    };
    for (const Case& c : { Case { "", "", "", "密码输入不能为空" }, Case { "", "abcd1234", "abcd1234", "密码输入不能为空" },
             Case { "teacher123", "abcd1234", "", "密码输入不能为空" },
             Case { "teacher123", "abcd1234", "abcd12345", "新密码和确认新密码不匹配" } }) {
        SCOPED_TRACE(c.shown);
        fill(c.oldPwd, c.newPwd, c.confirm);
        ASSERT_TRUE(harness().tap(button("btnSubmit")));
        EXPECT_EQ(harness().overlayText(), c.shown);
        harness().advance(2.5);
    }
    EXPECT_TRUE(requests(Cmd::kChangePassword).empty());

    // A wrong old password is the server's to refuse; the user stays signed in.
    fill("wrong-old", "abcd1234", "abcd1234");
    ASSERT_TRUE(harness().tap(button("btnSubmit")));
    ASSERT_TRUE(waitForAnswer(Cmd::kChangePassword));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "原密码错误"; }));
    harness().advance(2);
    EXPECT_NE(core::MyAccountInfo::currentAccount(), nullptr);
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_TRUE(requests(Cmd::kLogout).empty());
}

TEST_F(AccountPassword, ChangedPasswordSignsOutAndTheLoginScreenShowsTheAccount)
{
    signIn();
    // As when the password was remembered at sign-in.
    platform::UserDefaults::standard()->setString(kDemoTeacherPassword, "pwd");
    openChangePassword();
    // Shorter than the hint asks: the server decides.
    fill("teacher123", "ab1", "ab1");
    auto held = holdNext(Cmd::kChangePassword);
    ASSERT_TRUE(harness().tap(button("btnSubmit")));
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1 && harness().overlayText() == "正在提交，请稍候..."; }));
    held->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "密码修改成功"; }));
    auto sent = requests(Cmd::kChangePassword);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bodyValue("account").stringValue(), kDemoTeacher);
    EXPECT_EQ(sent[0].bodyValue("oldPsw").stringValue(), "teacher123");
    EXPECT_EQ(sent[0].bodyValue("newPsw").stringValue(), "ab1");
    EXPECT_TRUE(sent[0].bodyValue("oldPwd").isNull());

    // The remembered password is forgotten at once; the sign-out comes 1.5 s later.
    EXPECT_FALSE(platform::UserDefaults::standard()->stringForKey("pwd").has_value());
    harness().advance(1.0);
    EXPECT_TRUE(requests(Cmd::kLogout).empty());
    harness().advance(0.6);
    EXPECT_FALSE(platform::UserDefaults::standard()->stringForKey("pwd").has_value());
    EXPECT_EQ(platform::UserDefaults::standard()->stringForKey("account").value_or(""), kDemoTeacher);
    ASSERT_TRUE(waitForAnswer(Cmd::kLogout));
    ASSERT_TRUE(harness().runUntil([&] { return loginScreen(harness()) != nullptr; }));
    settle(harness());
    EXPECT_EQ(field("txtAccount")->text(), kDemoTeacher);
    EXPECT_EQ(field("txtPassword")->text(), "");
    EXPECT_EQ(core::MyAccountInfo::currentAccount(), nullptr);

    // The new password signs in.
    ASSERT_TRUE(harness().signIn(kDemoTeacher, "ab1"));
    settle(harness());
    EXPECT_NE(core::MyAccountInfo::currentAccount(), nullptr);
}

// Return takes the person from the old password to the new one and on to the
// confirmation, each typed where the keyboard is; on the last it puts the
// keyboard away, and what was typed is what is sent.
TEST_F(AccountPassword, ReturnMovesThroughThePasswordsAndPutsTheKeyboardAwayOnTheLast)
{
    signIn();
    openChangePassword();
    const std::pair<const char*, const char*> steps[] = { { "txtOldPwd", "teacher123" }, { "txtNewPwd", "abcd1234" },
        { "txtConfirmPwd", "abcd1234" } };
    for (const auto& [outlet, text] : steps) {
        SCOPED_TRACE(outlet);
        ASSERT_EQ(focused(), field(outlet));
        EXPECT_TRUE(platform::Keyboard::isVisible());
        ASSERT_TRUE(harness().type(focused(), text));
        if (std::string(outlet) == "txtNewPwd") {
            EXPECT_FALSE(renderWithKeyboard(harness(), "app-change-password-keyboard.png").empty());
        }
        ASSERT_TRUE(harness().returnKey(focused()));
    }
    EXPECT_EQ(focused(), nullptr);
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_EQ(field("txtOldPwd")->text(), "teacher123");
    EXPECT_EQ(field("txtNewPwd")->text(), "abcd1234");
    EXPECT_EQ(field("txtConfirmPwd")->text(), "abcd1234");

    ASSERT_TRUE(harness().tap(button("btnSubmit")));
    ASSERT_TRUE(waitForAnswer(Cmd::kChangePassword));
    auto sent = requests(Cmd::kChangePassword);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bodyValue("oldPsw").stringValue(), "teacher123");
    EXPECT_EQ(sent[0].bodyValue("newPsw").stringValue(), "abcd1234");
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "密码修改成功"; }));
}

// Submitted with the keyboard up: the login screen that follows the sign-out
// does not keep the keyboard over its button, and a tap on a field lifts the
// panel so that "登录" stays reachable above the keyboard.
TEST_F(AccountPassword, AfterTheChangeTheLoginButtonIsNotUnderTheKeyboard)
{
    signIn();
    openChangePassword();
    fill("teacher123", "abcd1234", "abcd1234");
    ASSERT_EQ(focused(), field("txtConfirmPwd"));
    ASSERT_TRUE(platform::Keyboard::isVisible());
    ASSERT_TRUE(harness().tap(button("btnSubmit")));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "密码修改成功"; }));
    harness().advance(1.6);
    ASSERT_TRUE(waitForAnswer(Cmd::kLogout));
    ASSERT_TRUE(harness().runUntil([&] { return loginScreen(harness()) != nullptr; }));
    settle(harness());
    auto login = loginScreen(harness());
    auto window = UIWindow::keyWindow();
    auto loginButton = harness().viewByOutlet("btnLogin");
    ASSERT_NE(loginButton, nullptr);
    auto buttonOnScreen = [&] { return loginButton->superview()->convertRectToView(loginButton->frame(), window.get()); };
    if (platform::Keyboard::isVisible()) {
        EXPECT_LE(buttonOnScreen().maxY(), platform::Keyboard::frame().minY()) << "登录 under the keyboard on arrival";
    }
    EXPECT_FALSE(renderWithKeyboard(harness(), "app-login-after-password-change.png").empty());

    for (const auto& each : { login->txtAccount(), login->txtPassword() }) {
        SCOPED_TRACE(each == login->txtAccount() ? "account" : "password");
        ASSERT_TRUE(harness().tap(each));
        settle(harness(), 0.5);
        ASSERT_EQ(focused(), each);
        ASSERT_TRUE(platform::Keyboard::isVisible());
        EXPECT_LE(buttonOnScreen().maxY(), platform::Keyboard::frame().minY()) << "登录 under the keyboard";
    }
    EXPECT_FALSE(renderWithKeyboard(harness(), "app-login-after-password-change-keyboard.png").empty());

    // The new password signs in through the button itself.
    ASSERT_TRUE(harness().type(login->txtPassword(), "abcd1234"));
    auto at = buttonOnScreen();
    EXPECT_EQ(window->hitTest(platform::Point(at.midX(), at.midY()), nullptr), loginButton);
    ASSERT_TRUE(harness().tap(loginButton));
    ASSERT_TRUE(harness().runUntil([&] { return core::MyAccountInfo::currentAccount() != nullptr; }));
}

// Left before the sign-out (the tab chosen again): the old password is not remembered any more, and
// nothing of the screen runs after it has gone.
TEST_F(AccountPassword, LeavingRightAfterTheChangeStillForgetsTheOldPassword)
{
    signIn();
    platform::UserDefaults::standard()->setString(kDemoTeacherPassword, "pwd");
    auto screen = openChangePassword();
    fill("teacher123", "abcd1234", "abcd1234");
    ASSERT_TRUE(harness().tap(button("btnSubmit")));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "密码修改成功"; }));
    // The settings tab chosen again goes back to its first screen.
    mainScreen()->switchToView(ORBViewController::kSettingsTab);
    screen.reset();
    harness().advance(3);
    EXPECT_FALSE(platform::UserDefaults::standard()->stringForKey("pwd").has_value());
    EXPECT_TRUE(requests(Cmd::kLogout).empty());
    EXPECT_NE(core::MyAccountInfo::currentAccount(), nullptr);
    EXPECT_EQ(harness().navigationStack().size(), 1u);
}

TEST_F(AccountPassword, ForgottenPasswordAsksForACodeCountsDownAndResets)
{
    ASSERT_TRUE(passIntroduction(harness()));
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnForgetPwd")));
    settle(harness());
    auto screen = std::dynamic_pointer_cast<ForgetPwdViewController>(harness().topScreen());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->title(), "忘记密码");
    EXPECT_EQ(screen->view()->backgroundColor(), platform::Color::fromRGB255(240, 240, 240));
    auto teacher = button("btnTypeTeacher");
    auto parent = button("btnTypeParent");
    auto codeButton = button("btnChecknum");
    auto checkbox = UIImage::imageNamed(ForgetPwdViewController::kCheckboxImage);
    ASSERT_NE(checkbox, nullptr);
    EXPECT_EQ(teacher->tag(), 1);
    EXPECT_EQ(parent->tag(), 0);

    // Nothing goes without a number.
    ASSERT_TRUE(harness().tap(codeButton));
    EXPECT_EQ(harness().overlayText(), "请输入您的账号名或者手机号码");
    harness().advance(2.5);
    EXPECT_TRUE(requests(Cmd::kRequestCheckNumber).empty());

    // Tapping the selected choice selects the other one.
    ASSERT_TRUE(harness().tap(teacher));
    EXPECT_EQ(teacher->tag(), 0);
    EXPECT_EQ(parent->tag(), 1);
    EXPECT_EQ(teacher->imageForState(UIControlStateNormal), nullptr);
    EXPECT_EQ(parent->imageForState(UIControlStateNormal), checkbox);
    ASSERT_TRUE(harness().tap(parent));
    EXPECT_EQ(teacher->tag(), 1);
    EXPECT_EQ(parent->tag(), 0);
    ASSERT_TRUE(harness().tap(parent));
    EXPECT_EQ(parent->tag(), 1);
    EXPECT_EQ(screen->userType(), ForgetPwdViewController::kParent);

    // A field near the top moves nothing out of the keyboard's way.
    double restingY = screen->view()->frame().minY();
    ASSERT_TRUE(field("txtPhone")->becomeFirstResponder());
    EXPECT_EQ(screen->view()->frame().minY(), restingY);
    ASSERT_TRUE(harness().type(field("txtPhone"), "13800000002"));
    auto held = holdNext(Cmd::kRequestCheckNumber);
    ASSERT_TRUE(harness().tap(codeButton));
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1 && harness().overlayText() == "发送验证中"; }));
    held->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    auto alert = harness().currentAlert();
    // A code on its way is good news, not a warning.
    EXPECT_EQ(alert->title(), "提示");
    EXPECT_EQ(alert->message(), "验证码已发送，请注意查收短信");
    EXPECT_EQ(harness().overlayText(), "");
    auto sent = requests(Cmd::kRequestCheckNumber);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bodyValue("mobile").stringValue(), "13800000002");
    EXPECT_EQ(sent[0].bodyValue("intUserType").intValue(), 2);
    ASSERT_TRUE(harness().tapAlertButton("确定"));

    // A minute before the next code; the button takes no touch meanwhile.
    EXPECT_EQ(codeButton->titleForState(UIControlStateNormal), "60秒");
    EXPECT_FALSE(codeButton->isUserInteractionEnabled());
    EXPECT_EQ(codeButton->backgroundImageForState(UIControlStateNormal),
        UIImage::imageNamed(ForgetPwdViewController::kWaitingImage));
    harness().tap(codeButton);
    harness().advance(1);
    EXPECT_EQ(codeButton->titleForState(UIControlStateNormal), "59秒");
    harness().advance(58);
    EXPECT_EQ(codeButton->titleForState(UIControlStateNormal), "1秒");
    EXPECT_EQ(requests(Cmd::kRequestCheckNumber).size(), 1u);
    harness().advance(1);
    EXPECT_EQ(codeButton->titleForState(UIControlStateNormal), "获取");
    EXPECT_TRUE(codeButton->isUserInteractionEnabled());
    EXPECT_EQ(codeButton->backgroundImageForState(UIControlStateNormal),
        UIImage::imageNamed(ForgetPwdViewController::kReadyImage));
    harness().advance(5);
    EXPECT_EQ(codeButton->titleForState(UIControlStateNormal), "获取");

    // No code, nothing sent.
    ASSERT_TRUE(harness().tap(button("btnOk")));
    EXPECT_EQ(harness().overlayText(), "请输入验证码");
    harness().advance(2.5);
    EXPECT_TRUE(requests(Cmd::kConfirmCheckNumber).empty());

    // A wrong code: the server's text alone, with no spinner, gone after 1.5 s.
    ASSERT_TRUE(harness().type(field("txtChecknum"), "000000x"));
    ASSERT_TRUE(harness().tap(button("btnOk")));
    ASSERT_TRUE(waitForAnswer(Cmd::kConfirmCheckNumber));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "验证码错误"; }));
    ASSERT_NE(overlay(), nullptr);
    EXPECT_EQ(overlay()->mode(), ProgressOverlayModeText);
    EXPECT_EQ(field("txtChecknum")->text(), "000000x");
    harness().advance(2);
    EXPECT_EQ(harness().overlayText(), "");

    // The right code: the server's message, and the screen stays.
    std::string code = storedCode("13800000002");
    ASSERT_EQ(code.size(), 6u);
    field("txtChecknum")->setText("");
    ASSERT_TRUE(harness().type(field("txtChecknum"), code));
    ASSERT_TRUE(harness().tap(button("btnOk")));
    ASSERT_TRUE(waitForAnswer(Cmd::kConfirmCheckNumber, 2));
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(harness().currentAlert()->title(), "提示");
    EXPECT_EQ(harness().currentAlert()->message(), "验证成功，新密码已通过短信发送");
    auto confirms = requests(Cmd::kConfirmCheckNumber);
    ASSERT_EQ(confirms.size(), 2u);
    EXPECT_EQ(confirms[1].bodyValue("mobile").stringValue(), "13800000002");
    EXPECT_EQ(confirms[1].bodyValue("validate").stringValue(), code);
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_FALSE(harness().render("app-forget-password.png").empty());

    // Back returns to the login screen.
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    settle(harness());
    EXPECT_NE(loginScreen(harness()), nullptr);
}

// A refused code request is still a warning; the code sent is only a notice.
TEST_F(AccountPassword, ForgottenPasswordWarnsOfARefusalAndNotesASuccess)
{
    ASSERT_TRUE(passIntroduction(harness()));
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnForgetPwd")));
    settle(harness());
    ASSERT_NE(std::dynamic_pointer_cast<ForgetPwdViewController>(harness().topScreen()), nullptr);
    ASSERT_TRUE(harness().type(field("txtPhone"), "13800000002"));
    harness().server()->script().forCommand(Cmd::kRequestCheckNumber, server::ScriptedReply::errorEnvelope("号码未注册"));
    ASSERT_TRUE(harness().tap(button("btnChecknum")));
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(harness().currentAlert()->title(), "警告");
    EXPECT_EQ(harness().currentAlert()->message(), "号码未注册");
    EXPECT_EQ(button("btnChecknum")->titleForState(UIControlStateNormal), "获取");
    ASSERT_TRUE(harness().tapAlertButton("确定"));

    // The server's own answer this time.
    ASSERT_TRUE(harness().tap(button("btnChecknum")));
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(harness().currentAlert()->title(), "提示");
    EXPECT_EQ(button("btnChecknum")->titleForState(UIControlStateNormal), "60秒");
    EXPECT_FALSE(harness().render("app-forget-password-code-sent.png").empty());
    ASSERT_TRUE(harness().tapAlertButton("确定"));
}

// Left before either answer: the spinner goes with the answer, a refused
// code's reason shows on its own and goes, and nothing reaches the gone
// screen (no warning, no countdown).
TEST_F(AccountPassword, ForgottenPasswordLeftBeforeTheAnswerLeavesNoOverlay)
{
    ASSERT_TRUE(passIntroduction(harness()));
    auto openForget = [&] {
        EXPECT_TRUE(harness().tap(harness().viewByOutlet("btnForgetPwd")));
        settle(harness());
        return std::dynamic_pointer_cast<ForgetPwdViewController>(harness().topScreen());
    };
    auto leaveToLogin = [&](std::shared_ptr<ForgetPwdViewController>& screen) {
        leave(screen);
        EXPECT_NE(loginScreen(harness()), nullptr);
    };

    auto screen = openForget();
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(harness().type(field("txtPhone"), "13800000002"));
    auto held = holdNext(Cmd::kRequestCheckNumber);
    ASSERT_TRUE(harness().tap(button("btnChecknum")));
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1 && harness().overlayText() == "发送验证中"; }));
    leaveToLogin(screen);
    held->open();
    ASSERT_TRUE(waitForAnswer(Cmd::kRequestCheckNumber));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().currentAlert(), nullptr);

    screen = openForget();
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(harness().type(field("txtPhone"), "13800000002"));
    ASSERT_TRUE(harness().type(field("txtChecknum"), "123456"));
    auto refused = holdNext(Cmd::kConfirmCheckNumber, server::ScriptedReply::errorEnvelope("验证码已过期"));
    ASSERT_TRUE(harness().tap(button("btnOk")));
    ASSERT_TRUE(harness().runUntil([&] { return refused->arrived() == 1 && harness().overlayText() == "发送验证中"; }));
    leaveToLogin(screen);
    refused->open();
    ASSERT_TRUE(waitForAnswer(Cmd::kConfirmCheckNumber));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "验证码已过期"; }));
    harness().advance(2.5);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().currentAlert(), nullptr);
}

// Left before the answer: the remembered password is forgotten all the same
// (the server has the new one), the overlay ends, and the gone screen does
// not sign the person out.
TEST_F(AccountPassword, LeavingBeforeTheAnswerStillForgetsTheOldPasswordAndLeavesNoOverlay)
{
    signIn();
    platform::UserDefaults::standard()->setString(kDemoTeacherPassword, "pwd");
    auto screen = openChangePassword();
    fill("teacher123", "abcd1234", "abcd1234");
    auto held = holdNext(Cmd::kChangePassword);
    ASSERT_TRUE(harness().tap(button("btnSubmit")));
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1 && harness().overlayText() == "正在提交，请稍候..."; }));

    std::weak_ptr<ChangePasswordViewController> gone = screen;
    screen.reset();
    mainScreen()->switchToView(ORBViewController::kSettingsTab);
    settle(harness());
    EXPECT_TRUE(gone.expired());

    held->open();
    ASSERT_TRUE(waitForAnswer(Cmd::kChangePassword));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "密码修改成功"; }));
    EXPECT_FALSE(platform::UserDefaults::standard()->stringForKey("pwd").has_value());
    harness().advance(3);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_TRUE(requests(Cmd::kLogout).empty());
    EXPECT_NE(core::MyAccountInfo::currentAccount(), nullptr);
    EXPECT_EQ(harness().navigationStack().size(), 1u);
}
