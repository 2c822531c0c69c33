#include "content/library/EVCommentAdd.h"

#include "content/library/EVCommentCells.h"
#include "core/session/MyAccountInfo.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "ui/controls/SStarView.h"
#include "ui/controls/UIColorHelper.h"

namespace content {

std::shared_ptr<EVCommentAdd> EVCommentAdd::viewWithDelegate(std::weak_ptr<EVCommentAddDelegate> delegate)
{
    auto panel = std::dynamic_pointer_cast<EVCommentAdd>(platform::LayoutLoader::lastTopLevelObject(kClassName, nullptr));
    if (panel)
        panel->delegate_ = std::move(delegate);
    return panel;
}

void EVCommentAdd::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("boardView", boardView_);
    bindings.outlet("txtContent", txtContent_);
    bindings.outlet("starView", starView_);
    bindings.outlet("btnCancel", btnCancel_);
    bindings.outlet("btnSubmit", btnSubmit_);
    bindings.action("btnCancelTouchUpInside:", &EVCommentAdd::btnCancelTouchUpInside);
    bindings.action("btnSubmitTouchUpInside:", &EVCommentAdd::btnSubmitTouchUpInside);
    bindings.action("panelTouchUpInside:", &EVCommentAdd::panelTouchUpInside);
}

void EVCommentAdd::awakeFromNib()
{
    UIView::awakeFromNib();
    txtContent_->layer()->setBorderWidth(1);
    txtContent_->layer()->setBorderColor(UIColor::fromWhite(191.0 / 255.0));
    EVCommentCell::styleStars(*starView_);
    starView_->setMinStar(kFewestStars);
    starView_->setStarCount(kFirstStars);
    btnSubmit_->setTitleColor(UIColorHelper::colorWithString("9bd53e"), UIControlStateNormal);
    btnSubmit_->setTitleColor(UIColorHelper::colorWithString("568607"), UIControlStateHighlighted);
    boardView_->setAlpha(0);
    setBackgroundColor(UIColor::clearColor());
    auto me = std::static_pointer_cast<EVCommentAdd>(shared_from_this());
    lifetime_.observe<EVCommentAdd>(me, UIKeyboardWillShowNotification, &EVCommentAdd::keyboardWillShow);
    lifetime_.observe<EVCommentAdd>(me, UIKeyboardWillHideNotification, &EVCommentAdd::keyboardWillHide);
}

void EVCommentAdd::show()
{
    if (auto screen = UIScreen::mainScreen())
        setFrame(screen->bounds());
    if (!superview()) {
        if (auto window = UIWindow::keyWindow())
            window->addSubview(std::static_pointer_cast<UIView>(shared_from_this()));
    }
    txtContent_->becomeFirstResponder();
}

void EVCommentAdd::clearText() { txtContent_->setText(""); }

void EVCommentAdd::resign() { txtContent_->resignFirstResponder(); }

void EVCommentAdd::btnCancelTouchUpInside(UIControl*) { resign(); }

void EVCommentAdd::panelTouchUpInside(UIControl*) { resign(); }

void EVCommentAdd::btnSubmitTouchUpInside(UIControl*)
{
    if (txtContent_->text().empty()) {
        refusing_ = true;
        auto me = std::static_pointer_cast<EVCommentAdd>(shared_from_this());
        std::make_shared<UIAlertView>("提示", "评论内容不能为空", std::weak_ptr<UIAlertViewDelegate>(me), "确定")->show();
        return;
    }
    resign();
    auto comment = std::make_shared<EVCommentInfo>();
    comment->score = int(starView_->starCount());
    comment->content = txtContent_->text();
    if (auto account = core::MyAccountInfo::currentAccount()) {
        comment->userName = account->name;
        // The writer's own role, so a teacher's comment is not shown as a student's.
        comment->userType = account->type;
    }
    comment->commentTime = platform::Date::now();
    // The text stays until the comment is posted: a failed post loses nothing.
    if (auto delegate = delegate_.lock())
        delegate->commentAddDidSubmit(this, comment);
}

void EVCommentAdd::keyboardWillShow(const platform::Notification& notification)
{
    // Another field's keyboard is none of the panel's business.
    if (!superview())
        return;
    auto end = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey));
    double duration = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey).doubleValue();
    if (!(duration > 0))
        duration = kKeyboardDuration;
    double keyboardTop = end ? end->minY() : bounds().height();
    auto board = boardView_;
    auto me = std::static_pointer_cast<UIView>(shared_from_this());
    UIView::animateWithDuration(duration, [board, me, keyboardTop] {
        auto frame = board->frame();
        frame.origin.y = keyboardTop - frame.height();
        board->setFrame(frame);
        board->setAlpha(1);
        me->setBackgroundColor(UIColor::fromWhite(0, 0.5));
    });
}

void EVCommentAdd::alertViewClickedButton(UIAlertView*, long)
{
    refusing_ = false;
    if (superview())
        txtContent_->becomeFirstResponder();
}

void EVCommentAdd::keyboardWillHide(const platform::Notification& notification)
{
    if (!superview() || refusing_)
        return;
    double duration = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey).doubleValue();
    if (!(duration > 0))
        duration = kKeyboardDuration;
    auto board = boardView_;
    std::weak_ptr<UIView> weakMe = std::static_pointer_cast<UIView>(shared_from_this());
    double bottom = bounds().height();
    UIView::animateWithDuration(
        duration,
        [board, weakMe, bottom] {
            auto frame = board->frame();
            frame.origin.y = bottom - frame.height();
            board->setFrame(frame);
            board->setAlpha(0);
            if (auto me = weakMe.lock())
                me->setBackgroundColor(UIColor::clearColor());
        },
        [weakMe](bool) {
            if (auto me = weakMe.lock())
                me->removeFromSuperview();
        });
}

} // namespace content
