#pragma once

#include "app/base/BaseViewController.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "messaging/history/SMSHistoryInfo.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>
#include <string>
#include <vector>

namespace foundation {
class FormDataRequest;
}
class UIButton;
class UIControl;
class UIImageView;
class UITextField;
class UIView;

// The SMS the platform sent for the account, received and sent, page by page
// from the server, switched with two buttons. The search field searches the
// list shown on the server and shows what it finds in a table over the list.
// Nothing is kept on the phone.
//
// An answer fills the list it was asked for: one that comes back after the
// person switched lists, or after the search ended, changes nothing.
class SMSHistoryViewController final : public BaseViewController,
                                       public UITableViewDataSource,
                                       public UITableViewDelegate,
                                       public RefreshTableViewDelegate,
                                       public UITextFieldDelegate,
                                       public foundation::HTTPRequestDelegate {
public:
    ORB_CLASS_NAME(SMSHistoryViewController)

    // The server's list types.
    static constexpr int kSentType = 1;
    static constexpr int kReceivedType = 2;
    static constexpr int kPageSize = 15;
    static constexpr const char* kCellIdentifier = "CustomCellIdentifier";
    static constexpr double kSearchAnimation = 0.3;

    SMSHistoryViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void loadSMSHistoryList();
    // Pages of the list shown: its total over the page size, rounded up,
    // counted in 64 bits; at least 1 and at most what a page counter holds.
    int totalPage() const;
    // The pages of a total of SMS, as totalPage counts them (a total below
    // zero is none).
    static int pagesFor(long long total);
    void requestSMSHistoryListSussceeded(const foundation::HTTPRequestPtr& request);
    void requestSMSHistoryListFailed(const foundation::HTTPRequestPtr& request);

    void btnReceiverAction(UIControl* sender);
    void btnSendAction(UIControl* sender);
    void btnCancelTouchUpInside(UIControl* sender);
    void btnGoBackAction(UIControl* sender);
    void txtSearchEditingChanged(UIControl* sender);

    void textFieldDidBeginEditing(UITextField* field) override;
    void textFieldDidEndEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;

    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*) override;
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override;

    long numberOfRowsInSection(UITableView* table, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    void willDisplayCell(UITableView*, UITableViewCell* cell, const NSIndexPath& path) override;

private:
    using List = std::vector<std::shared_ptr<SMSHistoryInfo>>;
    List& listOf(int type) { return type == kSentType ? smsSendHistoryList_ : smsReceiverHistoryList_; }
    int& pageOf(int type) { return type == kSentType ? sendpage_ : receiverPage_; }
    long long& totalOf(int type) { return type == kSentType ? sendTotal_ : receiverTotal_; }
    // Gives the table the total of the list shown, within its int.
    void showTotal(long long total);
    const List& rowsOf(UITableView* table) const;
    void switchTo(int type);
    void showEmptyText(bool empty);
    std::shared_ptr<UITableView> searchTable();

    int receiverPage_ = 1;
    int sendpage_ = 1;
    int type_ = kReceivedType;
    double orgSearchBarWidth_ = 0;
    bool isSearching_ = false;
    bool isPullDownRefresh_ = false;
    std::shared_ptr<foundation::FormDataRequest> historyRequest_;
    // What the request out was asked for.
    int requestType_ = kReceivedType;
    bool requestSearching_ = false;
    bool requestPullDown_ = false;
    int requestPage_ = 1;
    // Each list's total as its last answer gave it; the server's number may
    // be far past 32 bits.
    long long receiverTotal_ = 0;
    long long sendTotal_ = 0;
    std::shared_ptr<UIButton> btnReceiver_;
    std::shared_ptr<UIButton> btnSend_;
    std::shared_ptr<UIImageView> imgBtnbg_;
    std::shared_ptr<UIView> typeContainer_;
    std::shared_ptr<UITextField> txtSearcher_;
    std::shared_ptr<UIView> loadingView_;
    std::shared_ptr<RefreshTableView> tableview_;
    List smsReceiverHistoryList_;
    List smsSendHistoryList_;
    List searchedList_;
    std::string key_;
    std::shared_ptr<UITableView> searchTableView_;
    std::shared_ptr<UIView> searchBar_;
};
