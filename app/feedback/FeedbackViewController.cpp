#include "app/feedback/FeedbackViewController.h"

#include "app/account/AccountScreenKit.h"
#include "app/base/TapOutsideFields.h"
#include "core/network/ORBNetworkHelper.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextField.h"
#include "ui/ORBHelper.h"

#include <algorithm>

FeedbackViewController::FeedbackViewController()
    : FeedbackViewController(std::string(kClassName))
{
}

FeedbackViewController::FeedbackViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
{
    setTitle("意见反馈");
}

void FeedbackViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("TFLinkman", TFLinkman_);
    bindings.outlet("advice", advice_);
    bindings.outlet("linkman", linkman_);
    bindings.outlet("placeHolder", placeHolder_);
    bindings.outlet("btnCommit", btnCommit_);
    bindings.action("btnCommitTouchUpInside:", &FeedbackViewController::btnCommitTouchUpInside);
    // A back button of the page itself; this layout has none (the bar's goes back).
    bindings.optionalAction("btnGoBackAction:", &FeedbackViewController::btnGoBackAction);
}

void FeedbackViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    TFLinkman_->layer()->setBorderWidth(0.6);
    TFLinkman_->layer()->setBorderColor(platform::Color::fromRGB255(181, 181, 181, 0.8));
    TFLinkman_->layer()->setCornerRadius(7);
    advice_->setDelegate(std::weak_ptr<UITextViewDelegate>(weakSelf<FeedbackViewController>()));
    linkman_->setDelegate(std::weak_ptr<UITextFieldDelegate>(weakSelf<FeedbackViewController>()));
    linkman_->setReturnKeyType(UIReturnKeyDone);
    setLeftItem(imageBarButton<FeedbackViewController>(
        "public_back_btn.png", "btnBack", &FeedbackViewController::btnGoBackAction));
    adviceBoxAtRest_ = advice_->superview() ? advice_->superview()->frame() : platform::Rect();
    adviceAtRest_ = advice_->frame();
    linkmanBoxAtRest_ = TFLinkman_->frame();
    commitAtRest_ = btnCommit_->frame();
    observe(UIKeyboardWillShowNotification, &FeedbackViewController::keyboardChanged);
    observe(UIKeyboardWillHideNotification, &FeedbackViewController::keyboardChanged);
    endEditingOnTapOutside(view());
}

void FeedbackViewController::textFieldDidBeginEditing(UITextField*) { fitAboveKeyboard(); }

void FeedbackViewController::textFieldDidEndEditing(UITextField*) { fitAboveKeyboard(); }

void FeedbackViewController::keyboardChanged(const platform::Notification&) { fitAboveKeyboard(); }

void FeedbackViewController::fitAboveKeyboard()
{
    static constexpr double kGapAboveKeys = 8;
    // The text box keeps at least this much of itself: two lines and its insets.
    static constexpr double kShortestAdvice = 52;
    double shrink = 0;
    if (platform::Keyboard::isVisible() && view()->window()
        && (linkman_->isFirstResponder() || advice_->isFirstResponder())) {
        // Where 提交, the lowest of the form, stands with the form at rest, on
        // screen: the field and it come up above the keys together.
        auto button = btnCommit_->convertRectToView(btnCommit_->bounds(), nullptr);
        double bottom = button.maxY() + shrunk_;
        shrink = std::clamp(bottom + kGapAboveKeys - platform::Keyboard::frame().minY(), 0.0,
            std::max(0.0, adviceAtRest_.height() - kShortestAdvice));
    }
    if (shrink == shrunk_)
        return;
    shrunk_ = shrink;
    UIView::animateWithDuration(platform::Keyboard::kAnimationDuration,
        weakCallback<FeedbackViewController>([shrink](FeedbackViewController& screen) {
            auto less = [shrink](platform::Rect frame) {
                frame.size.height -= shrink;
                return frame;
            };
            auto up = [shrink](platform::Rect frame) {
                frame.origin.y -= shrink;
                return frame;
            };
            if (auto box = screen.advice_->superview())
                box->setFrame(less(screen.adviceBoxAtRest_));
            screen.advice_->setFrame(less(screen.adviceAtRest_));
            screen.TFLinkman_->setFrame(up(screen.linkmanBoxAtRest_));
            screen.btnCommit_->setFrame(up(screen.commitAtRest_));
        }));
}

// The placeholder goes with the first change and does not come back.
void FeedbackViewController::textViewDidChange(UITextView*)
{
    placeHolder_->removeFromSuperview();
}

bool FeedbackViewController::textFieldShouldReturn(UITextField* field)
{
    if (field)
        field->resignFirstResponder();
    return true;
}

void FeedbackViewController::btnCommitTouchUpInside(UIControl*)
{
    std::string content = advice_->text();
    if (content.empty()) {
        ORBHelper::showProgressHud("反馈内容不能为空", false, true);
        return;
    }
    platform::Dictionary params;
    params.set("content", content);
    // The platform reads these as the whole number -1; our JSON writer would
    // write a floating-point -1 as "-1.0", so they go as integers.
    params.set("parentId", -1);
    params.set("serviceId", -1);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kFeedbackRequest,
        platform::Value(std::move(params)),
        weakCallback<FeedbackViewController>(
            [](FeedbackViewController&) { ORBHelper::showProgressHud("感谢您的反馈，正在上传中", false, false); }),
        // The overlay belongs to the window: the thanks or the reason replace
        // the spinner even when the person has left before the answer.
        weakCallbackAfter<FeedbackViewController>(
            [](const platform::Value&) { ORBHelper::showProgressHud("反馈成功", false, true); },
            [](FeedbackViewController& screen, const platform::Value&) {
                screen.runAfter(account::kLeaveDelay, &FeedbackViewController::leave);
            }),
        [](const std::string& message) { ORBHelper::showProgressHud(message, false, true); });
}

void FeedbackViewController::leave() { account::popScreen(*this); }

void FeedbackViewController::btnGoBackAction(UIControl*) { account::popScreen(*this); }
