#pragma once

#include "ui/images/PhotoSourceSheet.h"
#include "app/base/BaseViewController.h"
#include "core/model/ClassInfo.h"
#include "core/model/HomeWorkInfo.h"
#include "core/model/SubjectInfo.h"
#include "messaging/send/MessageSendPhoto.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "teaching/send/SendFormLook.h"
#include "ui/ORBHelper.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <memory>
#include <string>
#include <vector>

class UIDatePicker;
class UILabel;
class UIToolbar;

// "新建作业": a teacher assigns homework — a subject, a class, a completion
// day, a text and at most one photo. The photo is uploaded first (into the
// homework folder); when it has reported, one command carries the homework
// and the photo's addresses. After the server's answer the screen shows it
// and, 1.5 s later, posts "kAssigningHomeworkSuccess" with itself as the
// object and closes.
class AssigningHomeworkViewController final : public BaseViewController,
                                              public UIPickerViewDataSource,
                                              public UIPickerViewDelegate,
                                              public UITextFieldDelegate,
                                              public UITextViewDelegate,
                                              public UIActionSheetDelegate,
                                              public UIAlertViewDelegate,
                                              public UIImagePickerControllerDelegate,
                                              public MessageSendPhotoDelegate,
                                              public PhotoBrowserDelegate {
public:
    ORB_CLASS_NAME(AssigningHomeworkViewController)

    static constexpr const char* kTitle = "新建作业";
    static constexpr const char* kLoadingClasses = "正在获取班级信息...";
    static constexpr const char* kNoClasses = "当前没有班级信息";
    static constexpr const char* kClassesFailed = "获取班级信息失败";
    static constexpr const char* kLoadingSubjects = "正在获取课程列表...";
    static constexpr const char* kNoSubjects = "没有找到课程信息";
    static constexpr const char* kSubjectsFailed = "获取课程信息失败";
    static constexpr const char* kWaitForClasses = "正在加载班级列表，请稍等";
    static constexpr const char* kWaitForSubjects = "正在加载课程列表，请稍等";
    static constexpr const char* kDayRefused = "结束时间不能晚与当前时间";
    static constexpr const char* kNeedSubject = "请选择课程";
    static constexpr const char* kNeedClass = "请选择班级";
    static constexpr const char* kNeedContent = "请输入作业内容";
    static constexpr const char* kNeedDay = "请选择完成时间";
    static constexpr const char* kSubmitting = "提交请求中";
    static constexpr const char* kUploading = "提交作业中";
    static constexpr const char* kStartedText = "作业提交中...";
    static constexpr const char* kUploadAlertTitle = "提示";
    static constexpr const char* kUploadFailedFormat = "%i个附件上传失败";
    static constexpr const char* kUploadCancel = "取消";
    static constexpr const char* kUploadAgain = "重新提交";
    static constexpr const char* kFromAlbum = PhotoSourceSheet::kAlbum;
    static constexpr const char* kSentNotification = "kAssigningHomeworkSuccess";
    static constexpr int kPhotoLimit = 1;
    // Homework photos go to the homework folder of the upload service.
    static constexpr int kHomeworkPhotoType = 3;
    static constexpr double kCloseDelay = 1.5;
    static constexpr double kPickerHeight = 216;
    static constexpr double kFieldPadding = 10;

    AssigningHomeworkViewController();
    // `now` stands for the device clock (tests hand in their own).
    explicit AssigningHomeworkViewController(teaching::DateSource now);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Layout actions -----------------------------------------------------------------
    void btnSendAction(UIControl* sender);
    void openEdKeChengAction(UIControl* sender);
    void openEdClassAction(UIControl* sender);
    void openDateTimeAction(UIControl* sender);
    void btnOpenCameraAction(UIControl* sender);
    void selectedReceiver();
    void cancelReceiver() { }
    void btnOpenDatePicker(UIControl*) { }
    void btnGoBackAction(UIControl* sender);
    void btnCancelAction(UIControl* sender);

    // ---- Pickers, fields and text ------------------------------------------------------
    long numberOfComponentsInPickerView(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView* picker, long component) override;
    std::string titleForRow(UIPickerView* picker, long row, long component) override;
    void didSelectRow(UIPickerView* picker, long row, long component) override;
    bool textFieldShouldBeginEditing(UITextField* field) override;
    void textFieldDidBeginEditing(UITextField* field) override { currentTextField_ = field; }
    void textFieldDidEndEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;
    void textViewDidBeginEditing(UITextView*) override { isEditTextView_ = true; }
    void textViewDidEndEditing(UITextView*) override { isEditTextView_ = false; }
    void textViewDidChange(UITextView*) override { showPlaceholder(); }

    // ---- Photo ------------------------------------------------------------------------------
    void actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex) override;
    void alertViewClickedButton(UIAlertView* alert, long buttonIndex) override;
    void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController* picker, const platform::Dictionary& info) override;
    void imagePickerControllerDidCancel(UIImagePickerController* picker) override;
    unsigned numberOfPhotosInPhotoBrowser(PhotoBrowser*) override { return unsigned(photos_.size()); }
    std::shared_ptr<BrowserPhotoProtocol> photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index) override;

    const std::shared_ptr<core::HomeWorkInfo>& homeWorkInfo() const { return homeWorkInfo_; }
    const std::shared_ptr<UIDatePicker>& datePicker() const { return datePicker_; }
    int photoCount() const { return photoCount_; }
    bool isLoading() const { return isLoading_; }

