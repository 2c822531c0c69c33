#include "teaching/send/AssigningHomeworkViewController.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "platform/os/Log.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIToolbar.h"
#include "platform/uikit/UIWindow.h"
#include "ui/images/PhotoSourceSheet.h"
#include "teaching/TeachingReplies.h"
#include "ui/ORBHelper.h"
#include "ui/photobrowser/BrowserPhoto.h"

#include <algorithm>
#include <cmath>

using core::ORBRequestType;

namespace {

constexpr double kToolbarHeight = 44;

std::shared_ptr<UIViewController> presentingRoot()
{
    auto window = UIWindow::keyWindow();
    return window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
}

template <class T> bool isListed(const std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& entry)
{
    return entry && std::find(list.begin(), list.end(), entry) != list.end();
}

// Where a photo comes from on this screen.
const PhotoSourceSheet& photoSheet()
{
    static const PhotoSourceSheet sheet(UIImagePickerControllerSourceTypeSavedPhotosAlbum);
    return sheet;
}

} // namespace

AssigningHomeworkViewController::AssigningHomeworkViewController()
    : AssigningHomeworkViewController(platform::Date::now)
{
}

AssigningHomeworkViewController::AssigningHomeworkViewController(teaching::DateSource now)
    : BaseViewController(std::string(kClassName))
    , now_(now ? std::move(now) : teaching::DateSource(platform::Date::now))
    , homeWorkInfo_(std::make_shared<core::HomeWorkInfo>())
    , subjectInfo_(std::make_shared<core::SubjectInfo>())
    , classInfo_(std::make_shared<core::ClassInfo>())
{
}

void AssigningHomeworkViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("edKeCheng", edKeCheng_);
    bindings.outlet("edClass", edClass_);
    bindings.outlet("edFinishDate", edFinishDate_);
    bindings.outlet("tvContent", tvContent_);
    bindings.outlet("holdLbl", holdLbl_);
    bindings.outlet("fileContainer", fileContainer_);
    bindings.outlet("baseContainer", baseContainer_);
    bindings.outlet("contentView", contentView_);
    bindings.outlet("bottomView", bottomView_);
    bindings.action("btnSendAction:", &AssigningHomeworkViewController::btnSendAction);
    bindings.action("openEdKeChengAction:", &AssigningHomeworkViewController::openEdKeChengAction);
    bindings.action("openEdClassAction:", &AssigningHomeworkViewController::openEdClassAction);
    bindings.action("openDateTimeAction:", &AssigningHomeworkViewController::openDateTimeAction);
    bindings.action("btnOpenCameraAction:", &AssigningHomeworkViewController::btnOpenCameraAction);
    bindings.optionalAction("btnOpenDatePicker:", &AssigningHomeworkViewController::btnOpenDatePicker);
    bindings.optionalAction("btnGoBackAction:", &AssigningHomeworkViewController::btnGoBackAction);
    bindings.action("btnCancelAction:", &AssigningHomeworkViewController::btnCancelAction);
}

void AssigningHomeworkViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<AssigningHomeworkViewController>();
    setTitle(kTitle);
    viewRect_ = view()->frame();

    doneToobar_ = std::make_shared<UIToolbar>(platform::Rect(0, 0, viewRect_.width(), kToolbarHeight));
    doneToobar_->setBarStyle(UIBarStyleBlackTranslucent);
    auto done = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone);
    done->setTarget(me, &AssigningHomeworkViewController::selectedReceiver, "selectedReceiver:");
    doneToobar_->setItems({ UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace), done });

    const platform::Rect pickerFrame(0, viewRect_.height() - kPickerHeight, viewRect_.width(), kPickerHeight);
    subjectPicker_ = std::make_shared<UIPickerView>(pickerFrame);
    classPicker_ = std::make_shared<UIPickerView>(pickerFrame);
    for (const auto& [picker, field] : { std::pair { subjectPicker_, edKeCheng_ }, std::pair { classPicker_, edClass_ } }) {
        picker->setDataSource(std::weak_ptr<UIPickerViewDataSource>(me));
        picker->setDelegate(std::weak_ptr<UIPickerViewDelegate>(me));
        picker->setShowsSelectionIndicator(true);
        field->setInputView(picker);
        field->setInputAccessoryView(doneToobar_);
        field->setDelegate(std::weak_ptr<UITextFieldDelegate>(me));
    }
    datePicker_ = std::make_shared<UIDatePicker>(pickerFrame);
    datePicker_->setDatePickerMode(UIDatePickerModeDate);
    datePicker_->setDate(now_());
    edFinishDate_->setInputView(datePicker_);
    edFinishDate_->setInputAccessoryView(doneToobar_);
    edFinishDate_->setDelegate(std::weak_ptr<UITextFieldDelegate>(me));
    edFinishDate_->setText(teaching::dayText(datePicker_->date()));

    tvContent_->setDelegate(std::weak_ptr<UITextViewDelegate>(me));
    tvContent_->setInputAccessoryView(doneToobar_);

    observe(UIKeyboardWillShowNotification, &AssigningHomeworkViewController::keyboardWillShow);
    observe(UIKeyboardWillHideNotification, &AssigningHomeworkViewController::keyboardWillHide);

    requestLists();

    // The form ends at the foot of the screen on either screen: the bar with
    // 取消 and 发布 stands there, the content keeps its margin above it, the
    // text takes what the content has less and the photo row stays at the
    // content's foot, above the bar.
    keepAtVisibleBottom(baseContainer_);
    keepAboveVisibleBottom(bottomView_);
    for (const std::shared_ptr<UIView>& stretched : { contentView_, std::static_pointer_cast<UIView>(tvContent_) })
        stretched->setAutoresizingMask(stretched->autoresizingMask() | UIViewAutoresizingFlexibleHeight);
    if (auto photoRow = fileContainer_->superview(); photoRow && photoRow != contentView_)
        photoRow->setAutoresizingMask((photoRow->autoresizingMask() & ~UIViewAutoresizingFlexibleBottomMargin) | UIViewAutoresizingFlexibleTopMargin);

    for (const auto& field : { edKeCheng_, edClass_, edFinishDate_ })
        teaching::applyFieldLook(*field, kFieldPadding);
    teaching::applyBoxLook(*tvContent_);

    messageSendPhotoDidRemove = weakCallback<AssigningHomeworkViewController>(
        [](AssigningHomeworkViewController& screen, MessageSendPhoto& tile) { screen.removePhoto(tile); });
    messageSendPhotoDidShow = weakCallback<AssigningHomeworkViewController>(
        [](AssigningHomeworkViewController& screen, MessageSendPhoto& tile) { screen.showPhoto(tile); });
    messageSendPhotoDidUpload = weakCallback<AssigningHomeworkViewController>(
        [](AssigningHomeworkViewController& screen, MessageSendPhoto&) { screen.uploadDidReport(); });
    fileContainer_->setClipsToBounds(true);
    refreshFileContainer();
    showPlaceholder();
}

void AssigningHomeworkViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, animated);
}

// ---- Lists ---------------------------------------------------------------------------------

void AssigningHomeworkViewController::requestLists()
{
    auto& helper = core::ORBNetworkHelper::sharedORBNetworkHelper();
    helper.getNetworkRequestWithType(static_cast<int>(ORBRequestType::ClassList), platform::Value(),
        weakCallback<AssigningHomeworkViewController>([](AssigningHomeworkViewController& screen) {
            screen.edClass_->setText(kLoadingClasses);
            screen.edClass_->setEnabled(false);
        }),
        weakCallback<AssigningHomeworkViewController>(&AssigningHomeworkViewController::classListArrived),
        weakCallback<AssigningHomeworkViewController>([](AssigningHomeworkViewController& screen, const std::string& message) {
            screen.listFailed(*screen.edClass_, kClassesFailed, message);
        }));
    helper.postNetworkRequestWithType(static_cast<int>(ORBRequestType::Subjects), platform::Value(),
        weakCallback<AssigningHomeworkViewController>([](AssigningHomeworkViewController& screen) {
            screen.edKeCheng_->setText(kLoadingSubjects);
            screen.edKeCheng_->setEnabled(false);
        }),
        weakCallback<AssigningHomeworkViewController>(&AssigningHomeworkViewController::subjectListArrived),
        weakCallback<AssigningHomeworkViewController>([](AssigningHomeworkViewController& screen, const std::string& message) {
            screen.listFailed(*screen.edKeCheng_, kSubjectsFailed, message);
        }));
}

void AssigningHomeworkViewController::classListArrived(const platform::Value& result)
{
    auto list = teaching::modelsIn<core::ClassInfo>(result);
    if (list.empty()) {
        edClass_->setText(kNoClasses);
        edClass_->setEnabled(false);
        return;
    }
    edClass_->setEnabled(true);
    edClass_->setText("");
    classList_ = std::move(list);
    classListName_.clear();
    for (const auto& entry : classList_)
        classListName_.push_back(entry->className);
    classPicker_->reloadAllComponents();
}

