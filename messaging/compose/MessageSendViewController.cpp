#include "messaging/compose/MessageSendViewController.h"

#include "core/network/ORBReplyParser.h"
#include "core/network/builders/ORBRivuContrl.h"
#include "core/store/ContactsFactory.h"
#include "core/util/GlobalColor.h"
#include "foundation/http/FormDataRequest.h"
#include "libModule/TabViewController/TabViewController.h"
#include "messaging/compose/ContactSelectViewController.h"
#include "messaging/voice/MessageAudioPlayer.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWindow.h"
#include "ui/ORBHelper.h"
#include "ui/images/PhotoSourceSheet.h"
#include "ui/photobrowser/BrowserPhoto.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

namespace {

const platform::Color kReceiverColor = platform::Color::fromRGB255(77, 77, 77);
const platform::Color kNoReceiverColor = platform::Color::fromRGB255(190, 190, 190);
const platform::Color kCountColor = platform::Color::fromRGB255(150, 150, 150);
const platform::Color kThemedLabelColor = platform::Color::fromRGB255(242, 246, 218);
const platform::Color kThemedButtonColor = platform::Color::fromRGB255(142, 192, 27);
const platform::Color kRestingRecordColor = platform::Color::fromRGB255(180, 180, 180);
const char* const kThemeNames[] = { "main_light", "main_dark", "main_light", "main_dark", "main_dark" };

std::shared_ptr<UIViewController> presentingRoot()
{
    auto window = UIWindow::keyWindow();
    return window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
}

// Where a photo comes from on this screen.
const PhotoSourceSheet& photoSheet()
{
    static const PhotoSourceSheet sheet(UIImagePickerControllerSourceTypePhotoLibrary);
    return sheet;
}

} // namespace

MessageSendViewController::MessageSendViewController()
    : MessageSendViewController(std::string(kClassName))
{
}

MessageSendViewController::MessageSendViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
    , messageFactory_(std::make_unique<core::MessageFactory>())
{
    setTitle(kTitle);
    loadAddressBook();
}

MessageSendViewController::~MessageSendViewController()
{
    // A clip of this screen stops with it; the overlay on the window goes.
    MessageAudioPlayer::cancelAll();
    if (recordView_) {
        recordView_->setDelegate({});
        recordView_->cancelRecord();
        recordView_->removeFromSuperview();
    }
}

void MessageSendViewController::loadAddressBook()
{
    core::ContactsFactory store;
    contactsGroup_ = store.getGroups().value_or(core::GroupList {});
    for (const auto& group : contactsGroup_) {
        auto contacts = store.getContactsWithGroup(group->uid);
        group->totalCount = contacts ? int(contacts->size()) : 0;
        if (contacts)
            contactsDataAll_[group->uid] = std::move(*contacts);
    }
}

void MessageSendViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("fileContainer", fileContainer_);
    bindings.outlet("fileScroll", fileScroll_);
    bindings.outlet("lblFileEmpty", lblFileEmpty_);
    bindings.outlet("btnSound", btnSound_);
    bindings.outletCollection("colorView", colorView_);
    bindings.outlet("txtContent", txtContent_);
    bindings.outlet("lblReceiver", lblReceiver_);
    bindings.outlet("bottomView", bottomView_);
    bindings.outlet("contentView", contentView_);
    bindings.outlet("lblContentEmpty", lblContentEmpty_);
    bindings.outlet("btnClose", btnClose_);
    bindings.outlet("charCountView", charCountView_);
    bindings.outlet("charCountLabel", charCountLabel_);
    bindings.outlet("btnUseMsgTemplate", btnUseMsgTemplate_);
    bindings.outlet("btnContacts", btnContacts_);
    bindings.outlet("btnPhoto", btnPhoto_);
    bindings.outlet("btnSend", btnSend_);
    bindings.action("btnSendTouchUpInside:", &MessageSendViewController::btnSendTouchUpInside);
    bindings.action("btnContactsTouchUpInside:", &MessageSendViewController::btnContactsTouchUpInside);
    bindings.action("btnUseMsgTemplate:", &MessageSendViewController::btnUseMsgTemplate);
    bindings.action("btnPhotoTouchUpInside:", &MessageSendViewController::btnPhotoTouchUpInside);
    bindings.action("btnSoundTouchDown:", &MessageSendViewController::btnSoundTouchDown);
    bindings.action("btnSoundTouchUp:", &MessageSendViewController::btnSoundTouchUp);
    bindings.action("btnCloseTouchUpInside:", &MessageSendViewController::btnCloseTouchUpInside);
}

void MessageSendViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<MessageSendViewController>();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &MessageSendViewController::btnBackTouchUpInside));

    for (std::size_t i = 0; i < colorView_.size() && i < std::size(kThemeNames); ++i) {
        const auto& view = colorView_[i];
        if (auto label = std::dynamic_pointer_cast<UILabel>(view))
            label->setTextColor(kThemedLabelColor);
        else if (auto button = std::dynamic_pointer_cast<UIButton>(view))
            button->setTitleColor(kThemedButtonColor, UIControlStateNormal);
        else if (auto colour = core::GlobalColor::getColor(kThemeNames[i]))
            view->setBackgroundColor(*colour);
    }

    recordView_ = MessageRecordView::viewWithDelegate(std::weak_ptr<MessageRecordViewDelegate>(me));
    recordView_->setHidden(true);
    if (auto window = UIWindow::keyWindow()) {
        recordView_->setFrame(window->frame());
        window->addSubview(recordView_);
    }

    messageSendPhotoDidRemove = weakCallback<MessageSendViewController>([](MessageSendViewController& screen, MessageSendPhoto& tile) {
        screen.removeTile(tile);
    });
    messageSendPhotoDidShow = weakCallback<MessageSendViewController>([](MessageSendViewController& screen, MessageSendPhoto& tile) {
        MessageAudioPlayer::reset();
        auto root = presentingRoot();
        if (!root || screen.photos_.empty())
            return;
        auto browser = PhotoBrowser::initWithDelegate(screen.self<MessageSendViewController>());
        browser->setInitialPageIndex(unsigned(std::max(0, tile.tag())));
        root->presentViewController(std::make_shared<UINavigationController>(browser), true);
    });
    messageSendPhotoDidUpload = weakCallback<MessageSendViewController>([](MessageSendViewController& screen, MessageSendPhoto&) {
        screen.uploadDidReport();
    });
    messageSendSoundDidRemove = weakCallback<MessageSendViewController>([](MessageSendViewController& screen, MessageSendSound& tile) {
        screen.removeTile(tile);
    });
    messageSendSoundDidPlay = weakCallback<MessageSendViewController>([](MessageSendViewController& screen, MessageSendSound& tile) {
        screen.playClip(tile);
    });
    messageSendSoundDidUpload = weakCallback<MessageSendViewController>([](MessageSendViewController& screen, MessageSendSound&) {
        screen.uploadDidReport();
    });

    observe(UIKeyboardWillShowNotification, &MessageSendViewController::keyboadChanged);
    observe(UIKeyboardWillHideNotification, &MessageSendViewController::keyboadChanged);
    observe(kTemplateNotification, &MessageSendViewController::addMessageTemplate);

    txtContent_->setDelegate(std::weak_ptr<UITextViewDelegate>(me));
    // Recording waits while a clip plays: the button shows it.
    btnSound_->setTitleColor(kRestingRecordColor, UIControlStateDisabled);
    btnClose_->setAlpha(0);
    charCountLabel_->setText(std::to_string(kTextLimit));
    charCountLabel_->setTextColor(kCountColor);
    // The bottom bar stands at the foot of the screen on either screen and
    // the content ends on it; what rides on the keyboard's edge keeps its
    // place above the bar.
    keepAtVisibleBottom(contentView_);
    keepAboveVisibleBottom(bottomView_);
    keepAboveVisibleBottom(charCountView_);
    keepAboveVisibleBottom(btnClose_);
    refreshFileContainer();
}

