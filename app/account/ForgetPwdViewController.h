#pragma once

#include "app/base/BaseViewController.h"
#include "platform/uikit/UITextField.h"

#include <memory>

class UIButton;
class UIControl;
class UILabel;

namespace platform {
class Timer;
}

// "忘记密码": the account's role and name, an SMS verification code asked for
// (then a minute before the next), and the code sent back to reset the password.
class ForgetPwdViewController final : public BaseViewController, public UITextFieldDelegate {
public:
    ORB_CLASS_NAME(ForgetPwdViewController)

    static constexpr int kTeacher = 1;
    static constexpr int kParent = 2;
    static constexpr int kRequestCheckNumber = 10;
    static constexpr int kConfirmCheckNumber = 4;
    static constexpr int kCountdownSeconds = 60;
    static constexpr const char* kCheckboxImage = "login_checkbox_fg.png";
    static constexpr const char* kReadyImage = "login_checknum_green.png";
    static constexpr const char* kWaitingImage = "login_checknum_gray.png";
    // The keyboard's height, and the room a field needs above it.
    static constexpr double kKeyboardHeight = 216;
    static constexpr double kFieldRoom = 120;
    static constexpr double kShiftDuration = 0.3;

    ForgetPwdViewController();
    explicit ForgetPwdViewController(std::string nibName);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void btnBackTouchUpInside(UIControl* sender);
    void btnTypeTeacherTouchUpInside(UIControl* sender);
    void btnTypeParentTouchUpInside(UIControl* sender);
    void btnChecknumTouchUpInside(UIControl* sender);
    void btnOkTouchUpInside(UIControl* sender);

    void textFieldDidBeginEditing(UITextField* field) override;
    void textFieldDidEndEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;

    int userType() const { return userType_; }

private:
    void toggle(UIButton& tapped, int tappedRole, UIButton& other, int otherRole);
    static void choose(UIButton& button, bool selected);
    void startCountdown();
    void stopCountdown();
    void handleTimer();

    int userType_ = kTeacher;
    int timeLimit_ = 0;
    bool shifted_ = false;
    double restingY_ = 0;
    std::shared_ptr<UITextField> txtPhone_;
    std::shared_ptr<UIButton> btnTypeTeacher_;
    std::shared_ptr<UIButton> btnTypeParent_;
    std::shared_ptr<UITextField> txtChecknum_;
    std::shared_ptr<UIButton> btnOk_;
    std::shared_ptr<UIButton> btnChecknum_;
    std::shared_ptr<platform::Timer> timer_;
    std::shared_ptr<UILabel> txtCheck_;
};
