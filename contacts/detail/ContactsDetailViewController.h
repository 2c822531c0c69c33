#pragma once

#include "app/base/BaseViewController.h"
#include "contacts/warn/WarnView.h"
#include "core/model/ContactInfo.h"
#include "messaging/chat/MessageViewController.h"
#include "platform/services/SmsComposer.h"
#include "platform/uikit/UIActionSheet.h"

#include <memory>
#include <string>
#include <vector>

class UIButton;
class UIControl;
class UIImageView;
class UILabel;
class UIScrollView;
class UIView;

// "详细资料": one contact with avatar, name, role and phone, and two actions
// that depend on the opener. From the address book (call type 222, or any
// value of 2 or more): "打电话" (click-to-dial for a teacher, or the own
// phone) and "发消息" (the in-app chat or the SMS composer). From the chat (0):
// "本机拨打" and "点击拨打". Each prompt on the way has its own do-not-remind
// key; the service's refusal notice runs nothing and stores no key.
class ContactsDetailViewController final : public BaseViewController,
                                           public ContactsDetailScreen,
                                           public UIActionSheetDelegate,
                                           public WarnViewDelegate,
                                           public platform::SmsComposerDelegate {
public:
    ORB_CLASS_NAME(ContactsDetailViewController)

    static constexpr const char* kTitle = "详细资料";
    static constexpr int kFromChat = 0;
    static constexpr int kFromAddressBook = 222;
    // The sheets.
    static constexpr long kMessageSheet = 101;
    static constexpr long kTeacherCallSheet = 102;
    static constexpr long kOtherCallSheet = 103;
    static constexpr long kChatCallSheet = 104;
    // What a confirmed prompt runs.
    static constexpr int kChooseSms = 101;
    static constexpr int kChooseTeacherLocal = 102;
    static constexpr int kChooseCallScreen = 103;
    static constexpr int kChooseOtherLocal = 104;
    static constexpr const char* kSmsKey = "not_warm_sendmfmessage";
    static constexpr const char* kTeacherLocalKey = "not_warm_phoneteacher";
    static constexpr const char* kCallScreenKey = "not_warm_callphone";
    static constexpr const char* kOtherLocalKey = "not_warm_parentlocal";
    static constexpr double kCornerRadius = 4.0;
    static constexpr double kWarnShortScreenOffset = 58;

    ContactsDetailViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    void setContact(std::shared_ptr<core::ContactInfo> contact) override;
    const std::shared_ptr<core::ContactInfo>& contact() const { return contact_; }
    void setCallType(unsigned callType) { callType_ = callType; }
    int chooseTag() const { return chooseTag_; }
    void refreshView();

    void btnCallTouchUpInside(UIControl* sender);
    void btnSmsTouchUpInside(UIControl* sender);
    void handleCallPhone();
    void callPhoneView();
    void sendMFMessages();
    void showWarnView(const std::string& text, int state);

    void actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex) override;
    void closeWarningViewWithNotNext(bool notNext, long buttonIndex) override;
    void messageComposeDidFinish(platform::SmsComposer& composer, platform::MessageComposeResult result) override;

private:
    bool fromAddressBook() const { return callType_ >= 2; }
    bool isTeacherUser() const;
    void showSheet(long tag, const std::string& title, std::optional<std::string> destructive,
        std::vector<std::string> others);
    void askLocalCall(int choose, const char* key);
    void openUrl();
    std::string phone() const { return contact_ ? contact_->phone : std::string(); }

    std::shared_ptr<core::ContactInfo> contact_;
    unsigned callType_ = kFromChat;
    int chooseTag_ = 0;
    std::string strWarn_;
    std::string url_;
    int warnState_ = WarnView::kConfirmVariant;

    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIImageView> imgAvatar_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblRemarks_;
    std::shared_ptr<UILabel> lblType_;
    std::shared_ptr<UILabel> lblPhone_;
    std::shared_ptr<UIButton> btnCall_;
    std::shared_ptr<UIButton> btnSms_;
    std::vector<std::shared_ptr<UIView>> lblViews_;
};