void MessageSendViewController::fitContentInShortArea()
{
    if (keyboardUp_)
        return; // the content is shortened for the keyboard, not by the screen
    const double shortfall = btnUseMsgTemplate_->frame().maxY() - contentView_->bounds().height();
    if (!(shortfall > 0))
        return;
    const auto text = txtContent_->frame();
    for (const auto& view : contentView_->subviews()) {
        auto frame = view->frame();
        if (view == txtContent_ || (frame.minY() <= text.minY() && frame.maxY() >= text.maxY()))
            frame.size.height -= shortfall; // the text and the panel behind it
        else if (frame.minY() >= text.maxY())
            frame.origin.y -= shortfall; // the attachments and the template button
        else
            continue;
        view->setFrame(frame);
    }
}

void MessageSendViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    // The content has its height on this screen now.
    fitContentInShortArea();
    refreshReceiverView();
}

void MessageSendViewController::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    // In its place the screen may be shorter than as it began to appear.
    fitContentInShortArea();
}

void MessageSendViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    txtContent_->resignFirstResponder();
}

// ---- Receivers ------------------------------------------------------------------------

void MessageSendViewController::refreshReceiverView()
{
    std::vector<platform::Value> receivers;
    std::string summary;
    // Whole groups first: anyone in one of them is reached through it.
    std::set<std::pair<int, int>> reached;
    for (const auto& group : contactsGroup_) {
        if (group->totalCount > 0 && group->selectCount >= group->totalCount) {
            for (const auto& contact : contactsDataAll_[group->uid])
                reached.insert({ contact->uid, contact->type });
        }
    }
    for (const auto& group : contactsGroup_) {
        if (group->totalCount == 0)
            continue;
        if (group->selectCount < group->totalCount) {
            for (const auto& contact : contactsDataAll_[group->uid]) {
                // Someone chosen in two groups is sent once.
                if (contact->selected && reached.insert({ contact->uid, contact->type }).second) {
                    receivers.emplace_back(contact);
                    summary += contact->name + ";";
                }
            }
        } else {
            receivers.emplace_back(group);
            summary += group->name + ";";
        }
    }
    if (summary.empty()) {
        lblReceiver_->setText("接收人");
        lblReceiver_->setTextColor(kNoReceiverColor);
    } else {
        lblReceiver_->setText("接收人: " + summary);
        lblReceiver_->setTextColor(kReceiverColor);
    }
    receiverList_ = std::move(receivers);
}

void MessageSendViewController::btnContactsTouchUpInside(UIControl*)
{
    auto picker = std::make_shared<ContactSelectViewController>();
    picker->setListGroup(contactsGroup_);
    picker->setListDataAll(contactsDataAll_);
    if (auto navigation = navigationController())
        navigation->pushViewController(picker, true);
}

// ---- Text and templates ----------------------------------------------------------------

void MessageSendViewController::textViewDidChange(UITextView*)
{
    const std::string& text = txtContent_->text();
    lblContentEmpty_->setHidden(!text.empty());
    int remaining = kTextLimit - int(platform::utf16Length(text));
    charCountLabel_->setText(std::to_string(remaining));
    charCountLabel_->setTextColor(remaining < 0 ? platform::Color::redColor() : kCountColor);
}

void MessageSendViewController::btnUseMsgTemplate(UIControl*)
{
    auto screen = platform::ClassRegistry::shared().createAs<UIViewController>(kTemplateScreen);
    if (auto navigation = navigationController(); navigation && screen)
        navigation->pushViewController(screen, true);
}

void MessageSendViewController::addMessageTemplate(const platform::Notification& notification)
{
    const platform::Value& info = notification.object;
    if (!info.isDictionary() || !info["msgInfo"].isString())
        return;
    msgTemplateId_ = info["msgId"].intValue();
    txtContent_->setText(info["msgInfo"].stringValue());
    textViewDidChange(txtContent_.get());
}

