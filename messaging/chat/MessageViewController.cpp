#include "messaging/chat/MessageViewController.h"

#include "messaging/chat/ChatRows.h"
#include "messaging/chat/MessageGroupCenterCell.h"
#include "messaging/chat/MessagePhotoRightCell.h"
#include "messaging/chat/MessageRightCell.h"
#include "messaging/chat/MessageSendingCell.h"
#include "messaging/chat/MessageSoundRightCell.h"
#include "messaging/send/MessageLoader.h"
#include "messaging/send/UnsavedMessages.h"
#include "messaging/send/UnsentMessages.h"
#include "messaging/voice/MessageAudioPlayer.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UISwipeGestureRecognizer.h"
#include "platform/uikit/UIWindow.h"
#include "ui/images/PhotoSourceSheet.h"
#include "ui/overlay/ProgressOverlay.h"
#include "ui/photobrowser/BrowserPhoto.h"

#include <algorithm>

namespace {

const platform::Color kChatBackground = platform::Color::fromRGB255(235, 237, 240);

std::string withoutSixPerEmSpaces(std::string text)
{
    const std::string space = MessageViewController::kSixPerEmSpace;
    for (auto at = text.find(space); at != std::string::npos; at = text.find(space, at))
        text.erase(at, space.size());
    return text;
}

// Nothing but spaces of any width, line breaks and zero-width spaces
// (invalid bytes count as something).
bool isBlank(const std::string& text)
{
    if (!platform::isValidUtf8(text))
        return false;
    for (char32_t c : platform::codePoints(text)) {
        if (!platform::isWhitespaceOrNewline(c) && c != 0x200B && c != 0xFEFF)
            return false;
    }
    return true;
}

// A message's place in the conversation as the store lists it: its time as
// written there ("yyyy-MM-dd HH:mm:ss", the device's zone), whole seconds,
// oldest first; messages of one second in the order they were stored. None
// for a message without a time.
std::optional<std::string> storedTime(const core::MessageInfo& message)
{
    if (!message.time)
        return std::nullopt;
    return core::BaseFactory::timeText(*message.time);
}

// The window whose root presents the pickers and the browser: the
// application's, or the key one when the application shows none.
std::shared_ptr<UIViewController> presentingRoot()
{
    auto window = UIWindow::keyWindow();
    return window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
}

// Where a photo comes from on this screen.
const PhotoSourceSheet& photoSheet()
{
    static const PhotoSourceSheet sheet(UIImagePickerControllerSourceTypeSavedPhotosAlbum);
    return sheet;
}

} // namespace

MessageViewController::MessageViewController()
    : MessageViewController(std::string(kClassName))
{
}

MessageViewController::MessageViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
    , messageFactory_(std::make_unique<core::MessageFactory>())
{
}

MessageViewController::~MessageViewController()
{
    // Nothing of this screen may sound, record or be told anything once it is
    // gone; a clip another screen started plays on.
    stopOwnClip();
    if (recordView_) {
        recordView_->setDelegate({});
        recordView_->cancelRecord();
        recordView_->removeFromSuperview();
    }
}

std::shared_ptr<MessageViewController> MessageViewController::self()
{
    return BaseViewController::self<MessageViewController>();
}

void MessageViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("txtMessage", txtMessage_);
    bindings.outlet("contentView", contentView_);
    bindings.outlet("btnRecord", btnRecord_);
    bindings.outlet("tableView", tableView_);
    bindings.outlet("txtBg", txtBg_);
    bindings.outlet("btnVoice", btnVoice_);
    bindings.outlet("bottomView", bottomView_);
    bindings.outlet("btnPhoto", btnPhoto_);
    bindings.outlet("btnSend", btnSend_);
    bindings.action("btnSendTouchUpInside:", &MessageViewController::btnSendTouchUpInside);
    bindings.action("btnSoundTouchUpInside:", &MessageViewController::btnSoundTouchUpInside);
    bindings.action("btnPhotoTouchUpInside:", &MessageViewController::btnPhotoTouchUpInside);
    bindings.action("btnRecordTouchDown:", &MessageViewController::btnRecordTouchDown);
    bindings.action("btnRecordTouchUp:", &MessageViewController::btnRecordTouchUp);
    // The contacts button is the bar's, made in code; the bar goes back.
    bindings.optionalAction("btnContactsTouchUpInside:", &MessageViewController::btnContactsTouchUpInside);
    bindings.optionalAction("btnBackTouchUpInisde:", &MessageViewController::btnBackTouchUpInisde);
}

void MessageViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self();
    view()->setBackgroundColor(kChatBackground);

    hud_ = std::make_shared<ProgressOverlay>(view()->bounds());
    hud_->setMode(ProgressOverlayModeText);
    hud_->setAnimationType(ProgressOverlayAnimationZoom);
    view()->addSubview(hud_);

    observe(UIKeyboardWillShowNotification, &MessageViewController::keyboadChanged);
    observe(UIKeyboardWillHideNotification, &MessageViewController::keyboadChanged);

    recordView_ = MessageRecordView::viewWithDelegate(std::weak_ptr<MessageRecordViewDelegate>(me));
    recordView_->setHidden(true);

    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView_->setBackgroundColor(kChatBackground);
    tableView_->reloadData();

    txtMessage_->setDelegate(std::weak_ptr<UITextFieldDelegate>(me));
    txtMessage_->setReturnKeyType(UIReturnKeySend);
    auto down = std::make_shared<UISwipeGestureRecognizer>();
    down->setDirection(UISwipeGestureRecognizerDirectionDown);
    down->addTarget(me, &MessageViewController::closeKeyboard);
    txtMessage_->addGestureRecognizer(down);
    auto up = std::make_shared<UISwipeGestureRecognizer>();
    up->setDirection(UISwipeGestureRecognizerDirectionUp);
    up->addTarget(me, &MessageViewController::openKeyboard);
    txtMessage_->addGestureRecognizer(up);

    btnRecord_->setTitle(std::string(kRecordTitle), UIControlStateNormal);
    // The input bar stands at the foot of the screen on either screen (the
    // keyboard lifts it from there) and the conversation ends on it.
    keepAtVisibleBottom(contentView_);
    bottomView_->setAutoresizingMask(
        (bottomView_->autoresizingMask() & ~(UIViewAutoresizingFlexibleHeight | UIViewAutoresizingFlexibleBottomMargin))
        | UIViewAutoresizingFlexibleTopMargin);
    tableView_->setAutoresizingMask(tableView_->autoresizingMask() | UIViewAutoresizingFlexibleHeight);

    setRightItem(imageBarButton("message_btn_contacts.png", "btnContacts", &MessageViewController::btnContactsTouchUpInside));
}

void MessageViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    // The title and the contact button live in the bar, whichever tab
    // (some hide their bar on their first screen) pushed the conversation.
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, animated);
    if (isFirstTime_) {
        scrollTableViewToBottom(false);
        isFirstTime_ = false;
    }
}

void MessageViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    // The overlay lies on the window only while this screen records.
    if (recordView_->superview()) {
        recordView_->cancelRecord();
        recordView_->removeFromSuperview();
    }
    closeKeyboard();
}

void MessageViewController::didReceiveMemoryWarning() { platform::log("memory warning\n"); }

