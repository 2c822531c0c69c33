#pragma once

#include "app/base/BaseViewController.h"
#include "contacts/calls/CTDViewCell.h"
#include "core/store/ContactsFactory.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"

#include <memory>
#include <string>

class ProgressOverlay;
class UIActivityIndicatorView;
class UIButton;
class UIControl;
class UILabel;

// "CTD电话": the account's contacts that offer a call-back, from the stored
// address book, with the package's minutes and the minutes left, a search,
// and a refresh that asks the address book for a new download and waits for
// its answer, whichever it is. Each row has the server call the contact back.
class CTDCallViewController final : public BaseViewController,
                                    public UITableViewDataSource,
                                    public UITableViewDelegate,
                                    public UITextFieldDelegate,
                                    public foundation::HTTPRequestDelegate,
                                    public CTDViewCellDelegate {
public:
    ORB_CLASS_NAME(CTDCallViewController)

    static constexpr const char* kTitle = "CTD电话";
    static constexpr double kRowHeight = 70;
    static constexpr const char* kNoContactsText = "未有CTD联系人信息，请重新加载";
    // The minutes could not be read (the text is ours: the minutes', not a timetable's).
    static constexpr const char* kMinutesFailedText = "通话时长加载失败";
    static constexpr double kMinutesFailedDelay = 1.6;

    CTDCallViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void loadContactsData();
    const core::ContactList& listDataAll() const { return listDataAll_; }
    void loadCTDState();
    void requestCTDStateSussceeded(const foundation::HTTPRequestPtr& request);
    void requestCTDStateFailed(const foundation::HTTPRequestPtr& request);
    void refreshContacts(UIControl* sender);
    void completedRefresh(const platform::Notification& notification);
    void failedRefresh(const platform::Notification& notification);

    void txtSearchEditingChanged(UIControl* sender);
    void btnCancelTouchUpInside(UIControl* sender);
    void searchedContacts();
    std::shared_ptr<UITableView> searchTableView();
    void callCTDNow() override;
    void textFieldDidBeginEditing(UITextField*) override;
    void textFieldDidEndEditing(UITextField*) override;
    bool textFieldShouldReturn(UITextField*) override;
    void keyboardChanged(const platform::Notification& notification);

    long numberOfRowsInSection(UITableView* table, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override { return kRowHeight; }

private:
    std::unique_ptr<core::ContactsFactory> contactsFactory_;
    core::GroupList listGroup_;
    core::ContactList listDataAll_;
    core::ContactList listSearchData_;
    double orgSearchBarWidth_ = 0;
    std::shared_ptr<ProgressOverlay> hud_;

    std::shared_ptr<UILabel> labTotalDuration_;
    std::shared_ptr<UILabel> labRemainDuration_;
    std::shared_ptr<UIView> remainTimeBar_;
    std::shared_ptr<UIView> searchBar_;
    std::shared_ptr<UITextField> txtSearch_;
    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UITableView> searchTableView_;
    std::shared_ptr<UIView> loadingView_;
    std::shared_ptr<UIButton> refreshBtn_;
    std::shared_ptr<UIActivityIndicatorView> activityView_;
};
