#include "app/account/ForgetPwdViewController.h"

#include "app/account/AccountScreenKit.h"
#include "core/network/ORBNetworkHelper.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"

#include <cmath>

namespace {

void showAlert(const char* title, const std::string& message)
{
    auto alert = std::make_shared<UIAlertView>(title, message, std::weak_ptr<UIAlertViewDelegate>(), std::string("确定"));
    alert->show();
}

// What went wrong is a warning; what the server did for the person is only
// a notice (a code sent, a password reset).
void showWarning(const std::string& message) { showAlert("警告", message); }
void showNotice(const std::string& message) { showAlert("提示", message); }

} // namespace

ForgetPwdViewController::ForgetPwdViewController()
    : ForgetPwdViewController(std::string(kClassName))
{
}

ForgetPwdViewController::ForgetPwdViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
{
    setTitle("忘记密码");
}

void ForgetPwdViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("txtPhone", txtPhone_);
    bindings.outlet("btnTypeTeacher", btnTypeTeacher_);
    bindings.outlet("btnTypeParent", btnTypeParent_);
    bindings.outlet("txtChecknum", txtChecknum_);
    bindings.outlet("btnOk", btnOk_);
    bindings.outlet("btnChecknum", btnChecknum_);
    bindings.outlet("txtCheck", txtCheck_);
    bindings.action("btnTypeTeacherTouchUpInside:", &ForgetPwdViewController::btnTypeTeacherTouchUpInside);
    bindings.action("btnTypeParentTouchUpInside:", &ForgetPwdViewController::btnTypeParentTouchUpInside);
    bindings.action("btnChecknumTouchUpInside:", &ForgetPwdViewController::btnChecknumTouchUpInside);
    bindings.action("btnOkTouchUpInside:", &ForgetPwdViewController::btnOkTouchUpInside);
    // A back button of the page itself; this layout has none (the bar's goes back).
    bindings.optionalAction("btnBackTouchUpInside:", &ForgetPwdViewController::btnBackTouchUpInside);
}

void ForgetPwdViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(platform::Color::fromRGB255(240, 240, 240));
    userType_ = kTeacher;
    setLeftItem(imageBarButton<ForgetPwdViewController>(
        "public_back_btn.png", "btnBack", &ForgetPwdViewController::btnBackTouchUpInside));
    auto self = BaseViewController::self<ForgetPwdViewController>();
    txtPhone_->setDelegate(std::weak_ptr<UITextFieldDelegate>(self));
    txtChecknum_->setDelegate(std::weak_ptr<UITextFieldDelegate>(self));
}

void ForgetPwdViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
}

void ForgetPwdViewController::btnBackTouchUpInside(UIControl*) { account::popScreen(*this); }

void ForgetPwdViewController::choose(UIButton& button, bool selected)
{
    button.setTag(selected ? 1 : 0);
    button.setImage(selected ? UIImage::imageNamed(kCheckboxImage) : nullptr, UIControlStateNormal);
}

// A tap on the unselected choice selects it; a tap on the selected one
// selects the other.
void ForgetPwdViewController::toggle(UIButton& tapped, int tappedRole, UIButton& other, int otherRole)
{
    bool selectTapped = tapped.tag() == 0 && other.tag() == 1;
    choose(tapped, selectTapped);
    choose(other, !selectTapped);
    userType_ = selectTapped ? tappedRole : otherRole;
}

void ForgetPwdViewController::btnTypeTeacherTouchUpInside(UIControl*)
{
    toggle(*btnTypeTeacher_, kTeacher, *btnTypeParent_, kParent);
}

void ForgetPwdViewController::btnTypeParentTouchUpInside(UIControl*)
{
    toggle(*btnTypeParent_, kParent, *btnTypeTeacher_, kTeacher);
}

