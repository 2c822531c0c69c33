#include "app/login/LoginViewController.h"

#include "app/login/AccountsViewController.h"
#include "app/main/ORBViewController.h"
#include "app/startup/ORBAppDelegate.h"
#include "app/startup/SafeUrl.h"
#include "app/web/ORBWebViewController.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "foundation/http/NetworkReachability.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"

#include <algorithm>

using foundation::NetworkReachability;

namespace {

constexpr std::size_t kRememberedMinimumLength = 2;

std::string countdownTitle(int seconds) { return std::to_string(seconds) + "秒后可重试"; }

std::size_t characterCount(const std::string& text)
{
    // Characters, not bytes: a remembered Chinese name of two characters counts as two.
    std::size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++count;
    return count;
}

} // namespace

LoginViewController::LoginViewController()
    : LoginViewController(std::string(kClassName))
{
}

LoginViewController::LoginViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
{
}

void LoginViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("contentView", contentView_);
    bindings.outlet("imgLogo", imgLogo_);
    bindings.outlet("labName", labName_);
    bindings.outlet("labSlogan", labSlogan_);
    bindings.outlet("txtAccount", txtAccount_);
    bindings.outlet("txtPassword", txtPassword_);
    bindings.outlet("btnRememberPwd", btnRememberPwd_);
    bindings.outlet("btnAutoLogin", btnAutoLogin_);
    bindings.outlet("btnTimePwd", btnTimePwd_);
    bindings.outlet("btnForgetPwd", btnForgetPwd_);
    bindings.outlet("backToPartnerBtn", backToPartnerBtn_);
    bindings.outlet("btnRegisterAccount", btnRegisterAccount_);
    bindings.outlet("btnLogin", btnLogin_);
    bindings.action("btnLoginTouchUpInside:", &LoginViewController::btnLoginTouchUpInside);
    bindings.action("btnTimePwdTouchUpInside:", &LoginViewController::btnTimePwdTouchUpInside);
    bindings.action("btnRememberPwdTouchUpInside:", &LoginViewController::btnRememberPwdTouchUpInside);
    bindings.action("btnAutoLoginTouchUpInside:", &LoginViewController::btnAutoLoginTouchUpInside);
    bindings.action("btnForgetPwdTouchUpInside:", &LoginViewController::btnForgetPwdTouchUpInside);
    // The older spelling of the selector, still answered for files that use it.
    bindings.optionalAction("btnForgetPwsTouchUpInside:", &LoginViewController::btnForgetPwsTouchUpInside);
    bindings.action("registerAccount:", &LoginViewController::registerAccount);
    bindings.action("backToPartnerApp:", &LoginViewController::backToPartnerApp);
}

void LoginViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(platform::Color::fromRGB255(221, 243, 176));
    // Registration may have answered before this screen existed (or before
    // its view); without this the remembered automatic sign-in would never start.
    finishResignRemote_ = finishResignRemote_ || ORBAppDelegate::remoteRegistrationFinished();
    observe(kApplicationRegistRemoteFinishedNotification, &LoginViewController::registrationFinished);
    btnForgetPwd_->setHidden(false);
    btnForgetPwd_->setEnabled(true);
    auto self = BaseViewController::self<LoginViewController>();
    for (const auto& field : { txtAccount_, txtPassword_ })
        field->setDelegate(std::weak_ptr<UITextFieldDelegate>(self));
    auto defaults = platform::UserDefaults::standard();
    std::string account = defaults->stringForKey(kAccountKey).value_or("");
    std::string pwd = defaults->stringForKey(kPwdKey).value_or("");
    autoLoad_ = defaults->boolForKey(kAutoLoginKey);
    txtAccount_->setText(account);
    txtPassword_->setText(pwd);
    if (characterCount(account) >= kRememberedMinimumLength && characterCount(pwd) >= kRememberedMinimumLength)
        setTicked(btnRememberPwd_, true);
    orgY_ = contentView_->frame().minY();
    observe(UIKeyboardWillShowNotification, &LoginViewController::keyboardChanged);
    observe(UIKeyboardWillHideNotification, &LoginViewController::keyboardChanged);
    if (autoLoad_) {
        // Ticking automatic sign-in ticks remembering too.
        setTicked(btnAutoLogin_, true);
        setTicked(btnRememberPwd_, true);
        if (finishResignRemote_)
            startLogin();
    }
}

void LoginViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, true);
}

void LoginViewController::registrationFinished(const platform::Notification&) { login(); }

void LoginViewController::login()
{
    bool alreadyFinished = finishResignRemote_;
    finishResignRemote_ = true;
    // Only once: a screen that already knew registration had answered has
    // started (or will start) its sign-in from viewDidLoad.
    if (autoLoad_ && !alreadyFinished && isViewLoaded())
        startLogin();
}

void LoginViewController::setTicked(const std::shared_ptr<UIButton>& box, bool ticked)
{
    box->setTag(ticked ? 1 : 0);
    box->setImage(ticked ? UIImage::imageNamed(kCheckboxImage) : nullptr, UIControlStateNormal);
}

bool LoginViewController::isTicked(const std::shared_ptr<UIButton>& box) { return box->tag() == 1; }

void LoginViewController::resignCurrent()
{
    if (auto current = curTxt_.lock())
        current->resignFirstResponder();
}

void LoginViewController::btnLoginTouchUpInside(UIControl*) { startLogin(); }

void LoginViewController::startLogin()
{
    resignCurrent();
    std::string account = txtAccount_->text();
    std::string password = txtPassword_->text();
    if (account.empty() || password.empty()) {
        ORBHelper::showProgressHud("账号或密码不能为空", false, true);
        return;
    }
    auto defaults = platform::UserDefaults::standard();
    defaults->setString(account, kAccountKey);
    if (isTicked(btnRememberPwd_))
        defaults->setString(password, kPwdKey);
    else
        defaults->removeObjectForKey(kPwdKey);
    if (isTicked(btnAutoLogin_))
        defaults->setBool(true, kAutoLoginKey);
    else
        defaults->removeObjectForKey(kAutoLoginKey);
    defaults->synchronize();

    platform::Dictionary params;
    params.set("account", account);
    params.set("psw", password);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        int(core::ORBRequestType::Login), platform::Value(params),
        weakCallback<LoginViewController>([](LoginViewController&) { ORBHelper::showProgressHud("登录中", true, false); }),
        weakCallback<LoginViewController>(&LoginViewController::loginReplied),
        weakCallback<LoginViewController>([](LoginViewController&, const std::string& message) {
            ORBHelper::showProgressHud(message, false, true);
        }));
}

void LoginViewController::loginReplied(const platform::Value& reply)
{
    loginData_ = reply;
    if (applyVersionRule(reply))
        handleLogin();
}

bool LoginViewController::applyVersionRule(const platform::Value& reply)
{
    auto defaults = platform::UserDefaults::standard();
    auto announcement = VersionAnnouncement::fromObj(reply);
    if (!announcement) {
        defaults->removeObjectForKey(VersionUpdateRule::kUpdateDataKey);
        defaults->synchronize();
        return true;
    }
    bool silenced = defaults->boolForKey(VersionUpdateRule::ignoreKey(announcement->versionCode));
    int status = 0;
    if (auto reachability = NetworkReachability::reachabilityForInternetConnection())
        status = int(reachability->currentReachabilityStatus());
    auto buttons = VersionUpdateRule::loginPromptButtons(*announcement, silenced, status);
    defaults->setObject(platform::Value(announcement->toDictionary()), VersionUpdateRule::kUpdateDataKey);
    defaults->synchronize();
    if (!buttons)
        return true;
    versionCode_ = announcement->versionCode;
    versionUrl_ = announcement->versionUrl;
    auto alert = std::make_shared<UIAlertView>(VersionUpdateRule::kTitle, announcement->versionDesc,
        std::weak_ptr<UIAlertViewDelegate>(weakSelf<LoginViewController>()),
        std::nullopt, *buttons);
    ORBHelper::hideProgressHud();
    alert->show();
    return false;
}

