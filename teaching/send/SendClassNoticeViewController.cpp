#include "teaching/send/SendClassNoticeViewController.h"

#include "app/base/TapOutsideFields.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "platform/os/Log.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIToolbar.h"
#include "teaching/TeachingReplies.h"
#include "ui/ORBHelper.h"

#include <algorithm>
#include <cmath>

using core::ORBRequestType;

namespace {

constexpr double kToolbarHeight = 44;

} // namespace

SendClassNoticeViewController::SendClassNoticeViewController()
    : SendClassNoticeViewController(platform::Date::now)
{
}

SendClassNoticeViewController::SendClassNoticeViewController(teaching::DateSource now)
    : BaseViewController(std::string(kClassName))
    , now_(now ? std::move(now) : teaching::DateSource(platform::Date::now))
{
    // A stand-in entry until the list arrives: never shown, never sent.
    auto placeholder = std::make_shared<core::ClassInfo>();
    placeholder->classId = -1;
    classList_.push_back(std::move(placeholder));
}

void SendClassNoticeViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("edTitle", edTitle_);
    bindings.outlet("edBeginTime", edBeginTime_);
    bindings.outlet("edDeadTime", edDeadTime_);
    bindings.outlet("edReceiver", edReceiver_);
    bindings.outlet("tvContent", tvContent_);
    bindings.outlet("holdTextLbl", holdTextLbl_);
    bindings.outlet("dateView", dateView_);
    bindings.outlet("classView", classView_);
    bindings.outlet("baseContainer", baseContainer_);
    bindings.outlet("contentView", contentView_);
    bindings.outlet("bottomView", bottomView_);
    bindings.action("btnSendAction:", &SendClassNoticeViewController::btnSendAction);
    bindings.optionalAction("btnChooseBeginTimeAction:", &SendClassNoticeViewController::btnChooseBeginTimeAction);
    bindings.optionalAction("btnChooseDeadTimeAction:", &SendClassNoticeViewController::btnChooseDeadTimeAction);
    bindings.action("btnChooseReceiverAction:", &SendClassNoticeViewController::btnChooseReceiverAction);
    bindings.optionalAction("btnGoBackAction:", &SendClassNoticeViewController::btnGoBackAction);
    bindings.action("btnCancelAction:", &SendClassNoticeViewController::btnCancelAction);
}

void SendClassNoticeViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<SendClassNoticeViewController>();
    setTitle(kTitle);
    viewRect_ = view()->frame();
    noticeInfo_ = std::make_shared<core::NoticeInfo>();

    doneToolbar_ = std::make_shared<UIToolbar>(platform::Rect(0, 0, viewRect_.width(), kToolbarHeight));
    doneToolbar_->setBarStyle(UIBarStyleBlackTranslucent);
    auto cancel = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemCancel);
    cancel->setTarget(me, &SendClassNoticeViewController::cancelReceiver, "cancelReceiver:");
    auto done = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone);
    done->setTarget(me, &SendClassNoticeViewController::selectedReceiver, "selectedReceiver:");
    doneToolbar_->setItems(
        { cancel, UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace), done });

    const platform::Rect pickerFrame(0, viewRect_.height() - kPickerHeight, viewRect_.width(), kPickerHeight);
    receiverPicker_ = std::make_shared<UIPickerView>(pickerFrame);
    receiverPicker_->setDataSource(std::weak_ptr<UIPickerViewDataSource>(me));
    receiverPicker_->setDelegate(std::weak_ptr<UIPickerViewDelegate>(me));
    receiverPicker_->setShowsSelectionIndicator(true);
    edReceiver_->setInputView(receiverPicker_);
    edReceiver_->setInputAccessoryView(doneToolbar_);
    edReceiver_->setDelegate(std::weak_ptr<UITextFieldDelegate>(me));
    edTitle_->setDelegate(std::weak_ptr<UITextFieldDelegate>(me));

    datePicker_ = std::make_shared<UIDatePicker>(pickerFrame);
    datePicker_->setDatePickerMode(UIDatePickerModeDate);
    datePicker_->setDate(now_());
    const std::string today = teaching::dayText(now_());
    for (const auto& field : { edBeginTime_, edDeadTime_ }) {
        field->setDelegate(std::weak_ptr<UITextFieldDelegate>(me));
        field->setInputView(datePicker_);
        field->setInputAccessoryView(doneToolbar_);
        field->setText(today);
    }

    // The title and the text type on the keys alone: the form's own bar
    // rides on them (below), and a bar of 取消 and 完成 between it and the
    // keys would stack a second 取消 there and, on the 3.5-inch screen, cover
    // the text one would tap next. Return or a tap outside puts them away.
    tvContent_->setDelegate(std::weak_ptr<UITextViewDelegate>(me));

    requestClassList();

    // The form ends at the foot of the screen on either screen: the bar with
    // 取消 and 发布 stands there (the keyboard lifts it from there), the
    // content keeps its margin above it and the text takes what the content
    // has less.
    keepAtVisibleBottom(baseContainer_);
    bottomView_->setAutoresizingMask(
        (bottomView_->autoresizingMask() & ~(UIViewAutoresizingFlexibleHeight | UIViewAutoresizingFlexibleBottomMargin))
        | UIViewAutoresizingFlexibleTopMargin);
    for (const std::shared_ptr<UIView>& stretched : { contentView_, std::static_pointer_cast<UIView>(tvContent_) })
        stretched->setAutoresizingMask(stretched->autoresizingMask() | UIViewAutoresizingFlexibleHeight);

    observe(UIKeyboardWillShowNotification, &SendClassNoticeViewController::keyboardWillShow);
    observe(UIKeyboardWillHideNotification, &SendClassNoticeViewController::keyboardWillHide);

    for (const auto& field : { edTitle_, edBeginTime_, edDeadTime_, edReceiver_ })
        teaching::applyFieldLook(*field, kFieldPadding);
    teaching::applyBoxLook(*tvContent_);

    // The day row stays hidden: the class row takes its place and the
    // content area moves up by its height.
    dateView_->setAlpha(0);
    const auto dateFrame = dateView_->frame();
    auto classFrame = classView_->frame();
    classFrame.origin.y = dateFrame.origin.y;
    classView_->setFrame(classFrame);
    auto content = contentView_->frame();
    content.origin.y -= dateFrame.height();
    contentView_->setFrame(content);
    showPlaceholder();

    endEditingOnTapOutside(view());
}

void SendClassNoticeViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, animated);
}

// ---- Class list -------------------------------------------------------------------------

void SendClassNoticeViewController::requestClassList()
{
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        static_cast<int>(ORBRequestType::ClassList), platform::Value(),
        weakCallback<SendClassNoticeViewController>([](SendClassNoticeViewController& screen) {
            screen.edReceiver_->setText(kLoadingClasses);
            screen.edReceiver_->setEnabled(false);
        }),
        weakCallback<SendClassNoticeViewController>(&SendClassNoticeViewController::classListArrived),
        weakCallback<SendClassNoticeViewController>(&SendClassNoticeViewController::classListFailed));
}

void SendClassNoticeViewController::classListArrived(const platform::Value& result)
{
    classList_ = teaching::modelsIn<core::ClassInfo>(result);
    classListName_.clear();
    for (const auto& entry : classList_)
        classListName_.push_back(entry->className);
    receiverPicker_->reloadAllComponents();
    if (classList_.empty()) {
        edReceiver_->setText(kNoClasses);
        edReceiver_->setEnabled(false);
        return;
    }
    classInfo_ = classList_.front();
    edReceiver_->setText(classInfo_->className);
    edReceiver_->setEnabled(true);
}

void SendClassNoticeViewController::classListFailed(const std::string& message)
{
    platform::log("SendClassNoticeViewController: class list failed: %s\n", message.c_str());
    edReceiver_->setText(kClassesFailed);
    edReceiver_->setEnabled(false);
}

// ---- Choosing ----------------------------------------------------------------------------

std::string SendClassNoticeViewController::titleForRow(UIPickerView*, long row, long)
{
    return row >= 0 && std::size_t(row) < classListName_.size() ? classListName_[std::size_t(row)] : std::string();
}

void SendClassNoticeViewController::didSelectRow(UIPickerView*, long row, long) { chooseRow(row); }

void SendClassNoticeViewController::chooseRow(long row)
{
    // The placeholder entry has no name and is never chosen.
    if (row < 0 || std::size_t(row) >= classListName_.size() || std::size_t(row) >= classList_.size())
        return;
    classInfo_ = classList_[std::size_t(row)];
    edReceiver_->setText(classInfo_->className);
}

bool SendClassNoticeViewController::textFieldShouldBeginEditing(UITextField*)
{
    if (classList_.empty()) {
        ORBHelper::showProgressHud(kWaitForClasses, false, true);
        return false;
    }
    return true;
}

void SendClassNoticeViewController::textFieldDidBeginEditing(UITextField* field) { currentTextField_ = field; }