void ForgetPwdViewController::btnChecknumTouchUpInside(UIControl*)
{
    // The button takes no touches while the countdown runs; a call from
    // elsewhere must not start a second request either.
    if (timeLimit_ > 0)
        return;
    if (txtPhone_->text().empty()) {
        ORBHelper::showProgressHud("请输入您的账号名或者手机号码", false, true);
        return;
    }
    platform::Dictionary params;
    params.set("mobile", txtPhone_->text());
    params.set("intUserType", userType_);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kRequestCheckNumber,
        platform::Value(std::move(params)),
        weakCallback<ForgetPwdViewController>(
            [](ForgetPwdViewController&) { ORBHelper::showProgressHud("发送验证中", true, false); }),
        // The spinner covers the window: it goes with the answer whether or
        // not the person is still here; what the answer says is for this screen.
        weakCallbackAfter<ForgetPwdViewController>(
            ORBHelper::hideProgressHud, [](ForgetPwdViewController& screen, const platform::Value& reply) {
                bool sent = reply["resultState"].intValue() == 1;
                if (sent)
                    screen.startCountdown();
                (sent ? showNotice : showWarning)(reply["resultMsg"].stringValue());
            }),
        weakCallbackAfter<ForgetPwdViewController>(ORBHelper::hideProgressHud,
            [](ForgetPwdViewController&, const std::string& message) { showWarning(message); }));
}

void ForgetPwdViewController::btnOkTouchUpInside(UIControl*)
{
    if (txtChecknum_->text().empty()) {
        ORBHelper::showProgressHud("请输入验证码", false, true);
        return;
    }
    platform::Dictionary params;
    params.set("mobile", txtPhone_->text());
    params.set("validate", txtChecknum_->text());
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kConfirmCheckNumber,
        platform::Value(std::move(params)),
        weakCallback<ForgetPwdViewController>(
            [](ForgetPwdViewController&) { ORBHelper::showProgressHud("发送验证中", true, false); }),
        weakCallbackAfter<ForgetPwdViewController>(
            ORBHelper::hideProgressHud, [](ForgetPwdViewController&, const platform::Value& reply) {
                platform::log("result:%s\n", reply["resultMsg"].stringValue().c_str());
                showNotice(reply["resultMsg"].stringValue());
            }),
        // The failure is a plain text: a spinner would say work was still
        // going on (and would stay on the window for good once the person
        // had left).
        [](const std::string& message) { ORBHelper::showProgressHud(message, false, true); });
}

void ForgetPwdViewController::startCountdown()
{
    cancelTimer(timer_);
    timer_ = repeatEvery<ForgetPwdViewController>(1.0, &ForgetPwdViewController::handleTimer);
    timeLimit_ = kCountdownSeconds;
    btnChecknum_->setTitle(std::to_string(timeLimit_) + "秒", UIControlStateNormal);
    btnChecknum_->setBackgroundImage(UIImage::imageNamed(kWaitingImage), UIControlStateNormal);
    btnChecknum_->setUserInteractionEnabled(false);
}

void ForgetPwdViewController::stopCountdown()
{
    cancelTimer(timer_);
    timer_.reset();
    timeLimit_ = 0;
    btnChecknum_->setTitle(std::string("获取"), UIControlStateNormal);
    btnChecknum_->setBackgroundImage(UIImage::imageNamed(kReadyImage), UIControlStateNormal);
    btnChecknum_->setUserInteractionEnabled(true);
}

void ForgetPwdViewController::handleTimer()
{
    --timeLimit_;
    if (timeLimit_ < 1) {
        stopCountdown();
        return;
    }
    btnChecknum_->setTitle(std::to_string(timeLimit_) + "秒", UIControlStateNormal);
}

// The view rises just enough to keep the field above the keyboard, and comes
// back to where it rests (below the navigation bar) when editing ends.
void ForgetPwdViewController::textFieldDidBeginEditing(UITextField* field)
{
    auto frame = view()->frame();
    if (!shifted_)
        restingY_ = frame.minY();
    double shift = std::trunc(field->frame().minY() + kFieldRoom - (frame.height() - kKeyboardHeight));
    if (shift < 1)
        return;
    shifted_ = true;
    UIView::beginAnimations("ResizeForKeyboard");
    UIView::setAnimationDuration(kShiftDuration);
    view()->setFrame(platform::Rect(frame.minX(), restingY_ - shift, frame.width(), frame.height()));
    UIView::commitAnimations();
}

void ForgetPwdViewController::textFieldDidEndEditing(UITextField*)
{
    if (!shifted_)
        return;
    shifted_ = false;
    auto frame = view()->frame();
    view()->setFrame(platform::Rect(frame.minX(), restingY_, frame.width(), frame.height()));
}

bool ForgetPwdViewController::textFieldShouldReturn(UITextField* field)
{
    field->resignFirstResponder();
    return true;
}
