#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/NavMessageInfo.h"
#include "core/store/MessageFactory.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "messaging/box/MessageNavigationCell.h"
#include "platform/os/Timer.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>
#include <vector>

namespace foundation {
class FormDataRequest;
}
class UIButton;
class UIControl;

// The first tab, "家校互动": the account's conversations and group sends from
// the message store. A one-second tick polls the platform for new messages
// every 20 ticks (never two polls at once); what arrives is stored (or, when
// the store refuses it, kept for the run, see UnsavedMessages), then
// announced as "new_message_<contact uid>" for an open chat, and the read and
// received states not yet reported go back to the server. The unread total
// goes to the first tab's badge and the account's unReadCount each time the
// list is replaced.
//
// Above the conversations sit the navigation rows: what is new in a feature
// (homework, notices, the e-magazine...), each opening that feature's screen.
// They are asked for when the box first appears, then every 60 ticks and on
// pull-down (never two requests at once); each answer replaces them.
//
// The box belongs to the account signed in when it was made: once another
// account (or nobody) is current it stops ticking and drops what its
// requests bring, so a reply never lands in another account's list.
class MessageBoxViewController final : public BaseViewController,
                                       public UITableViewDataSource,
                                       public UITableViewDelegate,
                                       public RefreshTableViewDelegate,
                                       public foundation::HTTPRequestDelegate,
                                       public MessageNavigationCellDelegate {
    // Only create() makes a box: one without its tick would never poll.
    struct Made {
        explicit Made() = default;
    };

public:
    ORB_CLASS_NAME(MessageBoxViewController)

    static constexpr double kTickSeconds = 1.0;
    // Ticks from one poll to the next.
    static constexpr int kPollTicks = 20;
    // Ticks from one navigation request to the next.
    static constexpr int kNavPollTicks = 60;
    // The background behind an empty list.
    static constexpr double kEmptyWhite = 220.0 / 255.0;
    static constexpr long kNavigationSection = 0;
    static constexpr long kListSection = 1;

    // What the tab bar makes: the screen with its list loaded and its tick
    // running (the registry's factory for the class name).
    static std::shared_ptr<MessageBoxViewController> create();

    explicit MessageBoxViewController(Made);
    ~MessageBoxViewController() override;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- The tick and the poll ------------------------------------------------------
    void handleTimer();
    void navHandleTimer();
    void loadMessage();
    void requestMessageSucceeded(const foundation::HTTPRequestPtr& request);
    void requestMessageFailed(const foundation::HTTPRequestPtr& request);

    // ---- The state report -----------------------------------------------------------
    void setState();
    void requestSetStateSucceeded(const foundation::HTTPRequestPtr& request);
    void requestSetStateFailed(const foundation::HTTPRequestPtr& request);

    // ---- Navigation messages ------------------------------------------------------------
    void loadNavigationMessage();
    void requestNavigationMessageSuccessed(const foundation::HTTPRequestPtr& request);
    void requestNavigationMessageFailed(const foundation::HTTPRequestPtr& request);

    // Replaces the list, recolours the table and publishes the unread total.
    using BaseViewController::setListData;
    void setListData(core::MessageList list);
    void btnSendTouchUpInside(UIControl* sender);
    void didSelectedMessageNavigation(const std::shared_ptr<UIViewController>& screen) override;

    // ---- Table ----------------------------------------------------------------------
    long numberOfSectionsInTableView(UITableView*) override { return 2; }
    long numberOfRowsInSection(UITableView*, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    void didSelectRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    bool canEditRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    bool supportsEditingCommits() const override { return true; }
    void commitEditingStyle(UITableView*, UITableViewCellEditingStyle, const NSIndexPath&) override;
    std::string titleForDeleteConfirmationButtonForRowAtIndexPath(UITableView*, const NSIndexPath&) override
    {
        return "删除";
    }
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*) override;
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override;

    // ---- State ------------------------------------------------------------------------
    // Where the tick stands and what is out, for whoever waits on the box.
    int ticks() const { return ticks_; }
    int navTicks() const { return navTicks_; }
    const core::MessageList& listData() const { return listData_; }
    const std::shared_ptr<platform::Timer>& timer() const { return timer_; }
    bool isPolling() const { return msgRequest_ != nullptr; }
    bool isReportingState() const { return stateRequest_ != nullptr; }
    bool isLoadingNavigation() const { return navMsgRequest_ != nullptr; }
    const std::vector<std::shared_ptr<core::NavMessageInfo>>& navigationRows() const { return listNavData_; }

private:
    // Whether the account the box was made for is still the signed-in one.
    bool belongsToCurrentAccount() const;
    // Stops the ticks and drops the requests: the box of an account no longer
    // signed in. Its poll on its way is handed over, not dropped.
    void stopPolling();
    // A poll on its way goes on without the box, its answer stored under the
    // box's account (MessagePolls).
    void handOverPoll();
    // The navigation rows' first request and their tick, at the first appearance.
    void startNavigationTicks();
    void reloadList();
    // Stores and announces a poll reply's new messages and applies its group-send counts.
    void applyPollReply(const foundation::HTTPRequestPtr& request);
    // Writes what the store refused earlier in the run, once it takes writes.
    void storeKeptMessages();
    void updateTableBackground();
    bool isGroupRecord(long row) const;
    // The height of the one row an empty list shows.
    double emptyRowHeight() const;

    std::unique_ptr<core::MessageFactory> messageFactory_;
    int ticks_ = 0;
    int navTicks_ = 0;
    core::MessageList listData_;
    std::vector<std::shared_ptr<core::NavMessageInfo>> listNavData_;
    std::shared_ptr<UIButton> btnSend_;
    std::shared_ptr<RefreshTableView> tableView_;
    std::shared_ptr<platform::Timer> timer_;
    std::shared_ptr<platform::Timer> navTimer_;
    bool navStarted_ = false;
    std::shared_ptr<foundation::FormDataRequest> navMsgRequest_;
    std::shared_ptr<foundation::FormDataRequest> msgRequest_;
    std::shared_ptr<foundation::FormDataRequest> stateRequest_;
    // The messages the outstanding report tells the server about.
    core::MessageList stateMessages_;
    int accountUid_ = 0;
    int accountType_ = 0;
};