void AssigningHomeworkViewController::subjectListArrived(const platform::Value& result)
{
    auto list = teaching::modelsIn<core::SubjectInfo>(result);
    if (list.empty()) {
        edKeCheng_->setText(kNoSubjects);
        edKeCheng_->setEnabled(false);
        return;
    }
    edKeCheng_->setEnabled(true);
    edKeCheng_->setText("");
    subjectList_ = std::move(list);
    subjectListName_.clear();
    for (const auto& entry : subjectList_)
        subjectListName_.push_back(entry->subjectName);
    subjectPicker_->reloadAllComponents();
}

void AssigningHomeworkViewController::listFailed(UITextField& field, const char* text, const std::string& message)
{
    platform::log("AssigningHomeworkViewController: list failed: %s\n", message.c_str());
    field.setText(text);
    field.setEnabled(false);
}

// ---- Choosing ----------------------------------------------------------------------------

long AssigningHomeworkViewController::numberOfRowsInComponent(UIPickerView* picker, long)
{
    return long(picker == subjectPicker_.get() ? subjectListName_.size() : classListName_.size());
}

std::string AssigningHomeworkViewController::titleForRow(UIPickerView* picker, long row, long)
{
    const auto& names = picker == subjectPicker_.get() ? subjectListName_ : classListName_;
    return row >= 0 && std::size_t(row) < names.size() ? names[std::size_t(row)] : std::string();
}

void AssigningHomeworkViewController::didSelectRow(UIPickerView* picker, long row, long)
{
    if (picker == subjectPicker_.get())
        chooseSubject(row);
    else
        chooseClass(row);
}

void AssigningHomeworkViewController::chooseClass(long row)
{
    if (row < 0 || std::size_t(row) >= classList_.size())
        return;
    classInfo_ = classList_[std::size_t(row)];
    edClass_->setText(classInfo_->className);
}

void AssigningHomeworkViewController::chooseSubject(long row)
{
    if (row < 0 || std::size_t(row) >= subjectList_.size())
        return;
    subjectInfo_ = subjectList_[std::size_t(row)];
    edKeCheng_->setText(subjectInfo_->subjectName);
}

bool AssigningHomeworkViewController::textFieldShouldBeginEditing(UITextField* field)
{
    if (field == edClass_.get() && classList_.empty()) {
        ORBHelper::showProgressHud(kWaitForClasses, false, true);
        return false;
    }
    if (field == edKeCheng_.get() && subjectList_.empty()) {
        ORBHelper::showProgressHud(kWaitForSubjects, false, true);
        return false;
    }
    return true;
}

void AssigningHomeworkViewController::textFieldDidEndEditing(UITextField* field)
{
    if (field == edKeCheng_.get()) {
        chooseSubject(subjectPicker_->selectedRowInComponent(0));
    } else if (field == edClass_.get()) {
        chooseClass(classPicker_->selectedRowInComponent(0));
    } else if (field == edFinishDate_.get()) {
        // Days are compared, not moments: today may be picked all day long.
        const auto picked = datePicker_->date();
        if (teaching::isTodayOrLater(picked, now_()))
            edFinishDate_->setText(teaching::dayText(picked));
        else
            ORBHelper::showProgressHud(kDayRefused, false, true);
    }
    if (currentTextField_ == field)
        currentTextField_ = nullptr;
}

bool AssigningHomeworkViewController::textFieldShouldReturn(UITextField* field)
{
    if (field)
        field->resignFirstResponder();
    return true;
}

void AssigningHomeworkViewController::showPlaceholder() { holdLbl_->setHidden(!tvContent_->text().empty()); }

void AssigningHomeworkViewController::openEdKeChengAction(UIControl*) { edKeCheng_->becomeFirstResponder(); }
void AssigningHomeworkViewController::openEdClassAction(UIControl*) { edClass_->becomeFirstResponder(); }
void AssigningHomeworkViewController::openDateTimeAction(UIControl*) { edFinishDate_->becomeFirstResponder(); }

void AssigningHomeworkViewController::selectedReceiver()
{
    tvContent_->resignFirstResponder();
    if (currentTextField_)
        currentTextField_->resignFirstResponder();
}

void AssigningHomeworkViewController::btnGoBackAction(UIControl*) { popViewController(); }
void AssigningHomeworkViewController::btnCancelAction(UIControl*) { popViewController(); }

// ---- Keyboard ------------------------------------------------------------------------------

void AssigningHomeworkViewController::keyboardWillShow(const platform::Notification& notification)
{
    moveForKeyboard(notification, true);
}

void AssigningHomeworkViewController::keyboardWillHide(const platform::Notification& notification)
{
    moveForKeyboard(notification, false);
}