// ---- Attachments -----------------------------------------------------------------------

void MessageSendViewController::btnPhotoTouchUpInside(UIControl*)
{
    if (photoCount_ >= kPhotoLimit) {
        ORBHelper::showProgressHud("最多只能添加" + std::to_string(kPhotoLimit) + "张图片", false, true);
        return;
    }
    photoSheet().show(std::weak_ptr<UIActionSheetDelegate>(self<MessageSendViewController>()));
}

void MessageSendViewController::actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex)
{
    if (auto source = photoSheet().sourceFor(sheet, buttonIndex))
        PhotoSourceSheet::presentPicker(presentingRoot().get(), *source, std::weak_ptr<UIImagePickerControllerDelegate>(self<MessageSendViewController>()));
}

void MessageSendViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    UIImagePickerController* picker, const platform::Dictionary& info)
{
    auto image = info.get(UIImagePickerControllerOriginalImage).objectAs<UIImage>();
    // A picture that cannot be stored is not attached: its upload would have no file.
    if (image && photoCount_ < kPhotoLimit) {
        auto tile = MessageSendPhoto::photoWithDelegate(std::weak_ptr<MessageSendPhotoDelegate>(self<MessageSendViewController>()));
        if (tile->setImage(image->CGImage())) {
            fileContainer_->addSubview(tile);
            refreshFileContainer();
        } else {
            platform::log("MessageSendViewController: the picked picture could not be stored\n");
        }
    }
    if (picker)
        picker->dismissViewControllerAnimated(true);
}

void MessageSendViewController::imagePickerControllerDidCancel(UIImagePickerController* picker)
{
    if (picker)
        picker->dismissViewControllerAnimated(true);
}

void MessageSendViewController::btnSoundTouchDown(UIControl*)
{
    if (soundCount_ >= kSoundLimit) {
        ORBHelper::showProgressHud("最多只能添加" + std::to_string(kSoundLimit) + "个声音", false, true);
        return;
    }
    // A clip playing owns the sound: no recording over it.
    if (MessageAudioPlayer::isPlaying())
        return;
    recordView_->startRecord();
}

void MessageSendViewController::btnSoundTouchUp(UIControl*) { recordView_->stopRecord(); }

void MessageSendViewController::playClip(MessageSendSound& tile)
{
    auto watcher = std::make_shared<MessageAudioPlayerDelegate>();
    std::weak_ptr<MessageSendSound> view = std::static_pointer_cast<MessageSendSound>(tile.sharedView());
    std::weak_ptr<MessageSendViewController> screen = self<MessageSendViewController>();
    using Callback = MessageAudioPlayerDelegate::SoundCallback MessageAudioPlayerDelegate::*;
    auto relay = [view, screen](Callback member, std::optional<bool> recordable) {
        return [view, screen, member, recordable](MessageAudioPlayer& player, const std::shared_ptr<core::SoundInfo>& sound) {
            if (auto me = screen.lock(); me && recordable)
                me->btnSound_->setEnabled(*recordable);
            if (auto tile = view.lock(); tile && (*tile).*member)
                ((*tile).*member)(player, sound);
        };
    };
    watcher->messageAudioPlayerLoadingSound = relay(&MessageAudioPlayerDelegate::messageAudioPlayerLoadingSound, std::nullopt);
    watcher->messageAudioPlayerLoadSoundFinished
        = relay(&MessageAudioPlayerDelegate::messageAudioPlayerLoadSoundFinished, std::nullopt);
    watcher->messageAudioPlayerPlayingSound = relay(&MessageAudioPlayerDelegate::messageAudioPlayerPlayingSound, false);
    watcher->messageAudioPlayerPlaySoundFinished = relay(&MessageAudioPlayerDelegate::messageAudioPlayerPlaySoundFinished, true);
    // The delegate of a clip playing now hears it stop (a second tap) before it is replaced.
    auto previous = std::exchange(playback_, watcher);
    MessageAudioPlayer::play(tile.info(), std::weak_ptr<MessageAudioPlayerDelegate>(playback_));
}

