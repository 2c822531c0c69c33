#pragma once

#include "app/base/BaseViewController.h"
#include "app/login/VersionUpdateRule.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/Timer.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UITextField.h"

#include <memory>
#include <optional>
#include <string>

class UIButton;
class UIControl;
class UIView;

// The sign-in screen: account and password (or a time password sent on
// request), remembered when asked, signing in by itself once push
// registration has answered, the version-update rule on the reply, then the
// session and either the signed-in announcement or the account chooser.
class LoginViewController final : public BaseViewController,
                                  public UITextFieldDelegate,
                                  public UIAlertViewDelegate {
public:
    ORB_CLASS_NAME(LoginViewController)

    // Seconds before another time password may be asked for.
    static constexpr int kTimeLimit = 10;
    // The room kept between the login button and the keyboard's top.
    static constexpr double kKeyboardMargin = 8;
    static constexpr double kDefaultKeyboardDuration = 0.1;
    static constexpr const char* kAccountKey = "account";
    static constexpr const char* kPwdKey = "pwd";
    static constexpr const char* kAutoLoginKey = "auto_login";
    static constexpr const char* kCheckboxImage = "login_checkbox_fg.png";
    static constexpr const char* kPartnerUrl = "tarnApp:";

    LoginViewController();
    explicit LoginViewController(std::string nibName);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // "ApplicationRegistRemoteFinishedNotification".
    void login();
    void btnLoginTouchUpInside(UIControl* sender);
    void handleLogin();
    void btnTimePwdTouchUpInside(UIControl* sender);
    // Starts the one-second countdown from kTimeLimit, or stops it.
    void setCountingDown(bool counting);
    void handleTimer();
    void btnRememberPwdTouchUpInside(UIControl* sender);
    void btnAutoLoginTouchUpInside(UIControl* sender);
    void btnForgetPwdTouchUpInside(UIControl* sender);
    void btnForgetPwsTouchUpInside(UIControl* sender) { btnForgetPwdTouchUpInside(sender); }
    void registerAccount(UIControl* sender);
    void backToPartnerApp(UIControl* sender);
    void keyboardChanged(const platform::Notification& notification);

    void textFieldDidBeginEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;
    void alertViewClickedButton(UIAlertView* alert, long buttonIndex) override;

    // The fields the headless tour fills in.
    std::shared_ptr<UITextField> txtAccount() const { return txtAccount_; }
    std::shared_ptr<UITextField> txtPassword() const { return txtPassword_; }

private:
    void registrationFinished(const platform::Notification&);
    void startLogin();
    void setTicked(const std::shared_ptr<UIButton>& box, bool ticked);
    static bool isTicked(const std::shared_ptr<UIButton>& box);
    void loginReplied(const platform::Value& reply);
    // Runs the version rule; false when a prompt now waits for the user.
    bool applyVersionRule(const platform::Value& reply);
    void resignCurrent();
    // Puts the panel above a keyboard shown at `keyboard` (screen
    // coordinates), or back in its place when the keyboard goes.
    void movePanel(bool keyboardShown, const platform::Rect& keyboard, double duration);

    double orgY_ = 0;
    std::weak_ptr<UITextField> curTxt_;
    bool autoLoad_ = false;
    bool finishResignRemote_ = false;
    int timeLimit_ = 0;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> imgLogo_;
    std::shared_ptr<UIView> labName_;
    std::shared_ptr<UIView> labSlogan_;
    std::shared_ptr<UITextField> txtAccount_;
    std::shared_ptr<UITextField> txtPassword_;
    std::shared_ptr<UIButton> btnRememberPwd_;
    std::shared_ptr<UIButton> btnAutoLogin_;
    std::shared_ptr<UIButton> btnTimePwd_;
    std::shared_ptr<platform::Timer> timer_;
    std::shared_ptr<UIButton> btnForgetPwd_;
    std::shared_ptr<UIButton> backToPartnerBtn_;
    platform::Value loginData_;
    std::shared_ptr<UIButton> btnRegisterAccount_;
    std::shared_ptr<UIButton> btnLogin_;
    std::string versionCode_;
    std::string versionUrl_;
};