void AssigningHomeworkViewController::moveForKeyboard(const platform::Notification& notification, bool showing)
{
    // Only the text view lifts the content; whatever hides the keyboard puts
    // it back (the text view has ended editing by then).
    if (showing && !isEditTextView_)
        return;
    if (showing && !contentLifted_) {
        // Where the content rests on this screen, the foot of the screen found.
        contentViewRect_ = contentView_->frame();
        textViewRect_ = tvContent_->frame();
        contentLifted_ = true;
    } else if (!showing) {
        if (!contentLifted_)
            return;
        contentLifted_ = false;
    }
    auto lift = teaching::keyboardLift(notification, showing, contentViewRect_, textViewRect_, view()->bounds().height());
    UIView::animateWithDuration(lift.duration, weakCallback<AssigningHomeworkViewController>([lift](AssigningHomeworkViewController& screen) {
        screen.contentView_->setFrame(lift.content);
        screen.tvContent_->setFrame(lift.text);
    }));
}

// ---- Photo ---------------------------------------------------------------------------------

void AssigningHomeworkViewController::btnOpenCameraAction(UIControl*)
{
    if (photoCount_ >= kPhotoLimit) {
        ORBHelper::showProgressHud("最多只能添加" + std::to_string(kPhotoLimit) + "张图片", false, true);
        return;
    }
    photoSheet().show(std::weak_ptr<UIActionSheetDelegate>(self<AssigningHomeworkViewController>()));
}

void AssigningHomeworkViewController::actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex)
{
    if (auto source = photoSheet().sourceFor(sheet, buttonIndex))
        PhotoSourceSheet::presentPicker(presentingRoot().get(), *source, std::weak_ptr<UIImagePickerControllerDelegate>(self<AssigningHomeworkViewController>()));
}

void AssigningHomeworkViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    UIImagePickerController* picker, const platform::Dictionary& info)
{
    auto image = info.get(UIImagePickerControllerOriginalImage).objectAs<UIImage>();
    if (image && photoCount_ < kPhotoLimit) {
        auto tile = MessageSendPhoto::photoWithDelegate(
            std::weak_ptr<MessageSendPhotoDelegate>(self<AssigningHomeworkViewController>()));
        // A picture that cannot be stored is not attached: its upload would have no file.
        if (tile->setImage(image->CGImage())) {
            fileContainer_->addSubview(tile);
            refreshFileContainer();
        } else {
            platform::log("AssigningHomeworkViewController: the picked picture could not be stored\n");
        }
    }
    if (picker)
        picker->dismissViewControllerAnimated(true);
}

void AssigningHomeworkViewController::imagePickerControllerDidCancel(UIImagePickerController* picker)
{
    if (picker)
        picker->dismissViewControllerAnimated(true);
}

std::vector<std::shared_ptr<MessageSendPhoto>> AssigningHomeworkViewController::photoTiles() const
{
    std::vector<std::shared_ptr<MessageSendPhoto>> tiles;
    for (const auto& view : fileContainer_->subviews()) {
        if (auto photo = std::dynamic_pointer_cast<MessageSendPhoto>(view))
            tiles.push_back(std::move(photo));
    }
    return tiles;
}

void AssigningHomeworkViewController::refreshFileContainer()
{
    photos_.clear();
    photoCount_ = 0;
    double left = 0;
    for (const auto& photo : photoTiles()) {
        auto frame = photo->frame();
        frame.origin = platform::Point(left, 0);
        photo->setFrame(frame);
        left = frame.maxX();
        photo->setTag(photoCount_++);
        photos_.push_back(BrowserPhoto::photoWithImage(std::make_shared<UIImage>(photo->info()->image)));
    }
}

void AssigningHomeworkViewController::removePhoto(MessageSendPhoto& tile)
{
    removedTile_ = tile.sharedView();
    tile.removeFromSuperview();
    refreshFileContainer();
}

void AssigningHomeworkViewController::showPhoto(MessageSendPhoto& tile)
{
    auto root = presentingRoot();
    if (!root || photos_.empty())
        return;
    auto browser = PhotoBrowser::initWithDelegate(self<AssigningHomeworkViewController>());
    browser->setInitialPageIndex(unsigned(std::max(0, tile.tag())));
    root->presentViewController(std::make_shared<UINavigationController>(browser), true);
}

std::shared_ptr<BrowserPhotoProtocol> AssigningHomeworkViewController::photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index)
{
    return index < photos_.size() ? photos_[index] : nullptr;
}

// ---- Sending ----------------------------------------------------------------------------