void LoginViewController::alertViewClickedButton(UIAlertView*, long buttonIndex)
{
    switch (buttonIndex) {
    case 0:
        // Only web addresses: a login reply must not be able to dial or launch other applications.
        if (isWebAddress(versionUrl_))
            UIApplication::sharedApplication().openURL(versionUrl_);
        else
            platform::log("LoginViewController: not opening \"%s\"\n", versionUrl_.c_str());
        break;
    case 1:
        handleLogin();
        break;
    case 2: {
        auto defaults = platform::UserDefaults::standard();
        defaults->setBool(true, VersionUpdateRule::ignoreKey(versionCode_));
        defaults->synchronize();
        handleLogin();
        break;
    }
    default:
        break;
    }
}

void LoginViewController::handleLogin()
{
    auto session = core::MyAccountInfo::myAccountWithObj(loginData_);
    bool complete = session && session->sessionUid() && session->accounts() && !session->accounts()->empty();
    if (!complete) {
        // An incomplete reply installs nothing: a session id without an
        // account would count as signed in and send requests without the
        // account's fields.
        ORBHelper::showProgressHud("登录失败", false, true);
        return;
    }
    core::MyAccountInfo::setInstance(session);
    ORBHelper::hideProgressHud();
    const auto& accounts = *session->accounts();
    if (accounts.size() == 1) {
        session->setCurrent(accounts.front());
        platform::NotificationCenter::defaultCenter().post(kNotificationLoginSucceeded, platform::Value(shared_from_this()));
        return;
    }
    auto chooser = std::make_shared<AccountsViewController>(std::string(AccountsViewController::kClassName));
    if (auto navigation = navigationController())
        navigation->pushViewController(chooser, true);
}

void LoginViewController::btnTimePwdTouchUpInside(UIControl*)
{
    if (timeLimit_ >= 1)
        return;
    resignCurrent();
    std::string account = txtAccount_->text();
    if (account.empty()) {
        ORBHelper::showProgressHud("请先输入账号", false, true);
        return;
    }
    platform::Dictionary params;
    params.set("account", account);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        int(core::ORBRequestType::TimePassword), platform::Value(params),
        weakCallback<LoginViewController>(
            [](LoginViewController&) { ORBHelper::showProgressHud("请求动态密码中", true, false); }),
        weakCallback<LoginViewController>([](LoginViewController& self, const platform::Value&) {
            platform::log("request time password success\n");
            ORBHelper::showProgressHud("请求动态密码成功", false, true);
            self.setCountingDown(true);
        }),
        weakCallback<LoginViewController>([](LoginViewController&, const std::string& message) {
            platform::log("request time password fail\n");
            ORBHelper::showProgressHud(message, false, true);
        }));
}

void LoginViewController::setCountingDown(bool counting)
{
    cancelTimer(timer_);
    timer_ = counting ? repeatEvery(1.0, &LoginViewController::handleTimer) : nullptr;
    if (timer_) {
        timeLimit_ = kTimeLimit;
        btnTimePwd_->setTitle(countdownTitle(kTimeLimit), UIControlStateNormal);
    } else {
        timeLimit_ = 0;
        btnTimePwd_->setTitle(std::string("获取动态密码"), UIControlStateNormal);
    }
}

void LoginViewController::handleTimer()
{
    --timeLimit_;
    if (timeLimit_ < 1)
        setCountingDown(false);
    else
        btnTimePwd_->setTitle(countdownTitle(timeLimit_), UIControlStateNormal);
}

