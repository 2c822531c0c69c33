#pragma once

#include "app/base/BaseViewController.h"
#include "circle/feed/CircleTargets.h"
#include "platform/uikit/UITextView.h"

#include <memory>

class UIButton;
class UIControl;
class UILabel;

namespace circle {

// "发评论": a comment of at most 140 length units on one post. Once sent
// the post's id and the text are announced and the screen closes. One send
// at a time: a second tap while the first is out sends nothing.
class WeiboCommentViewController final : public BaseViewController,
                                         public WeiboIdTarget,
                                         public UITextViewDelegate {
public:
    ORB_CLASS_NAME(WeiboCommentViewController)

    static constexpr int kCommentRequest = 28;
    static constexpr int kMaxLength = 140;
    static constexpr double kCloseDelay = 1.5;
    static constexpr double kKeyboardDelay = 0.5;
    static constexpr double kKeyboardAnimation = 0.2;

    WeiboCommentViewController();

    void setWeiboId(long long weiboId) override { weiboId_ = weiboId; }
    long long weiboId() const { return weiboId_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void sendAction(UIControl* sender);
    void cancelAction(UIControl* sender);
    void textViewDidChange(UITextView* textView) override;


private:
    void showKeyboard();
    void close() { cancelAction(nullptr); }
    void keyboardWillShow(const platform::Notification& notification);
    void keyboardWillHide(const platform::Notification& notification);
    // The text view ends `covered` points higher (the count with it) and
    // keeps the caret in sight.
    void fitAboveKeyboard(double covered);
    int remaining() const;

    long long weiboId_ = 0;
    bool isSending_ = false;
    std::shared_ptr<UITextView> textView_;
    std::shared_ptr<UILabel> holdTextLbl_;
    std::shared_ptr<UIView> fontCountView_;
    std::shared_ptr<UILabel> labRemainNum_;
    std::shared_ptr<UIButton> btnSend_;
    std::shared_ptr<UIButton> btnCancel_;
    // The text's and the count's frames at rest, taken as the keyboard comes up.
    platform::Rect textViewRect_;
    platform::Rect fontCountViewRect_;
    bool keyboardUp_ = false;
};

} // namespace circle