void MessageSendViewController::messageRecordViewRecordFinished(
    MessageRecordView&, const std::shared_ptr<core::SoundInfo>& sound)
{
    if (!sound)
        return;
    std::shared_ptr<MessageSendSound> tile;
    for (const auto& view : fileContainer_->subviews()) {
        if (auto existing = std::dynamic_pointer_cast<MessageSendSound>(view))
            tile = existing;
    }
    if (!tile) {
        tile = MessageSendSound::soundWithDelegate(std::weak_ptr<MessageSendSoundDelegate>(self<MessageSendViewController>()));
        fileContainer_->addSubview(tile);
    }
    tile->setInfo(sound);
    refreshFileContainer();
}

void MessageSendViewController::messageRecordViewRecordFailed(MessageRecordView&, const platform::Error& error)
{
    // A press released too soon, or cut off, is too short; a clip that
    // could not be converted is lost, and the person is told so too.
    if (error.code() == MessageRecordView::kErrorConversionFailed)
        ORBHelper::showProgressHud(kRecordFailedText, false, true);
    else
        ORBHelper::showProgressHud("录音时间过短", false, true);
}

void MessageSendViewController::removeTile(UIView& tile)
{
    removedTile_ = tile.sharedView();
    tile.removeFromSuperview();
    refreshFileContainer();
}

void MessageSendViewController::refreshFileContainer()
{
    photos_.clear();
    photoCount_ = 0;
    soundCount_ = 0;
    const auto subviews = fileContainer_->subviews();
    double right = 0;
    for (std::size_t i = 0; i < subviews.size(); ++i) {
        const auto& view = subviews[i];
        auto frame = view->frame();
        frame.origin = platform::Point(double(i) * frame.width(), 0);
        view->setFrame(frame);
        right = frame.maxX();
        if (auto photo = std::dynamic_pointer_cast<MessageSendPhoto>(view)) {
            photo->setTag(photoCount_++);
            photos_.push_back(BrowserPhoto::photoWithImage(std::make_shared<UIImage>(photo->info()->image)));
        } else {
            ++soundCount_;
        }
    }
    lblFileEmpty_->setHidden(!subviews.empty());
    auto frame = fileContainer_->frame();
    frame.size.width = std::max(right, fileScroll_->frame().width());
    fileContainer_->setFrame(frame);
    fileScroll_->setContentSize(platform::Size(frame.width(), fileScroll_->frame().height()));
}

std::shared_ptr<BrowserPhotoProtocol> MessageSendViewController::photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index)
{
    return index < photos_.size() ? photos_[index] : nullptr;
}

// ---- Send -------------------------------------------------------------------------------

void MessageSendViewController::alert(const std::string& title, const std::string& message, int tag, std::vector<std::string> others)
{
    const bool asks = !others.empty();
    auto view = std::make_shared<UIAlertView>(title, message,
        asks ? std::weak_ptr<UIAlertViewDelegate>(self<MessageSendViewController>()) : std::weak_ptr<UIAlertViewDelegate>(),
        std::string(asks ? "取消" : "确定"), std::move(others));
    view->setTag(tag);
    view->show();
}

void MessageSendViewController::btnSendTouchUpInside(UIControl*)
{
    if (isLoading_)
        return;
    if (txtContent_->text().empty() && fileContainer_->subviews().empty()) {
        alert("提示", "内容不能为空", 0, {});
        return;
    }
    if (receiverList_.empty()) {
        alert("提示", "请选择接收者", kAlertNoReceiver, { "选择" });
        return;
    }
    if (kTextLimit - int(platform::utf16Length(txtContent_->text())) < 0) {
        alert("温馨提示", "最多输入" + std::to_string(kTextLimit) + "个文字", 0, {});
        return;
    }
    txtContent_->resignFirstResponder();
    isLoading_ = true;
    const auto tiles = fileContainer_->subviews();
    if (tiles.empty()) {
        sendHud_ = ProgressHudHold(ORBHelper::showProgressHud("提交请求中", true, false));
        post();
        return;
    }
    sendHud_ = ProgressHudHold(ORBHelper::showProgressHud("上传附件中", true, false));
    successCount_ = 0;
    for (const auto& view : tiles) {
        if (auto photo = std::dynamic_pointer_cast<MessageSendPhoto>(view))
            photo->upload(kMessagePhotoType);
        else if (auto sound = std::dynamic_pointer_cast<MessageSendSound>(view))
            sound->upload();
    }
}