void SendClassNoticeViewController::textFieldDidEndEditing(UITextField* field)
{
    if (field == edReceiver_.get()) {
        // The field and the chosen class always name the same class.
        chooseRow(receiverPicker_->selectedRowInComponent(0));
    } else if (field == edBeginTime_.get() || field == edDeadTime_.get()) {
        field->setText(teaching::dayText(datePicker_->date()));
    }
    if (currentTextField_ == field)
        currentTextField_ = nullptr;
}

bool SendClassNoticeViewController::textFieldShouldReturn(UITextField* field)
{
    if (field)
        field->resignFirstResponder();
    return true;
}

bool SendClassNoticeViewController::textViewShouldBeginEditing(UITextView*) { return true; }

void SendClassNoticeViewController::textViewDidBeginEditing(UITextView*)
{
    isEditTextView_ = true;
    // Coming from another field the keyboard is already up and may not
    // announce itself again: the content rises now.
    if (platform::Keyboard::isVisible())
        liftContent(true, platform::Keyboard::frame(), platform::Keyboard::kAnimationDuration);
}

void SendClassNoticeViewController::textViewDidEndEditing(UITextView*)
{
    isEditTextView_ = false;
    // Another field may keep the keyboard up: the content goes back anyway.
    liftContent(false, platform::Keyboard::frame(), platform::Keyboard::kAnimationDuration);
}

void SendClassNoticeViewController::showPlaceholder() { holdTextLbl_->setHidden(!tvContent_->text().empty()); }

void SendClassNoticeViewController::btnChooseBeginTimeAction(UIControl*) { edBeginTime_->becomeFirstResponder(); }
void SendClassNoticeViewController::btnChooseDeadTimeAction(UIControl*) { edDeadTime_->becomeFirstResponder(); }
void SendClassNoticeViewController::btnChooseReceiverAction(UIControl*) { edReceiver_->becomeFirstResponder(); }

void SendClassNoticeViewController::cancelReceiver()
{
    // Both buttons of the bar close the input and keep what is chosen.
    selectedReceiver();
}

void SendClassNoticeViewController::selectedReceiver()
{
    tvContent_->resignFirstResponder();
    if (currentTextField_)
        currentTextField_->resignFirstResponder();
}

void SendClassNoticeViewController::btnGoBackAction(UIControl*) { popViewController(); }
void SendClassNoticeViewController::btnCancelAction(UIControl*) { popViewController(); }

// ---- Keyboard ------------------------------------------------------------------------------

void SendClassNoticeViewController::keyboardWillShow(const platform::Notification& notification)
{
    moveForKeyboard(notification, true);
}

void SendClassNoticeViewController::keyboardWillHide(const platform::Notification& notification)
{
    moveForKeyboard(notification, false);
}

void SendClassNoticeViewController::moveForKeyboard(const platform::Notification& notification, bool showing)
{
    auto keyboard = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey))
                        .value_or(platform::Keyboard::frame());
    double duration = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey).doubleValue();
    if (showing)
        takeRestingFrames();
    // Over the keys the bar with 取消 and 发布 stands on them. A wheel comes
    // with its own bar of 取消 and 完成, and the form's bar waits in its place
    // under it: two 取消 one above the other, and on the 3.5-inch screen the
    // receiver's field under both bars.
    auto responder = UIResponder::currentFirstResponder();
    placeBottomBar(showing && !(responder && responder->inputView()), keyboard, duration);
    // Only the text view lifts the content; whatever hides the keyboard puts
    // it back (the text view has ended editing by then).
    if (showing && !isEditTextView_)
        return;
    liftContent(showing, keyboard, duration);
    if (!showing)
        restingTaken_ = false;
}

void SendClassNoticeViewController::takeRestingFrames()
{
    if (restingTaken_)
        return;
    // Where the content, the text and the bar rest on this screen, as the
    // foot of the screen placed them; the keyboard moves them from there.
    contentViewRect_ = contentView_->frame();
    textViewRect_ = tvContent_->frame();
    bottomViewRect_ = bottomView_->frame();
    restingTaken_ = true;
}

void SendClassNoticeViewController::liftContent(bool lifted, const platform::Rect& keyboard, double duration)
{
    if (lifted)
        takeRestingFrames();
    else if (!restingTaken_)
        return; // nothing has moved
    platform::Notification moved;
    moved.userInfo.set(UIKeyboardFrameEndUserInfoKey, platform::valueWithRect(keyboard));
    moved.userInfo.set(UIKeyboardAnimationDurationUserInfoKey, duration);
    // The view as it stands on this screen, not as the layout drew it.
    auto lift = teaching::keyboardLift(moved, lifted, contentViewRect_, textViewRect_, view()->bounds().height());
    UIView::animateWithDuration(lift.duration, weakCallback<SendClassNoticeViewController>([lift](SendClassNoticeViewController& screen) {
        screen.contentView_->setFrame(lift.content);
        screen.tvContent_->setFrame(lift.text);
    }));
}