void LoginViewController::btnRememberPwdTouchUpInside(UIControl*)
{
    bool ticked = !isTicked(btnRememberPwd_);
    setTicked(btnRememberPwd_, ticked);
    if (!ticked)
        setTicked(btnAutoLogin_, false);
}

void LoginViewController::btnAutoLoginTouchUpInside(UIControl*)
{
    bool ticked = !isTicked(btnAutoLogin_);
    setTicked(btnAutoLogin_, ticked);
    if (ticked)
        setTicked(btnRememberPwd_, true);
}

void LoginViewController::btnForgetPwdTouchUpInside(UIControl*)
{
    auto screen = platform::ClassRegistry::shared().createAs<UIViewController>("ForgetPwdViewController");
    if (!screen)
        return;
    if (auto navigation = navigationController())
        navigation->pushViewController(screen, true);
}

void LoginViewController::registerAccount(UIControl*)
{
    auto screen = std::make_shared<ORBWebViewController>();
    std::string address = core::ORBEndpoints::serverBase() + "mobile/userregister.do?action=index";
    screen->setTitle("账号注册");
    screen->setLoadUrl(platform::Url::parse(address));
    if (auto navigation = navigationController())
        navigation->pushViewController(screen, true);
}

void LoginViewController::backToPartnerApp(UIControl*)
{
    auto& application = UIApplication::sharedApplication();
    if (application.canOpenURL(kPartnerUrl)) {
        application.openURL(kPartnerUrl);
        return;
    }
    auto alert = std::make_shared<UIAlertView>(
        "警告", "你尚未安装此应用", std::weak_ptr<UIAlertViewDelegate>(), std::string("确定"));
    alert->show();
}

void LoginViewController::textFieldDidBeginEditing(UITextField* field)
{
    if (field == txtAccount_.get())
        curTxt_ = txtAccount_;
    else if (field == txtPassword_.get())
        curTxt_ = txtPassword_;
    // A keyboard already up (raised by a field of another screen before this
    // one listened) announces nothing when a field here takes it over: the
    // panel goes above it all the same.
    if (platform::Keyboard::isVisible())
        movePanel(true, platform::Keyboard::frame(), platform::Keyboard::kAnimationDuration);
}

bool LoginViewController::textFieldShouldReturn(UITextField* field)
{
    if (field == txtAccount_.get())
        txtPassword_->becomeFirstResponder();
    else if (field)
        field->resignFirstResponder();
    return true;
}

void LoginViewController::keyboardChanged(const platform::Notification& notification)
{
    auto keyboard = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey))
                        .value_or(platform::Rect());
    double duration = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey).doubleValue();
    movePanel(notification.name == UIKeyboardWillShowNotification, keyboard, duration);
}

void LoginViewController::movePanel(bool keyboardShown, const platform::Rect& keyboard, double duration)
{
    if (!(duration > 0))
        duration = kDefaultKeyboardDuration;
    auto frame = contentView_->frame();
    double y = orgY_;
    if (keyboardShown) {
        // The panel rises just enough for the login button to clear the
        // keyboard, whatever the screen's height; what lies below the button
        // may go under it.
        double keyboardTop = view()->convertRectFromView(keyboard, nullptr).minY();
        double foot = frame.height();
        if (btnLogin_->superview())
            foot = btnLogin_->superview()->convertRectToView(btnLogin_->frame(), contentView_.get()).maxY();
        y = std::min(keyboardTop - kKeyboardMargin - foot, orgY_);
    }
    // The name and logo give way while the panel covers them: drawn through
    // its open parts they would cross the check boxes.
    const double brandAlpha = y < orgY_ ? 0.0 : 1.0;
    auto content = contentView_;
    std::vector<std::shared_ptr<UIView>> brand { imgLogo_, labName_, labSlogan_ };
    UIView::animateWithDuration(duration, [content, y, brand, brandAlpha] {
        auto f = content->frame();
        f.origin.y = y;
        content->setFrame(f);
        for (const auto& view : brand)
            view->setAlpha(brandAlpha);
    });
}