void MessageViewController::setContact(std::shared_ptr<core::ContactInfo> contact)
{
    if (contact_)
        stopObserving("new_message_" + std::to_string(contact_->uid));
    stopObserving(MessageLoaderDidSendSucceededNotification);
    stopObserving(MessageLoaderDidSendFailedNotification);
    contact_ = std::move(contact);
    if (!contact_)
        return;
    setTitle(contact_->name);
    // Reading the conversation marks the contact's messages read and clears its badge.
    setListData(messageFactory_->getMessageWithContact(*contact_).value_or(core::MessageList {}));
    // What this run could not store is still the conversation's, read now too.
    auto& unsaved = UnsavedMessages::shared();
    unsaved.markRead(contact_->uid);
    for (const auto& message : unsaved.withContact(contact_->uid)) {
        bool stored = std::any_of(listData_.begin(), listData_.end(),
            [&](const auto& m) { return !message->uid.empty() && m->uid == message->uid && m->to == message->to; });
        if (!stored)
            insertInTimeOrder(message);
    }
    // And what was written here and could not be sent, marked, until it is.
    for (const auto& message : UnsentMessages::shared().withContact(contact_->uid)) {
        if (!holds(message))
            insertInTimeOrder(message);
    }
    // The contact is usually given before the view (and its table) is loaded.
    if (isViewLoaded())
        tableView_->reloadData();

    observe("new_message_" + std::to_string(contact_->uid), &MessageViewController::getNewMessage);
    observe(MessageLoaderDidSendSucceededNotification, &MessageViewController::getNewMessage);
    observe(MessageLoaderDidSendFailedNotification, &MessageViewController::deleteMessage);
}

bool MessageViewController::holds(const std::shared_ptr<core::MessageInfo>& message) const
{
    return std::find(listData_.begin(), listData_.end(), message) != listData_.end();
}

void MessageViewController::getNewMessage(const platform::Notification& notification)
{
    auto message = notification.userInfo.get("message").objectAs<core::MessageInfo>();
    if (!message || !contact_)
        return;
    if (message->to) {
        // The pipeline reports every chat screen's sends: only the very
        // object this screen appended is its own (another screen's message
        // would be a duplicate here, or land in the wrong conversation).
        if (!holds(message))
            return;
        message->isSending = false;
        placeStoredSend(message);
    } else {
        if (!message->contact || message->contact->uid != contact_->uid)
            return;
        // Seen at once: stored read, so the next state report says so.
        message->state = core::MessageInfo::kStateRead;
        messageFactory_->setMessage({ message });
        // The poll may announce a message again; it is shown once.
        bool shown = std::any_of(listData_.begin(), listData_.end(), [&](const auto& m) {
            return m == message || (!message->uid.empty() && !m->to && m->uid == message->uid);
        });
        if (!shown)
            insertInTimeOrder(message);
    }
    reloadAndShow(message);
}

void MessageViewController::insertInTimeOrder(const std::shared_ptr<core::MessageInfo>& message)
{
    // The poll brings a message up to its interval after it was written, so
    // one's own written meanwhile, sent or still sending, may be later: the
    // new one goes below every message of its time or earlier and above the
    // later ones. The newest of all is appended, as before.
    std::size_t at = listData_.size();
    if (auto time = storedTime(*message)) {
        while (at > 0) {
            auto before = storedTime(*listData_[at - 1]);
            if (!before || *before <= *time)
                break;
            --at;
        }
    }
    listData_.insert(listData_.begin() + static_cast<std::ptrdiff_t>(at), message);
}

void MessageViewController::placeStoredSend(const std::shared_ptr<core::MessageInfo>& message)
{
    // The store lists the messages of one second in the order they were
    // stored, and a send is stored only when the server has taken it: a
    // message of the same second stored meanwhile comes first.
    auto time = storedTime(*message);
    auto at = std::find(listData_.begin(), listData_.end(), message);
    if (!time || at == listData_.end())
        return;
    auto last = at;
    for (auto it = at + 1; it != listData_.end(); ++it) {
        if (!(*it)->isSending && storedTime(**it) == time)
            last = it;
    }
    if (last != at)
        std::rotate(at, at + 1, last + 1);
}

void MessageViewController::deleteMessage(const platform::Notification& notification)
{
    auto message = notification.userInfo.get("message").objectAs<core::MessageInfo>();
    if (!message || !holds(message))
        return;
    // What was written is not lost with the send: the bubble stays, marked
    // by the send pipeline, and its mark sends it again; the pipeline keeps
    // it beside the store, so it is there again when the conversation is
    // next opened.
    reloadAndShow(message);
}

