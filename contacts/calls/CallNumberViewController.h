#pragma once

#include "app/base/BaseViewController.h"
#include "contacts/ContactsScreens.h"
#include "core/model/ContactInfo.h"
#include "core/model/HistoryInfo.h"
#include "platform/uikit/UIAlertView.h"

#include <cstdint>
#include <memory>
#include <string>

class UIButton;
class UIControl;
class UIImageView;
class UILabel;

// "点击拨号": places one click-to-dial call as soon as it loads and lets the
// person end it with the same button. The party is a contact (its uid is the
// link id), a dialled number (link id 0) or a history row (its link id, kept
// whole, the same on start and stop). Leaving while the call is up, by the
// back button or the swipe, asks first; the screen goes only once the
// hang-up has succeeded, so a call is never left running without its screen.
class CallNumberViewController final : public BaseViewController,
                                       public CallNumberTarget,
                                       public UIAlertViewDelegate {
public:
    ORB_CLASS_NAME(CallNumberViewController)

    static constexpr const char* kTitle = "点击拨号";
    static constexpr const char* kLeaveQuestion = "您正在拨打电话中，是否挂断返回？";
    static constexpr double kTallWarnExtra = 69;
    static constexpr int kLeaveAlertTag = 1;

    CallNumberViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    void setContact(std::shared_ptr<core::ContactInfo> contact) override;
    void setHistory(std::shared_ptr<core::HistoryInfo> history);
    void setCallType(int callType) override { callType_ = callType; }
    void setStrWarn(std::string strWarn) override { strWarn_ = std::move(strWarn); }
    bool isCalling() const { return isCalling_; }

    void startCall();
    void stopCall();
    void btnDialTouchUpInside(UIControl* sender);
    void btnBackTouchUpInside(UIControl* sender);

    void alertViewClickedButton(UIAlertView* alert, long buttonIndex) override;

private:
    void showParty();
    // The three values start and stop send; nothing without a party.
    std::optional<platform::Value> callParams() const;
    void sendCall(bool start);
    void callAnswered(bool start, const platform::Value& reply);
    void setCallingLook(bool calling);
    void goBack();

    std::shared_ptr<core::ContactInfo> contact_;
    std::shared_ptr<core::HistoryInfo> history_;
    int callType_ = 3;
    std::string strWarn_;
    bool isCalling_ = false;
    // "是的" was chosen: the screen goes when the hang-up succeeds.
    bool leaveAfterStop_ = false;
    bool requestOut_ = false;

    std::shared_ptr<UIImageView> imgViewContact_;
    std::shared_ptr<UILabel> titleContact_;
    std::shared_ptr<UILabel> numContact_;
    std::shared_ptr<UIButton> btnCallContact_;
    std::shared_ptr<UILabel> lblWarn_;
};
