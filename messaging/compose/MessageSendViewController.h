#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/ContactInfo.h"
#include "core/model/GroupInfo.h"
#include "core/store/MessageFactory.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "messaging/send/MessageSendPhoto.h"
#include "messaging/send/MessageSendSound.h"
#include "messaging/voice/MessageRecordView.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UITextView.h"
#include "ui/ORBHelper.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class UIButton;
class UIControl;
class UILabel;
class UIScrollView;

// "新建消息": the teacher's group send. A text of at most 250 characters, up
// to four photos and one voice clip, optionally a template, to receivers
// chosen in the picker (whole groups, or single people of partly chosen
// groups, each person once). On send every attachment is uploaded on its
// own; when all have reported, the group-send command carries the text, the
// template, the addresses and the receivers, the reply is stored as the
// account's group-send record, "发送成功" shows, and 1.5 s later the screen
// closes onto the message box.
class MessageSendViewController final : public BaseViewController,
                                        public UITextViewDelegate,
                                        public UIAlertViewDelegate,
                                        public UIActionSheetDelegate,
                                        public UIImagePickerControllerDelegate,
                                        public MessageSendPhotoDelegate,
                                        public MessageSendSoundDelegate,
                                        public MessageRecordViewDelegate,
                                        public foundation::HTTPRequestDelegate,
                                        public PhotoBrowserDelegate {
public:
    ORB_CLASS_NAME(MessageSendViewController)

    static constexpr const char* kTitle = "新建消息";
    static constexpr int kTextLimit = 250;
    static constexpr int kPhotoLimit = 4;
    static constexpr int kSoundLimit = 1;
    static constexpr double kSuccessPause = 1.5;
    // Photos of a message go to the message-photo folder.
    static constexpr int kMessagePhotoType = 0;
    // The character count moves this much left and up with the keyboard.
    static constexpr double kCountShift = 45;
    static constexpr double kKeyboardFallbackDuration = 0.1;
    static constexpr int kAlertLeave = 0;
    static constexpr int kAlertNoReceiver = 1;
    static constexpr int kAlertUploadFailed = 2;
    static constexpr const char* kTemplateScreen = "MessageTemplateViewController";
    static constexpr const char* kTemplateNotification = "addMessageTemplateNotification";
    // A recording that could not be made into a clip, as the chat says it.
    static constexpr const char* kRecordFailedText = "录音失败";

    MessageSendViewController();
    explicit MessageSendViewController(std::string nibName);
    ~MessageSendViewController() override;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // Layout actions.
    void btnSendTouchUpInside(UIControl* sender);
    void btnBackTouchUpInside(UIControl* sender);
    void btnContactsTouchUpInside(UIControl* sender);
    void btnUseMsgTemplate(UIControl* sender);
    void btnPhotoTouchUpInside(UIControl* sender);
    void btnSoundTouchDown(UIControl* sender);
    void btnSoundTouchUp(UIControl* sender);
    void btnCloseTouchUpInside(UIControl* sender);

    void addMessageTemplate(const platform::Notification& notification);
    void keyboadChanged(const platform::Notification& notification);
    void refreshReceiverView();
    void refreshFileContainer();
    void post();
    void requestSendSucceeded(const foundation::HTTPRequestPtr& request);
    void requestSendFailed(const foundation::HTTPRequestPtr& request);
    // After "发送成功": back to the message box.
    void hudWasHidden();

    void textViewDidChange(UITextView* textView) override;
    void alertViewClickedButton(UIAlertView* alert, long buttonIndex) override;
    void actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex) override;
    void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController* picker, const platform::Dictionary& info) override;
    void imagePickerControllerDidCancel(UIImagePickerController* picker) override;
    void messageRecordViewRecordFinished(MessageRecordView&, const std::shared_ptr<core::SoundInfo>& sound) override;
    void messageRecordViewRecordFailed(MessageRecordView&, const platform::Error& error) override;
    unsigned numberOfPhotosInPhotoBrowser(PhotoBrowser*) override { return unsigned(photos_.size()); }
    std::shared_ptr<BrowserPhotoProtocol> photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index) override;

private:
    // On a screen shorter than the layout's: the text area gives up what the
    // template button would otherwise lose under the bottom bar, the
    // attachments and the button move up by as much.
    void fitContentInShortArea();
    void loadAddressBook();
    void alert(const std::string& title, const std::string& message, int tag, std::vector<std::string> others);
    void uploadDidReport();
    // Plays the tile's clip; the record button rests while any clip sounds.
    void playClip(MessageSendSound& tile);
    // Keeps a tile that asked to go alive until its own call has returned.
    void removeTile(UIView& tile);
    bool hasContent() const;

    std::unique_ptr<core::MessageFactory> messageFactory_;
    bool isLoading_ = false;
    // The uploads and the send end unheard with the screen: their overlay goes too.
    ProgressHudHold sendHud_;
    int photoCount_ = 0;
    int soundCount_ = 0;
    int successCount_ = 0;
    int msgTemplateId_ = 0;
    // The content's and the count's frames at rest, taken as the keyboard comes up.
    platform::Rect contentFrame_;
    platform::Rect charCountViewFrame_;
    bool keyboardUp_ = false;

    std::shared_ptr<UIView> fileContainer_;
    std::shared_ptr<UIScrollView> fileScroll_;
    std::shared_ptr<UILabel> lblFileEmpty_;
    std::vector<platform::Value> receiverList_;
    std::vector<std::shared_ptr<core::GroupInfo>> contactsGroup_;
    std::map<std::string, std::vector<std::shared_ptr<core::ContactInfo>>> contactsDataAll_;
    std::shared_ptr<UIButton> btnSound_;
    std::vector<std::shared_ptr<UIView>> colorView_;
    std::vector<std::shared_ptr<BrowserPhotoProtocol>> photos_;
    std::shared_ptr<MessageRecordView> recordView_;
    // The voice player's delegate for a clip of this screen: tells the tile
    // and the record button.
    std::shared_ptr<MessageAudioPlayerDelegate> playback_;
    std::shared_ptr<UITextView> txtContent_;
    std::shared_ptr<UILabel> lblReceiver_;
    std::shared_ptr<UIView> bottomView_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> lblContentEmpty_;
    std::shared_ptr<UIButton> btnClose_;
    std::shared_ptr<UIView> charCountView_;
    std::shared_ptr<UILabel> charCountLabel_;
    std::shared_ptr<UIButton> btnUseMsgTemplate_;
    std::shared_ptr<UIView> removedTile_;
    std::shared_ptr<UIButton> btnContacts_;
    std::shared_ptr<UIButton> btnPhoto_;
    std::shared_ptr<UIButton> btnSend_;
};