void MessageViewController::messageBaseCellDidTapFailedMark(MessageBaseCell& cell)
{
    auto message = cell.message();
    auto at = std::find(listData_.begin(), listData_.end(), message);
    if (isRecording() || at == listData_.end() || !message->sendFailed)
        return;
    // Sent again as if written now: its bubble moves down to the newest.
    listData_.erase(at);
    message->sendFailed = false;
    message->isSending = true;
    message->time = platform::Date::now();
    message->createTime = message->time;
    send(message);
}

void MessageViewController::reloadAndShow(const std::shared_ptr<core::MessageInfo>& message)
{
    if (!isViewLoaded())
        return;
    tableView_->reloadData();
    auto at = std::find(listData_.begin(), listData_.end(), message);
    if (at != listData_.end()) {
        // The bottom shows the newest and what came just before it; a message
        // placed further up, already counted read, is brought into sight.
        tableView_->layoutIfNeeded();
        auto row = NSIndexPath::indexPathForRow(static_cast<long>(at - listData_.begin()), 0);
        double bottom = tableView_->contentSize().height - tableView_->frame().height();
        if (tableView_->rectForRowAtIndexPath(row).minY() < bottom) {
            tableView_->scrollToRowAtIndexPath(row, UITableViewScrollPositionTop, true);
            return;
        }
    }
    scrollTableViewToBottom();
}

void MessageViewController::stopOwnClip()
{
    const auto& playing = MessageAudioPlayer::shareInstance()->sound();
    if (!playing)
        return;
    for (const auto& message : listData_) {
        if (message && std::find(message->soundsInfo.begin(), message->soundsInfo.end(), playing) != message->soundsInfo.end()) {
            MessageAudioPlayer::cancelAll();
            return;
        }
    }
}

bool MessageViewController::isRecording() const { return !recordView_->isHidden(); }

std::shared_ptr<core::MessageInfo> MessageViewController::newOwnMessage() const
{
    auto message = std::make_shared<core::MessageInfo>();
    message->contact = contact_;
    message->to = true;
    message->time = platform::Date::now();
    message->createTime = message->time;
    message->isSending = true;
    return message;
}

void MessageViewController::send(const std::shared_ptr<core::MessageInfo>& message)
{
    insertInTimeOrder(message);
    reloadAndShow(message);
    MessageLoader::send(message);
}

void MessageViewController::btnSendTouchUpInside(UIControl*)
{
    if (!contact_)
        return;
    // Stripped first: a text of nothing but those spaces is no message, and
    // nor is one of nothing but blanks (it would arrive as an empty bubble).
    std::string content = withoutSixPerEmSpaces(txtMessage_->text());
    if (isBlank(content))
        return;
    auto message = newOwnMessage();
    message->content = std::move(content);
    txtMessage_->setText("");
    send(message);
}

bool MessageViewController::textFieldShouldReturn(UITextField*)
{
    btnSendTouchUpInside(nullptr);
    return true;
}

void MessageViewController::btnSoundTouchUpInside(UIControl*)
{
    if (isRecording())
        return;
    bool toVoice = btnVoice_->tag() == kModeText;
    if (toVoice)
        closeKeyboard();
    txtMessage_->setHidden(toVoice);
    txtMessage_->setEnabled(!toVoice);
    txtBg_->setHidden(toVoice);
    btnRecord_->setHidden(!toVoice);
    btnRecord_->setEnabled(toVoice);
    btnVoice_->setImage(UIImage::imageNamed(toVoice ? kTextModeImage : kVoiceModeImage), UIControlStateNormal);
    btnVoice_->setTag(toVoice ? kModeVoice : kModeText);
}

void MessageViewController::btnRecordTouchDown(UIControl*)
{
    // A clip playing owns the sound: no recording over it.
    if (MessageAudioPlayer::isPlaying())
        return;
    if (auto window = UIWindow::keyWindow(); window && !recordView_->superview()) {
        recordView_->setFrame(window->frame());
        window->addSubview(recordView_);
    }
    recordView_->startRecord();
    btnRecord_->setTitle(std::string(kReleaseTitle), UIControlStateNormal);
}

void MessageViewController::btnRecordTouchUp(UIControl*)
{
    recordView_->stopRecord();
    btnRecord_->setTitle(std::string(kRecordTitle), UIControlStateNormal);
}