void SendClassNoticeViewController::placeBottomBar(bool keyboardShown, const platform::Rect& keyboard, double duration)
{
    if (keyboardShown)
        takeRestingFrames();
    else if (!restingTaken_)
        return; // nothing has moved
    auto frame = bottomViewRect_;
    if (keyboardShown && bottomView_->superview()) {
        // The keyboard comes in screen coordinates; the bar ends on its top
        // edge, never lower than its own place.
        double keyboardTop = bottomView_->superview()->convertRectFromView(keyboard, nullptr).minY();
        frame.origin.y = std::min(keyboardTop - frame.height(), bottomViewRect_.origin.y);
    }
    if (!std::isfinite(duration) || duration < 0)
        duration = 0;
    UIView::animateWithDuration(duration, weakCallback<SendClassNoticeViewController>([frame](SendClassNoticeViewController& screen) {
        screen.bottomView_->setFrame(frame);
    }));
}

// ---- Sending ----------------------------------------------------------------------------

void SendClassNoticeViewController::alert(const std::string& message)
{
    auto view = std::make_shared<UIAlertView>(
        kAlertTitle, message, std::weak_ptr<UIAlertViewDelegate>(), std::string(kAlertButton), std::vector<std::string> {});
    view->show();
}

void SendClassNoticeViewController::btnSendAction(UIControl*)
{
    if (isLoading_ || isClosing_)
        return;
    const std::string title = edTitle_->text();
    const std::string startDate = edBeginTime_->text();
    const std::string endDate = edDeadTime_->text();
    const std::string today = teaching::dayText(now_());
    const std::string content = tvContent_->text();
    const std::string receiver = edReceiver_->text();
    if (title.empty()) {
        ORBHelper::showProgressHud(kNeedTitle, false, true);
        return;
    }
    if (endDate < startDate) {
        alert(kStartAfterEnd);
        return;
    }
    if (today > endDate) {
        alert(kEndBeforeToday);
        return;
    }
    // A status text in the field ("加载班级信息出错") is no receiver: a real
    // class must have been chosen.
    if (receiver.empty() || !classInfo_ || classInfo_->classId < 0) {
        ORBHelper::showProgressHud(kNeedReceiver, false, true);
        return;
    }
    if (content.empty()) {
        ORBHelper::showProgressHud(kNeedContent, false, true);
        return;
    }
    isLoading_ = true;
    noticeInfo_->title = title;
    noticeInfo_->startDate = startDate;
    noticeInfo_->endDate = endDate;
    noticeInfo_->content = content;
    noticeInfo_->classId = classInfo_->classId;
    ORBHelper::showProgressHud(kSendingText, true, false);
    platform::Dictionary params;
    params.set("noticeInfo", platform::Value(std::static_pointer_cast<platform::Object>(noticeInfo_)));
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        static_cast<int>(ORBRequestType::ClassNotice), platform::Value(std::move(params)),
        [] { ORBHelper::showProgressHud(kStartedText, true, false); },
        // The circle's news and the window's overlay do not depend on this
        // screen: a notice sent while the person left is still announced,
        // and the spinner never stays on the window.
        weakCallbackAfter<SendClassNoticeViewController>(
            [] {
                platform::NotificationCenter::defaultCenter().post(kSendWeiboSuccess);
                ORBHelper::showProgressHud(kSentText, false, true);
            },
            &SendClassNoticeViewController::sendSucceeded),
        weakCallbackAfter<SendClassNoticeViewController>(
            [](const std::string& message) { ORBHelper::showProgressHud(message, false, true); },
            &SendClassNoticeViewController::sendFailed));
}

void SendClassNoticeViewController::sendSucceeded(const platform::Value&)
{
    isLoading_ = false;
    isClosing_ = true;
    runAfter(kCloseDelay, &SendClassNoticeViewController::closeAfterSend);
}

void SendClassNoticeViewController::sendFailed(const std::string&) { isLoading_ = false; }

void SendClassNoticeViewController::closeAfterSend()
{
    platform::NotificationCenter::defaultCenter().post(kSentNotification);
    popViewController();
}
