#include "teaching/send/SendOnlineServiceViewController.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "teaching/send/SendFormLook.h"
#include "ui/ORBHelper.h"

#include <cmath>

using core::ORBRequestType;

SendOnlineServiceViewController::SendOnlineServiceViewController()
    : BaseViewController(std::string(kClassName))
{
}

void SendOnlineServiceViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("textView", textView_);
    bindings.outlet("holdTextLbl", holdTextLbl_);
    bindings.outlet("isNeedReplyBtn", isNeedReplyBtn_);
    bindings.outlet("needReplyView", needReplyView_);
    bindings.outlet("contentView", contentView_);
    bindings.action("sendAction:", &SendOnlineServiceViewController::sendAction);
    bindings.action("isNeedReplyAction:", &SendOnlineServiceViewController::isNeedReplyAction);
    bindings.action("cancleAction:", &SendOnlineServiceViewController::cancleAction);
}

void SendOnlineServiceViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setTitle(kTitle);
    isNeedReplyBtn_->setSelected(true);
    textView_->setDelegate(std::weak_ptr<UITextViewDelegate>(self<SendOnlineServiceViewController>()));
    teaching::applyBoxLook(*textView_);
    // The form ends at the foot of the screen on either screen: 需要回复
    // and the buttons stand there (the keyboard lifts them from there), the
    // text above them takes what the screen has less.
    keepAtVisibleBottom(contentView_);
    needReplyView_->setAutoresizingMask(
        (needReplyView_->autoresizingMask() & ~(UIViewAutoresizingFlexibleHeight | UIViewAutoresizingFlexibleBottomMargin))
        | UIViewAutoresizingFlexibleTopMargin);
    textView_->setAutoresizingMask(textView_->autoresizingMask() | UIViewAutoresizingFlexibleHeight);
    observe(UIKeyboardWillShowNotification, &SendOnlineServiceViewController::keyboardWillShow);
    observe(UIKeyboardWillHideNotification, &SendOnlineServiceViewController::keyboardWillHide);
    runAfter(kKeyboardDelay, &SendOnlineServiceViewController::openKeyboard);
    showPlaceholder();
}

void SendOnlineServiceViewController::openKeyboard() { textView_->becomeFirstResponder(); }

void SendOnlineServiceViewController::showPlaceholder() { holdTextLbl_->setHidden(!textView_->text().empty()); }

void SendOnlineServiceViewController::isNeedReplyAction(UIControl*)
{
    isNeedReplyBtn_->setSelected(!isNeedReplyBtn_->isSelected());
}

void SendOnlineServiceViewController::cancleAction(UIControl*)
{
    textView_->resignFirstResponder();
    popViewController();
}

void SendOnlineServiceViewController::keyboardWillShow(const platform::Notification& notification)
{
    moveForKeyboard(notification, true);
}

void SendOnlineServiceViewController::keyboardWillHide(const platform::Notification& notification)
{
    moveForKeyboard(notification, false);
}

void SendOnlineServiceViewController::moveForKeyboard(const platform::Notification& notification, bool showing)
{
    double duration = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey).doubleValue();
    if (showing && !lifted_) {
        // Where the text and the buttons rest on this screen, as the foot of
        // the screen placed them; the keyboard moves them from there.
        textViewFrame_ = textView_->frame();
        replyViewFrame_ = needReplyView_->frame();
        lifted_ = true;
    } else if (!showing) {
        if (!lifted_)
            return;
        lifted_ = false;
    }
    auto text = textViewFrame_;
    auto reply = replyViewFrame_;
    if (showing) {
        auto end = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey));
        text.size.height = textViewFrame_.height() - std::floor(end ? end->height() : platform::Keyboard::kHeight);
        reply.origin.y = text.size.height;
    }
    UIView::animateWithDuration(std::isfinite(duration) && duration > 0 ? duration : 0,
        weakCallback<SendOnlineServiceViewController>([text, reply](SendOnlineServiceViewController& screen) {
            screen.textView_->setFrame(text);
            screen.needReplyView_->setFrame(reply);
        }));
}

void SendOnlineServiceViewController::sendAction(UIControl*)
{
    if (isLoading_ || isClosing_)
        return;
    const std::string text = textView_->text();
    if (text.empty()) {
        auto alert = std::make_shared<UIAlertView>(kAlertTitle, kEmptyText, std::weak_ptr<UIAlertViewDelegate>(),
            std::string(kAlertButton), std::vector<std::string> {});
        alert->show();
        return;
    }
    platform::Dictionary params;
    params.set("content", text);
    params.set("isNeedReply", isNeedReplyBtn_->isSelected() ? 1 : 0);
    isLoading_ = true;
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        static_cast<int>(ORBRequestType::ServiceMessage), platform::Value(std::move(params)),
        weakCallback<SendOnlineServiceViewController>([](SendOnlineServiceViewController& screen) {
            ORBHelper::showProgressHud(kSendingText, true, false);
            screen.textView_->resignFirstResponder();
        }),
        // The outcome replaces the spinner on the window, and the page hears
        // of the message, even when the person has left.
        weakCallbackAfter<SendOnlineServiceViewController>(
            [](const platform::Value& result) {
                ORBHelper::showProgressHud(result.stringValue(), false, true);
                platform::NotificationCenter::defaultCenter().post(kSentNotification);
            },
            &SendOnlineServiceViewController::sendSucceeded),
        weakCallbackAfter<SendOnlineServiceViewController>(
            [](const std::string& message) { ORBHelper::showProgressHud(message, false, true); },
            &SendOnlineServiceViewController::sendFailed));
}

void SendOnlineServiceViewController::sendSucceeded(const platform::Value&)
{
    isLoading_ = false;
    isClosing_ = true;
    runAfter(kCloseDelay, &SendOnlineServiceViewController::close);
}

void SendOnlineServiceViewController::sendFailed(const std::string&) { isLoading_ = false; }

void SendOnlineServiceViewController::close() { cancleAction(nullptr); }