void MessageViewController::messageRecordViewRecordFinished(
    MessageRecordView&, const std::shared_ptr<core::SoundInfo>& sound)
{
    if (!sound || !contact_)
        return;
    auto message = newOwnMessage();
    message->soundsInfo.push_back(sound);
    send(message);
}

void MessageViewController::messageRecordViewRecordFailed(MessageRecordView&, const platform::Error& error)
{
    // Both end without a message; a clip that could not be converted is
    // said briefly too, or the person would wait for a bubble that never comes.
    if (error.code() == MessageRecordView::kErrorTooShort)
        hud_->setLabelText("录音时间过短");
    else if (error.code() == MessageRecordView::kErrorConversionFailed)
        hud_->setLabelText(kRecordFailedText);
    else
        return;
    view()->bringSubviewToFront(hud_);
    hud_->show(true);
    hud_->hide(true, kTooShortHideDelay);
}

void MessageViewController::btnPhotoTouchUpInside(UIControl*)
{
    if (isRecording())
        return;
    photoSheet().show(std::weak_ptr<UIActionSheetDelegate>(self()));
}

void MessageViewController::actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex)
{
    if (auto source = photoSheet().sourceFor(sheet, buttonIndex))
        PhotoSourceSheet::presentPicker(presentingRoot().get(), *source, std::weak_ptr<UIImagePickerControllerDelegate>(self()));
}

void MessageViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    UIImagePickerController* picker, const platform::Dictionary& info)
{
    auto image = info.get(UIImagePickerControllerOriginalImage).objectAs<UIImage>();
    platform::log("picked media: %s\n", image ? "an image" : "no image");
    auto photo = std::make_shared<core::PhotoInfo>();
    // A picture that cannot be stored never becomes a message: its upload
    // would have no file.
    if (image && contact_ && photo->setImage(image->CGImage())) {
        auto message = newOwnMessage();
        message->photosInfo.push_back(photo);
        send(message);
    }
    if (picker)
        picker->dismissViewControllerAnimated(true);
}

void MessageViewController::imagePickerControllerDidCancel(UIImagePickerController* picker)
{
    if (picker)
        picker->dismissViewControllerAnimated(true);
}

void MessageViewController::btnContactsTouchUpInside(UIControl*)
{
    auto detail = platform::ClassRegistry::shared().createAs<UIViewController>(kContactsDetailClass);
    auto withContact = std::dynamic_pointer_cast<ContactsDetailScreen>(detail);
    auto navigation = navigationController();
    // A detail screen that cannot be told whom to show is not opened.
    if (!withContact || !navigation || !contact_) {
        platform::log("MessageViewController: no %s to open\n", kContactsDetailClass);
        return;
    }
    withContact->setContact(contact_);
    navigation->pushViewController(detail, true);
}

void MessageViewController::btnBackTouchUpInisde(UIControl*)
{
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

void MessageViewController::keyboadChanged(const platform::Notification& notification)
{
    const bool showing = notification.name == UIKeyboardWillShowNotification;
    if (showing && !keyboardUp_) {
        // Where the conversation and the bar rest on this screen; the
        // keyboard moves them from there.
        tableViewRect_ = tableView_->frame();
        bottomViewRect_ = bottomView_->frame();
        keyboardUp_ = true;
    } else if (!showing) {
        if (!keyboardUp_)
            return;
        keyboardUp_ = false;
    }
    auto tableFrame = tableViewRect_;
    auto bottomFrame = bottomViewRect_;
    if (showing) {
        auto end = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey));
        double height = end ? end->height() : platform::Keyboard::kHeight;
        bottomFrame.origin.y -= height;
        tableFrame.size.height -= height;
    }
    // The layout is drawn for this screen's own area under the bars, so the
    // keyboard's height is the whole move; nothing more for the bars.
    const auto& durationValue = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey);
    double duration = durationValue.isNull() ? platform::Keyboard::kAnimationDuration : durationValue.doubleValue();
    UIView::animateWithDuration(
        duration,
        weakCallback<MessageViewController>([tableFrame, bottomFrame](MessageViewController& chat) {
            chat.tableView_->setFrame(tableFrame);
            chat.bottomView_->setFrame(bottomFrame);
        }),
        weakCallback<MessageViewController>([](MessageViewController& chat, bool) { chat.scrollTableViewToBottom(); }));
}

