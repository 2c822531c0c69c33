#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/ContactInfo.h"
#include "core/model/MessageInfo.h"
#include "core/store/MessageFactory.h"
#include "messaging/box/MessageBoxTargets.h"
#include "messaging/chat/MessageBaseCell.h"
#include "messaging/voice/MessageRecordView.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <memory>
#include <string>
#include <vector>

class ProgressOverlay;
class UIButton;
class UIControl;
class UIImageView;

// What the contact detail screen (made by its name, in the contacts area)
// offers the chat, so that the chat can hand it the contact it opens.
class ContactsDetailScreen {
public:
    virtual ~ContactsDetailScreen() = default;
    virtual void setContact(std::shared_ptr<core::ContactInfo> contact) = 0;
};

// The conversation with one contact: the stored history as chat bubbles
// (opening it marks the contact's messages read), an input bar that sends
// text, one photo or one voice recording per message through the send
// pipeline, a sending bubble until the pipeline reports (a send that failed
// stays, marked, also when the conversation is opened again or the client
// started again, and its mark sends it again), the contact's new messages
// arriving while it is open, voice bubbles that play and photo
// bubbles that open full screen. Pushed with the contact by the message box
// and the contact screens, which create it by its name.
class MessageViewController final : public BaseViewController,
                                    public UITextFieldDelegate,
                                    public UITableViewDataSource,
                                    public UITableViewDelegate,
                                    public MessageBaseCellDelegate,
                                    public MessageRecordViewDelegate,
                                    public UIActionSheetDelegate,
                                    public UIImagePickerControllerDelegate,
                                    public PhotoBrowserDelegate,
                                    public MessageContactTarget {
public:
    ORB_CLASS_NAME(MessageViewController)

    // How long "录音时间过短" (and the failure text) stays up.
    static constexpr double kTooShortHideDelay = 0.8;
    // Said when a recording could not be made into a clip.
    static constexpr const char* kRecordFailedText = "录音失败";
    // The action sheet with the camera, and the one without.
    // The input modes, kept in the mode button's tag.
    static constexpr int kModeText = 0;
    static constexpr int kModeVoice = 1;
    // The six-per-em space some pinyin keyboards leave between syllables.
    static constexpr const char* kSixPerEmSpace = "\u2006";
    static constexpr const char* kRecordTitle = "按住录音";
    static constexpr const char* kReleaseTitle = "释放发送";
    static constexpr const char* kTextModeImage = "message_btn_text.png";
    static constexpr const char* kVoiceModeImage = "message_btn_sound.png";
    static constexpr const char* kContactsDetailClass = "ContactsDetailViewController";

    MessageViewController();
    explicit MessageViewController(std::string nibName);
    ~MessageViewController() override;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void didReceiveMemoryWarning() override;

    // The other party: the title, the history (read from now on) and the
    // notifications of its new messages and of this screen's sends.
    void setContact(std::shared_ptr<core::ContactInfo> contact) override;
    using BaseViewController::setListData;
    void setListData(std::vector<std::shared_ptr<core::MessageInfo>> listData) { listData_ = std::move(listData); }
    const std::vector<std::shared_ptr<core::MessageInfo>>& listData() const { return listData_; }

    // A new message of the contact, or one of this screen's sends stored.
    void getNewMessage(const platform::Notification& notification);
    // One of this screen's sends failed: its bubble stays, marked as failed
    // (and the pipeline keeps the message until it is sent).
    void deleteMessage(const platform::Notification& notification);

    // Layout actions.
    void btnSendTouchUpInside(UIControl* sender);
    void btnSoundTouchUpInside(UIControl* sender);
    void btnPhotoTouchUpInside(UIControl* sender);
    void btnRecordTouchDown(UIControl* sender);
    void btnRecordTouchUp(UIControl* sender);
    void btnContactsTouchUpInside(UIControl* sender);
    void btnBackTouchUpInisde(UIControl* sender);

    void keyboadChanged(const platform::Notification& notification);
    void closeKeyboard();
    void openKeyboard();
    void scrollTableViewToBottom(bool animated = true);
    void scrollTableView();

    // Text field.
    bool textFieldShouldReturn(UITextField* field) override;
    // Table.
    long numberOfRowsInSection(UITableView*, long) override { return static_cast<long>(listData_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath& indexPath) override;
    void scrollViewWillBeginDragging(UIScrollView*) override;
    // Bubbles.
    void messageBaseCellDidClick(MessageBaseCell& cell) override;
    void messageBaseCellDidShowPhoto(MessageBaseCell& cell, int photoIndex) override;
    void messageBaseCellUpdateSize(MessageBaseCell& cell) override;
    // Sends a failed message again, as a new send.
    void messageBaseCellDidTapFailedMark(MessageBaseCell& cell) override;
    // Recording.
    void messageRecordViewRecordFinished(MessageRecordView&, const std::shared_ptr<core::SoundInfo>& sound) override;
    void messageRecordViewRecordFailed(MessageRecordView&, const platform::Error& error) override;
    // Photo picking.
    void actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex) override;
    void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController* picker, const platform::Dictionary& info) override;
    void imagePickerControllerDidCancel(UIImagePickerController* picker) override;
    // Photo browser.
    unsigned numberOfPhotosInPhotoBrowser(PhotoBrowser*) override { return static_cast<unsigned>(photos_.size()); }
    std::shared_ptr<BrowserPhotoProtocol> photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index) override;

private:
    std::shared_ptr<MessageViewController> self();
    bool isRecording() const;
    // Stops the shared player when it plays (or loads) a clip of this conversation.
    void stopOwnClip();
    // A message of one's own to the contact, written now and on its way.
    std::shared_ptr<core::MessageInfo> newOwnMessage() const;
    // Shows the message in its place and hands it to the send pipeline.
    void send(const std::shared_ptr<core::MessageInfo>& message);
    // Puts a new message where reopening the conversation would show it.
    void insertInTimeOrder(const std::shared_ptr<core::MessageInfo>& message);
    // One of this screen's sends, just stored: below the stored messages of
    // its second, as the store now lists it.
    void placeStoredSend(const std::shared_ptr<core::MessageInfo>& message);
    // Reloads and scrolls to the bottom, or, when the message's row would
    // then be above the screen, to the row itself.
    void reloadAndShow(const std::shared_ptr<core::MessageInfo>& message);
    void openPhotoBrowser(const core::MessageInfo& message, unsigned index);
    bool holds(const std::shared_ptr<core::MessageInfo>& message) const;

    float offsetY_ = 0;
    std::unique_ptr<core::MessageFactory> messageFactory_;
    bool isFirstTime_ = true;
    std::shared_ptr<ProgressOverlay> hud_;
    // The conversation's and the input bar's frames at rest, taken as the keyboard comes up.
    platform::Rect tableViewRect_;
    platform::Rect bottomViewRect_;
    bool keyboardUp_ = false;
    std::shared_ptr<core::ContactInfo> contact_;
    std::vector<std::shared_ptr<core::MessageInfo>> listData_;
    std::shared_ptr<MessageRecordView> recordView_;
    std::shared_ptr<UITextField> txtMessage_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIButton> btnRecord_;
    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UIImageView> txtBg_;
    std::shared_ptr<UIButton> btnVoice_;
    std::shared_ptr<UIButton> btnPhoto_;
    std::shared_ptr<UIButton> btnSend_;
    std::vector<std::shared_ptr<BrowserPhotoProtocol>> photos_;
    std::shared_ptr<UIView> bottomView_;
};
