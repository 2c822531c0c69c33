#include "circle/write/WeiboCommentViewController.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/util/ORBHelper.h"
#include "libModule/TabViewController/TabViewController.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"

#include <algorithm>

namespace circle {

WeiboCommentViewController::WeiboCommentViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle("发评论");
}

void WeiboCommentViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("textView", textView_);
    bindings.outlet("holdTextLbl", holdTextLbl_);
    bindings.outlet("fontCountView", fontCountView_);
    bindings.outlet("labRemainNum", labRemainNum_);
    bindings.outlet("btnSend", btnSend_);
    bindings.outlet("btnCancel", btnCancel_);
    bindings.action("sendAction:", &WeiboCommentViewController::sendAction);
    bindings.action("cancelAction:", &WeiboCommentViewController::cancelAction);
}

void WeiboCommentViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setTitle("发评论");
    btnSend_->setTitle(std::string("发送"), UIControlStateNormal);
    btnSend_->setImage(nullptr, UIControlStateNormal);
    // Both sit on the bar: cancel where back would be, send on the right.
    setLeftItem(btnCancel_);
    setRightItem(btnSend_);
    textView_->setFont(UIFont::systemFont(15));
    textView_->setTextColor(platform::Color::fromRGB255(46, 53, 64));
    textView_->setDelegate(std::weak_ptr<UITextViewDelegate>(self<WeiboCommentViewController>()));
    // The count keeps its place above the foot of the screen on either
    // screen (the keyboard lifts it from there); the text takes what the
    // screen has less.
    fontCountView_->setAutoresizingMask(
        (fontCountView_->autoresizingMask() & ~(UIViewAutoresizingFlexibleHeight | UIViewAutoresizingFlexibleBottomMargin))
        | UIViewAutoresizingFlexibleTopMargin);
    textView_->setAutoresizingMask(textView_->autoresizingMask() | UIViewAutoresizingFlexibleHeight);
    textViewDidChange(textView_.get());
    observe(UIKeyboardWillShowNotification, &WeiboCommentViewController::keyboardWillShow);
    observe(UIKeyboardWillHideNotification, &WeiboCommentViewController::keyboardWillHide);
    runAfter(kKeyboardDelay, &WeiboCommentViewController::showKeyboard);
}

void WeiboCommentViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    TabViewController::setSharedTabbarHidden(true, true);
}

void WeiboCommentViewController::showKeyboard() { textView_->becomeFirstResponder(); }

int WeiboCommentViewController::remaining() const
{
    return kMaxLength - core::ORBHelper::unicodeLengthOfString(textView_->text());
}

void WeiboCommentViewController::textViewDidChange(UITextView*)
{
    holdTextLbl_->setHidden(!textView_->text().empty());
    int left = remaining();
    labRemainNum_->setText(std::to_string(left));
    labRemainNum_->setTextColor(left < 0 ? platform::Color::redColor() : platform::Color::grayColor());
}

void WeiboCommentViewController::keyboardWillShow(const platform::Notification& notification)
{
    auto end = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey));
    // The keyboard's frame is in screen coordinates, the window's own; what
    // it covers of the view is what the text view gives up.
    const auto panel = view()->convertRectFromView(end ? *end : platform::Keyboard::frame(), nullptr);
    const double height = view()->bounds().height();
    fitAboveKeyboard(std::clamp(height - panel.minY(), 0.0, height));
}

void WeiboCommentViewController::keyboardWillHide(const platform::Notification&)
{
    if (!keyboardUp_)
        return; // nothing has moved
    fitAboveKeyboard(0);
    keyboardUp_ = false;
}

void WeiboCommentViewController::fitAboveKeyboard(double covered)
{
    if (!keyboardUp_) {
        // Where the text and the count rest on this screen; the keyboard
        // moves them from there.
        textViewRect_ = textView_->frame();
        fontCountViewRect_ = fontCountView_->frame();
        keyboardUp_ = true;
    }
    auto text = textViewRect_;
    text.size.height = std::max(text.height() - covered, 0.0);
    auto count = fontCountViewRect_;
    count.origin.y -= covered;
    UIView::animateWithDuration(kKeyboardAnimation,
        weakCallback<WeiboCommentViewController>([text, count](WeiboCommentViewController& screen) {
            screen.textView_->setFrame(text);
            screen.fontCountView_->setFrame(count);
            // The line being typed stays in sight in the shorter text view;
            // a taller one is not left scrolled past its end.
            auto& view = *screen.textView_;
            if (view.isEditing()) {
                view.setCaretLocation(view.caretLocation());
            } else {
                auto offset = view.contentOffset();
                offset.y = std::clamp(offset.y, 0.0, std::max(view.contentSize().height - text.height(), 0.0));
                view.setContentOffset(offset);
            }
        }));
}

void WeiboCommentViewController::sendAction(UIControl*)
{
    if (isSending_)
        return;
    if (remaining() < 0) {
        std::make_shared<UIAlertView>("温馨提示", "最多输入" + std::to_string(kMaxLength) + "个文字",
            std::weak_ptr<UIAlertViewDelegate>(), std::string("确定"))
            ->show();
        return;
    }
    const std::string comment = textView_->text();
    if (comment.empty()) {
        std::make_shared<UIAlertView>("警告", "评论内容不能为空", std::weak_ptr<UIAlertViewDelegate>(), std::string("确定"))
            ->show();
        return;
    }
    textView_->resignFirstResponder();
    isSending_ = true;
    long long weiboId = weiboId_;
    platform::Dictionary params;
    params.set("weiboId", weiboId);
    params.set("comment", comment);
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        kCommentRequest, platform::Value(std::move(params)),
        weakCallback<WeiboCommentViewController>([](WeiboCommentViewController& screen) {
            ORBHelper::showProgressHud("正在发送评论", true, false);
            screen.textView_->resignFirstResponder();
        }),
        // The window's overlay and the circle's news do not depend on this
        // screen: a comment that went out while the person left is still
        // shown under its post, and the spinner never stays on the window.
        weakCallbackAfter<WeiboCommentViewController>(
            [weiboId, comment](const platform::Value& result) {
                const std::string* message = result.asString();
                ORBHelper::showProgressHud(message ? *message : std::string(), false, true);
                platform::Dictionary info;
                info.set("weiboId", weiboId);
                info.set("comment", comment);
                platform::NotificationCenter::defaultCenter().post(kSendWeiboCommentSuccess, {}, std::move(info));
            },
            [](WeiboCommentViewController& screen, const platform::Value&) {
                screen.runAfter(kCloseDelay, &WeiboCommentViewController::close);
            }),
        weakCallbackAfter<WeiboCommentViewController>(
            [] { ORBHelper::showProgressHud("评论失败", false, true); },
            [](WeiboCommentViewController& screen, const std::string&) { screen.isSending_ = false; }));
}

void WeiboCommentViewController::cancelAction(UIControl*)
{
    textView_->resignFirstResponder();
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

} // namespace circle