void MessageSendViewController::uploadDidReport()
{
    if (!isLoading_)
        return;
    ++successCount_;
    if (successCount_ == int(fileContainer_->subviews().size()))
        post();
}

void MessageSendViewController::post()
{
    platform::Array files;
    std::vector<std::shared_ptr<core::PhotoInfo>> photosInfo;
    std::vector<std::shared_ptr<core::SoundInfo>> soundsInfo;
    int failed = 0;
    for (const auto& view : fileContainer_->subviews()) {
        if (auto photo = std::dynamic_pointer_cast<MessageSendPhoto>(view)) {
            files.emplace_back(photo->info());
            photosInfo.push_back(photo->info());
            failed += photo->info()->url.empty() ? 1 : 0;
        } else if (auto sound = std::dynamic_pointer_cast<MessageSendSound>(view)) {
            files.emplace_back(sound->info());
            soundsInfo.push_back(sound->info());
            failed += !sound->info() || sound->info()->url.empty() ? 1 : 0;
        }
    }
    if (failed > 0) {
        ORBHelper::hideProgressHud();
        isLoading_ = false;
        alert("提示", std::to_string(failed) + "个附件上传失败", kAlertUploadFailed, { "重新提交" });
        return;
    }
    sendHud_ = ProgressHudHold(ORBHelper::showProgressHud("提交请求中", true, false));
    auto message = std::make_shared<core::MessageInfo>();
    message->to = true;
    message->group = true;
    message->content = txtContent_->text();
    message->templateId = msgTemplateId_;
    message->photosInfo = std::move(photosInfo);
    message->soundsInfo = std::move(soundsInfo);
    platform::Array receivers(receiverList_.begin(), receiverList_.end());
    auto request = core::ORBRivuContrl::sendMessage(*message, files, receivers,
        weakSelf<MessageSendViewController>(), RequestSelector::method(&MessageSendViewController::requestSendSucceeded),
        RequestSelector::method(&MessageSendViewController::requestSendFailed));
    request->setUserInfo(platform::Dictionary { { "message", platform::Value(message) } });
    startRequest(request);
}

void MessageSendViewController::requestSendSucceeded(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request))
        return;
    // The send's answer is an envelope and an id, read as the dispatcher
    // reads one: past that it is refused unread, and the person told so.
    auto answer = core::ORBReplyParser::readReply(*request, core::kLargestShortReply, "group send");
    platform::Value reply = answer.value.value_or(platform::Value());
    auto message = request->userInfo().get("message").objectAs<core::MessageInfo>();
    if (!message || !reply.isDictionary() || !reply["msgId"].isString()) {
        // The server's own words when it gave some; an empty overlay would
        // tell the person nothing.
        const std::string* resultMsg = reply["resultMsg"].asString();
        std::string text = answer.tooLarge     ? core::ORBReplyParser::kReplyTooLargeText
            : resultMsg && !resultMsg->empty() ? *resultMsg
                                               : "提交失败";
        ORBHelper::showProgressHud(text, false, true);
        isLoading_ = false;
        return;
    }
    message->uid = reply["msgId"].stringValue();
    message->time = platform::Date::now();
    message->createTime = message->time;
    auto count = [&](const char* key, int& field) {
        if (reply[key].isNumber())
            field = reply[key].intValue();
    };
    count("msgReadCount", message->msgReadCount);
    count("msgUnReadCount", message->msgUnReadCount);
    count("smsSuccessCount", message->smsSuccessCount);
    count("smsUnSuccessCount", message->smsUnSuccessCount);
    message->updatePhotos();
    message->updateSounds();
    if (!messageFactory_->setMessage({ message }))
        platform::log("MessageSendViewController: the sent message %s could not be stored\n", message->uid.c_str());
    ORBHelper::showProgressHud("发送成功", false, true);
    runAfter(kSuccessPause, &MessageSendViewController::hudWasHidden);
}

