#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/MessageInfo.h"
#include "core/store/MessageFactory.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "messaging/box/MessageBoxTargets.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/UITableView.h"

#include <memory>
#include <string>
#include <vector>

namespace foundation {
class FormDataRequest;
}
class ProgressOverlay;
class UIButton;
class UIControl;
class UIImageView;
class UIView;

// "已读状态" of one group send: on the message tab who has read it and who
// has not, on the SMS tab whose SMS copy arrived and whose failed. Both lists
// come from the server for the tab shown; their sizes become the message's
// counters in the store. On the SMS tab the failed receivers can be sent the
// message again.
//
// A tab change cancels the list request still out for the other tab: an
// answer for one tab never fills (or counts into) the other.
class GroupStateViewController final : public BaseViewController,
                                       public UITableViewDataSource,
                                       public UITableViewDelegate,
                                       public foundation::HTTPRequestDelegate,
                                       public MessageRecordTarget {
public:
    ORB_CLASS_NAME(GroupStateViewController)

    static constexpr const char* kTitle = "已读状态";
    // The types the server knows the two tabs by.
    static constexpr int kMessageType = 1;
    static constexpr int kSmsType = 2;
    static constexpr double kOverlayHideDelay = 1.6;
    // Grey of the pulled-down gap and the header: from this level at rest up to the cap.
    static constexpr double kHeaderWhite = 0.7;
    static constexpr double kHeaderWhiteMax = 0.86;
    // The header keeps its layout form while the list is this near its top.
    static constexpr double kOrgHeaderOffset = 5.0;
    static constexpr const char* kNamesSeparator = ",  ";
    static constexpr const char* kUnknownName = "未知联系人";

    GroupStateViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    void setMessage(std::shared_ptr<core::MessageInfo> message) override;
    void setHideBtnResend(bool hide);
    void setUnReadNames(std::vector<std::string> names);
    void setReadNames(std::vector<std::string> names);
    void setOrgHeader(bool org);

    void loadData();
    void btnStateTouchUpInside(UIControl* sender);
    void btnResendTouchUpInside(UIControl* sender);
    void btnBackTouchUpInside(UIControl* sender);

    void requestStateSucceeded(const foundation::HTTPRequestPtr& request);
    void requestStateFailed(const foundation::HTTPRequestPtr& request);
    void requestResendSucceeded(const foundation::HTTPRequestPtr& request);
    void requestResendFailed(const foundation::HTTPRequestPtr& request);

    long numberOfRowsInSection(UITableView*, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    std::optional<double> heightForHeaderInSection(UITableView*, long) override;
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView*, long) override;
    void scrollViewDidScroll(UIScrollView* scrollView) override;

private:
    // The type of the tab shown: the selected tab is the one whose button is disabled.
    int selectedType() const;
    void showOverlay(const std::string& text, bool spinner);
    void hideOverlayLater(const std::string& text);
    void dropRequest(std::shared_ptr<foundation::FormDataRequest>& request);

    std::unique_ptr<core::MessageFactory> messageFactory_;
    std::shared_ptr<ProgressOverlay> hud_;
    platform::Rect orgBtnMsgFrame_;
    platform::Rect orgBtnSmsFrame_;
    std::shared_ptr<UIView> topBgView_;
    bool orgHeader_ = false;
    bool hideBtnResend_ = true;
    std::shared_ptr<core::MessageInfo> message_;
    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UIView> headerView_;
    std::shared_ptr<UIImageView> imgShadow_;
    std::shared_ptr<UIView> bottomBg_;
    std::shared_ptr<UIButton> btnSmsState_;
    std::shared_ptr<UIButton> btnMsgState_;
    std::vector<std::string> listData_;
    std::vector<std::string> unReadNames_;
    std::vector<std::string> readNames_;
    std::string unReadNamesTxt_;
    std::string readNamesTxt_;
    std::shared_ptr<foundation::FormDataRequest> stateRequest_;
    // The tab the list request out was made for; the screen opens on the message tab.
    int stateType_ = kMessageType;
    std::shared_ptr<foundation::FormDataRequest> resendRequest_;
};
