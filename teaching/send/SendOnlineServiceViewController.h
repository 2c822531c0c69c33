#pragma once

#include "app/base/BaseViewController.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UITextView.h"

#include <memory>
#include <string>

class UIButton;
class UILabel;

// "发送留言": a message to the school's online service, with whether a reply
// is wanted (yes unless switched off), delivered by one query. The page
// that opened the screen hears "kSendOnlineServiceSuccessed" as soon as the
// server accepts; the screen closes 1.5 s later. The keyboard opens by
// itself half a second after the screen loads.
class SendOnlineServiceViewController final : public BaseViewController, public UITextViewDelegate {
public:
    ORB_CLASS_NAME(SendOnlineServiceViewController)

    static constexpr const char* kTitle = "发送留言";
    static constexpr const char* kAlertTitle = "警告";
    static constexpr const char* kEmptyText = "评论内容不能为空";
    static constexpr const char* kAlertButton = "确定";
    static constexpr const char* kSendingText = "正在发送消息...";
    static constexpr const char* kSentNotification = "kSendOnlineServiceSuccessed";
    static constexpr double kCloseDelay = 1.5;
    static constexpr double kKeyboardDelay = 0.5;

    SendOnlineServiceViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    // ---- Layout actions -----------------------------------------------------------------
    void sendAction(UIControl* sender);
    void isNeedReplyAction(UIControl* sender);
    void cancleAction(UIControl* sender);

    void textViewDidChange(UITextView*) override { showPlaceholder(); }

    bool isLoading() const { return isLoading_; }

private:
    void openKeyboard();
    void showPlaceholder();
    void keyboardWillShow(const platform::Notification& notification);
    void keyboardWillHide(const platform::Notification& notification);
    void moveForKeyboard(const platform::Notification& notification, bool showing);
    void sendSucceeded(const platform::Value& result);
    void sendFailed(const std::string& message);
    void close();

    // A message is out: the send button waits for its answer, and after an
    // accepted one the screen only closes.
    bool isLoading_ = false;
    bool isClosing_ = false;
    // The text's and the buttons' frames at rest, taken as the keyboard comes up.
    platform::Rect textViewFrame_;
    platform::Rect replyViewFrame_;
    bool lifted_ = false;

    std::shared_ptr<UITextView> textView_;
    std::shared_ptr<UILabel> holdTextLbl_;
    std::shared_ptr<UIButton> isNeedReplyBtn_;
    std::shared_ptr<UIView> needReplyView_;
    std::shared_ptr<UIView> contentView_;
};