void MessageSendViewController::requestSendFailed(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request))
        return;
    isLoading_ = false;
    ORBHelper::showProgressHud("提交失败", false, true);
}

void MessageSendViewController::hudWasHidden()
{
    // Left already (the back question answered): nothing more to close.
    auto navigation = navigationController();
    if (!navigation || navigation->topViewController().get() != this)
        return;
    navigation->popViewControllerAnimated(true);
    if (auto tabs = TabViewController::shareInstance())
        tabs->switchToView(0);
}

// ---- Leaving ----------------------------------------------------------------------------

bool MessageSendViewController::hasContent() const
{
    return !receiverList_.empty() || !txtContent_->text().empty() || !fileContainer_->subviews().empty();
}

void MessageSendViewController::btnBackTouchUpInside(UIControl*)
{
    if (isLoading_)
        alert("提示", "信息发送中,退出将中断所有操作,是否确定退出?", kAlertLeave, { "确定" });
    else if (hasContent())
        alert("提示", "信息已被编写,退出将不保存现有数据,是否确定退出?", kAlertLeave, { "确定" });
    else
        popViewController();
}

void MessageSendViewController::alertViewClickedButton(UIAlertView* alert, long buttonIndex)
{
    if (!alert || buttonIndex != 1)
        return;
    if (alert->tag() == kAlertLeave)
        popViewController();
    else if (alert->tag() == kAlertNoReceiver)
        btnContactsTouchUpInside(nullptr);
    else if (alert->tag() == kAlertUploadFailed)
        btnSendTouchUpInside(nullptr);
}

// ---- Keyboard ---------------------------------------------------------------------------

void MessageSendViewController::btnCloseTouchUpInside(UIControl*) { txtContent_->resignFirstResponder(); }

void MessageSendViewController::keyboadChanged(const platform::Notification& notification)
{
    const auto& durationValue = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey);
    double duration = durationValue.isNull() ? 0 : durationValue.doubleValue();
    if (!(duration > 0))
        duration = kKeyboardFallbackDuration;
    const bool showing = notification.name == UIKeyboardWillShowNotification;
    if (showing && !keyboardUp_) {
        // Where the content and the count rest on this screen; the keyboard
        // moves them from there.
        contentFrame_ = contentView_->frame();
        charCountViewFrame_ = charCountView_->frame();
        keyboardUp_ = true;
    } else if (!showing) {
        if (!keyboardUp_) {
            // Recording waits while a clip plays: the button shows it.
    btnSound_->setTitleColor(kRestingRecordColor, UIControlStateDisabled);
    btnClose_->setAlpha(0);
            return;
        }
        keyboardUp_ = false;
    }
    auto content = contentFrame_;
    auto count = charCountViewFrame_;
    double alpha = 0;
    if (showing) {
        auto end = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey));
        double keyboard = end ? end->height() : platform::Keyboard::kHeight;
        double lift = keyboard - bottomView_->frame().height();
        content.size.height -= lift;
        count.origin.x -= kCountShift;
        count.origin.y -= lift;
        alpha = 1;
    }
    UIView::animateWithDuration(duration,
        weakCallback<MessageSendViewController>([content, count, alpha](MessageSendViewController& screen) {
            screen.btnClose_->setAlpha(alpha);
            screen.contentView_->setFrame(content);
            screen.charCountView_->setFrame(count);
        }));
}