void AssigningHomeworkViewController::btnSendAction(UIControl*)
{
    if (isLoading_ || isClosing_)
        return;
    const std::string subject = edKeCheng_->text();
    const std::string className = edClass_->text();
    const std::string content = tvContent_->text();
    const std::string day = edFinishDate_->text();
    const auto tiles = photoTiles();
    // A status text in a field ("获取课程信息失败") is no choice: the subject
    // and the class must be ones of their lists.
    if (subject.empty() || !isListed(subjectList_, subjectInfo_)) {
        ORBHelper::showProgressHud(kNeedSubject, false, true);
        return;
    }
    if (className.empty() || !isListed(classList_, classInfo_)) {
        ORBHelper::showProgressHud(kNeedClass, false, true);
        return;
    }
    if (content.empty() && tiles.empty()) {
        ORBHelper::showProgressHud(kNeedContent, false, true);
        return;
    }
    if (day.empty()) {
        ORBHelper::showProgressHud(kNeedDay, false, true);
        return;
    }
    selectedReceiver();
    homeWorkInfo_->subjectId = subjectInfo_->subjectId;
    homeWorkInfo_->classId = classInfo_->classId;
    homeWorkInfo_->subject = subject;
    homeWorkInfo_->className = className;
    homeWorkInfo_->content = content;
    homeWorkInfo_->dateTime = day;
    isLoading_ = true;
    if (tiles.empty()) {
        ORBHelper::showProgressHud(kSubmitting, true, false);
        requestStep();
        return;
    }
    uploadHud_ = ProgressHudHold(ORBHelper::showProgressHud(kUploading, true, false));
    successCount_ = 0;
    // A photo that kept its addresses from an earlier try reports at once:
    // only what failed goes up again.
    for (const auto& photo : tiles)
        photo->upload(kHomeworkPhotoType);
}

void AssigningHomeworkViewController::uploadDidReport()
{
    if (!isLoading_)
        return;
    ++successCount_;
    if (successCount_ >= int(photoTiles().size()))
        requestStep();
}

void AssigningHomeworkViewController::requestStep()
{
    platform::Array files;
    int failed = 0;
    for (const auto& photo : photoTiles()) {
        files.emplace_back(std::static_pointer_cast<platform::Object>(photo->info()));
        failed += photo->info()->url.empty() ? 1 : 0;
    }
    if (failed > 0) {
        isLoading_ = false;
        ORBHelper::hideProgressHud();
        char message[64];
        std::snprintf(message, sizeof message, kUploadFailedFormat, failed);
        auto alert = std::make_shared<UIAlertView>(kUploadAlertTitle, message,
            std::weak_ptr<UIAlertViewDelegate>(self<AssigningHomeworkViewController>()), std::string(kUploadCancel),
            std::vector<std::string> { kUploadAgain });
        alert->show();
        return;
    }
    sendHomework(std::move(files));
}

void AssigningHomeworkViewController::alertViewClickedButton(UIAlertView*, long buttonIndex)
{
    // "重新提交" sends again: the photos already uploaded keep their
    // addresses, so only the failed ones go up once more.
    if (buttonIndex == 1)
        btnSendAction(nullptr);
}

void AssigningHomeworkViewController::sendHomework(platform::Array files)
{
    platform::Dictionary params;
    params.set("homework", platform::Value(std::static_pointer_cast<platform::Object>(homeWorkInfo_)));
    params.set("files", platform::Value(std::move(files)));
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        static_cast<int>(ORBRequestType::Homework), platform::Value(std::move(params)),
        [] { ORBHelper::showProgressHud(kStartedText, true, false); },
        // The outcome replaces the spinner on the window even when the person has left.
        weakCallbackAfter<AssigningHomeworkViewController>(
            [](const platform::Value& result) { ORBHelper::showProgressHud(result.stringValue(), false, true); },
            &AssigningHomeworkViewController::sendSucceeded),
        weakCallbackAfter<AssigningHomeworkViewController>(
            [](const std::string& message) { ORBHelper::showProgressHud(message, false, true); },
            &AssigningHomeworkViewController::sendFailed));
}

void AssigningHomeworkViewController::sendSucceeded(const platform::Value&)
{
    isLoading_ = false;
    isClosing_ = true;
    runAfter(kCloseDelay, &AssigningHomeworkViewController::closeAfterSend);
}

void AssigningHomeworkViewController::sendFailed(const std::string&) { isLoading_ = false; }

void AssigningHomeworkViewController::closeAfterSend()
{
    platform::NotificationCenter::defaultCenter().post(kSentNotification, platform::Value(shared_from_this()));
    popViewController();
}