void MessageViewController::closeKeyboard() { txtMessage_->resignFirstResponder(); }

void MessageViewController::openKeyboard()
{
    if (!txtMessage_->isHidden())
        txtMessage_->becomeFirstResponder();
}

void MessageViewController::scrollViewWillBeginDragging(UIScrollView*) { closeKeyboard(); }

void MessageViewController::scrollTableViewToBottom(bool animated)
{
    tableView_->layoutIfNeeded();
    auto frame = tableView_->frame();
    double contentHeight = tableView_->contentSize().height;
    tableView_->scrollRectToVisible(
        platform::Rect(frame.minX(), contentHeight - frame.height(), frame.width(), frame.height()), animated);
}

void MessageViewController::scrollTableView()
{
    auto frame = tableView_->frame();
    tableView_->scrollRectToVisible(platform::Rect(frame.minX(), offsetY_, frame.width(), frame.height()), true);
}

std::shared_ptr<UITableViewCell> MessageViewController::cellForRowAtIndexPath(
    UITableView* tableView, const NSIndexPath& indexPath)
{
    auto cell = ChatRows::cell(
        *tableView, listData_.at(static_cast<std::size_t>(indexPath.row)), weakSelf<MessageViewController>());
    cell->setBackgroundColor(platform::Color::clearColor());
    return cell;
}

std::optional<double> MessageViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath& indexPath)
{
    return ChatRows::height(*listData_.at(static_cast<std::size_t>(indexPath.row)));
}

void MessageViewController::messageBaseCellDidClick(MessageBaseCell& cell)
{
    const auto& message = cell.message();
    if (isRecording() || !message || message->group)
        return;
    if (!message->photosInfo.empty()) {
        MessageAudioPlayer::reset();
        openPhotoBrowser(*message, 0);
    } else if (!message->soundsInfo.empty()) {
        if (auto voice = dynamic_cast<MessageSoundLeftCell*>(&cell))
            voice->playSound();
    }
}

void MessageViewController::messageBaseCellDidShowPhoto(MessageBaseCell& cell, int photoIndex)
{
    const auto& message = cell.message();
    if (isRecording() || !message || message->photosInfo.empty() || photoIndex < 0)
        return;
    openPhotoBrowser(*message, static_cast<unsigned>(photoIndex));
}

void MessageViewController::messageBaseCellUpdateSize(MessageBaseCell& cell)
{
    auto path = tableView_->indexPathForCell(&cell);
    if (!path)
        return;
    tableView_->beginUpdates();
    tableView_->reloadRowsAtIndexPaths({ *path }, UITableViewRowAnimationNone);
    tableView_->endUpdates();
}

void MessageViewController::openPhotoBrowser(const core::MessageInfo& message, unsigned index)
{
    auto root = presentingRoot();
    if (!root)
        return;
    photos_.clear();
    for (const auto& photo : message.photosInfo) {
        if (!photo)
            continue;
        // A photo of one's own not uploaded yet is shown from its file.
        if (auto url = photo->url.empty() ? std::nullopt : platform::Url::parse(photo->url))
            photos_.push_back(BrowserPhoto::photoWithURL(*url));
        else if (!photo->path.empty())
            photos_.push_back(BrowserPhoto::photoWithFilePath(photo->path));
    }
    if (photos_.empty())
        return;
    auto browser = PhotoBrowser::initWithDelegate(self());
    browser->setInitialPageIndex(std::min<unsigned>(index, static_cast<unsigned>(photos_.size() - 1)));
    root->presentViewController(std::make_shared<UINavigationController>(browser), true);
}

std::shared_ptr<BrowserPhotoProtocol> MessageViewController::photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index)
{
    return index < photos_.size() ? photos_[index] : nullptr;
}
