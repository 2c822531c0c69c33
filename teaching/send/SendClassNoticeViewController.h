#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/ClassInfo.h"
#include "core/model/NoticeInfo.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "teaching/send/SendFormLook.h"

#include <memory>
#include <string>
#include <vector>

class UIDatePicker;
class UILabel;
class UIToolbar;

// "发布公告": a teacher's class notice (title, content, the receiving class
// and its first and last day) sent in one query. The day row stays hidden,
// so both days are today. On success the class circle hears of it at once
// ("kSendWeiboSuccess"); the page that opened the screen as it closes, 1.5 s
// later ("kSendClassNoticeSuccessed"). While the keys are up the bottom bar
// (取消, 发布) stands on them (a wheel's own bar leaves it in its place), and
// a tap outside the fields puts them away.
class SendClassNoticeViewController final : public BaseViewController,
                                            public UIPickerViewDataSource,
                                            public UIPickerViewDelegate,
                                            public UITextFieldDelegate,
                                            public UITextViewDelegate {
public:
    ORB_CLASS_NAME(SendClassNoticeViewController)

    static constexpr const char* kTitle = "发布公告";
    static constexpr const char* kLoadingClasses = "正在加载班级信息";
    static constexpr const char* kNoClasses = "找不到班级信息";
    static constexpr const char* kClassesFailed = "加载班级信息出错";
    static constexpr const char* kWaitForClasses = "正在加载班级列表，请稍等";
    static constexpr const char* kNeedTitle = "请输入标题";
    static constexpr const char* kAlertTitle = "警告";
    static constexpr const char* kStartAfterEnd = "开始日期不能大于结束日期";
    static constexpr const char* kEndBeforeToday = "结束日期不能小于今天";
    static constexpr const char* kAlertButton = "ok";
    static constexpr const char* kNeedReceiver = "请选择接受对象";
    static constexpr const char* kNeedContent = "请输入公告内容";
    static constexpr const char* kSendingText = "正在发送";
    static constexpr const char* kStartedText = "正在发送班级公告...";
    static constexpr const char* kSentText = "班级公告发送成功";
    static constexpr const char* kSendWeiboSuccess = "kSendWeiboSuccess";
    static constexpr const char* kSentNotification = "kSendClassNoticeSuccessed";
    static constexpr double kCloseDelay = 1.5;
    static constexpr double kPickerHeight = 216;
    static constexpr double kFieldPadding = 8;

    SendClassNoticeViewController();
    // `now` stands for the device clock (tests hand in their own).
    explicit SendClassNoticeViewController(teaching::DateSource now);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Layout actions -----------------------------------------------------------------
    void btnSendAction(UIControl* sender);
    void btnChooseBeginTimeAction(UIControl* sender);
    void btnChooseDeadTimeAction(UIControl* sender);
    void btnChooseReceiverAction(UIControl* sender);
    void cancelReceiver();
    void selectedReceiver();
    void btnGoBackAction(UIControl* sender);
    void btnCancelAction(UIControl* sender);

    // ---- Picker, fields and text -------------------------------------------------------
    long numberOfComponentsInPickerView(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override { return long(classListName_.size()); }
    std::string titleForRow(UIPickerView*, long row, long component) override;
    void didSelectRow(UIPickerView*, long row, long component) override;
    bool textFieldShouldBeginEditing(UITextField* field) override;
    void textFieldDidBeginEditing(UITextField* field) override;
    void textFieldDidEndEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;
    bool textViewShouldBeginEditing(UITextView*) override;
    void textViewDidBeginEditing(UITextView*) override;
    void textViewDidEndEditing(UITextView*) override;
    void textViewDidChange(UITextView*) override { showPlaceholder(); }

    // What the send fills, for the page's tests and the dispatcher.
    const std::shared_ptr<core::NoticeInfo>& noticeInfo() const { return noticeInfo_; }
    const std::shared_ptr<UIDatePicker>& datePicker() const { return datePicker_; }
    bool isLoading() const { return isLoading_; }

private:
    void requestClassList();
    void classListArrived(const platform::Value& result);
    void classListFailed(const std::string& message);
    void keyboardWillShow(const platform::Notification& notification);
    void keyboardWillHide(const platform::Notification& notification);
    void moveForKeyboard(const platform::Notification& notification, bool showing);
    void liftContent(bool lifted, const platform::Rect& keyboard, double duration);
    void placeBottomBar(bool keyboardShown, const platform::Rect& keyboard, double duration);
    void takeRestingFrames();
    void showPlaceholder();
    void chooseRow(long row);
    void alert(const std::string& message);
    void sendSucceeded(const platform::Value& result);
    void sendFailed(const std::string& message);
    void closeAfterSend();

    teaching::DateSource now_;
    std::shared_ptr<core::NoticeInfo> noticeInfo_;
    std::vector<std::shared_ptr<core::ClassInfo>> classList_;
    std::vector<std::string> classListName_;
    std::shared_ptr<core::ClassInfo> classInfo_;
    UITextField* currentTextField_ = nullptr;
    bool isLoading_ = false;
    // Sent and accepted: the screen is on its way out and sends nothing more.
    bool isClosing_ = false;
    bool isEditTextView_ = false;
    platform::Rect viewRect_;
    // The content's, the text's and the bottom bar's places with the
    // keyboard down, taken as the keyboard first moves one of them.
    platform::Rect contentViewRect_;
    platform::Rect textViewRect_;
    platform::Rect bottomViewRect_;
    bool restingTaken_ = false;

    std::shared_ptr<UIPickerView> receiverPicker_;
    std::shared_ptr<UIDatePicker> datePicker_;
    std::shared_ptr<UIToolbar> doneToolbar_;
    std::shared_ptr<UITextField> edTitle_;
    std::shared_ptr<UITextField> edBeginTime_;
    std::shared_ptr<UITextField> edDeadTime_;
    std::shared_ptr<UITextField> edReceiver_;
    std::shared_ptr<UITextView> tvContent_;
    std::shared_ptr<UILabel> holdTextLbl_;
    std::shared_ptr<UIView> dateView_;
    std::shared_ptr<UIView> classView_;
    std::shared_ptr<UIView> baseContainer_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> bottomView_;
};