private:
    void requestLists();
    void classListArrived(const platform::Value& result);
    void subjectListArrived(const platform::Value& result);
    void listFailed(UITextField& field, const char* text, const std::string& message);
    void chooseClass(long row);
    void chooseSubject(long row);
    void showPlaceholder();
    void refreshFileContainer();
    void removePhoto(MessageSendPhoto& tile);
    void showPhoto(MessageSendPhoto& tile);
    void uploadDidReport();
    void requestStep();
    void sendHomework(platform::Array files);
    void sendSucceeded(const platform::Value& result);
    void sendFailed(const std::string& message);
    void closeAfterSend();
    void keyboardWillShow(const platform::Notification& notification);
    void keyboardWillHide(const platform::Notification& notification);
    void moveForKeyboard(const platform::Notification& notification, bool showing);
    std::vector<std::shared_ptr<MessageSendPhoto>> photoTiles() const;

    teaching::DateSource now_;
    std::shared_ptr<core::HomeWorkInfo> homeWorkInfo_;
    std::shared_ptr<core::SubjectInfo> subjectInfo_;
    std::shared_ptr<core::ClassInfo> classInfo_;
    std::vector<std::shared_ptr<core::SubjectInfo>> subjectList_;
    std::vector<std::string> subjectListName_;
    std::vector<std::shared_ptr<core::ClassInfo>> classList_;
    std::vector<std::string> classListName_;
    std::vector<std::shared_ptr<BrowserPhotoProtocol>> photos_;
    int photoCount_ = 0;
    int successCount_ = 0;
    // From the send until its answer (uploads included): one at a time.
    bool isLoading_ = false;
    // The photos' uploads end unheard with the screen: their overlay goes too.
    ProgressHudHold uploadHud_;
    bool isClosing_ = false;
    UITextField* currentTextField_ = nullptr;
    bool isEditTextView_ = false;
    platform::Rect viewRect_;
    // The content's and the text's frames at rest, taken as the text lifts them for the keyboard.
    platform::Rect contentViewRect_;
    platform::Rect textViewRect_;
    bool contentLifted_ = false;
    // A tile that asked to go stays alive until its own call has returned.
    std::shared_ptr<UIView> removedTile_;

    std::shared_ptr<UIPickerView> subjectPicker_;
    std::shared_ptr<UIPickerView> classPicker_;
    std::shared_ptr<UIDatePicker> datePicker_;
    std::shared_ptr<UIToolbar> doneToobar_;
    std::shared_ptr<UITextField> edKeCheng_;
    std::shared_ptr<UITextField> edClass_;
    std::shared_ptr<UITextField> edFinishDate_;
    std::shared_ptr<UITextView> tvContent_;
    std::shared_ptr<UILabel> holdLbl_;
    std::shared_ptr<UIView> fileContainer_;
    std::shared_ptr<UIView> baseContainer_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> bottomView_;
};
