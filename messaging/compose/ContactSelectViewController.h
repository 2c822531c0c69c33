#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/ContactInfo.h"
#include "core/model/GroupInfo.h"
#include "core/session/AccountInfo.h"
#include "messaging/compose/ContactsGroupCell.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class UIButton;
class UIControl;
class UILabel;

// "选择接收人": the receivers of a group send, chosen by group or person. The
// screen keeps no selection of its own: it ticks the very group and contact
// objects the compose screen handed over (the contacts' `selected`, the
// groups' `selectCount`), so leaving by back or by OK keeps every change.
// Only people who can receive (`isCustomer`) are ever ticked.
class ContactSelectViewController final : public BaseViewController,
                                          public UITableViewDataSource,
                                          public UITableViewDelegate,
                                          public UITextFieldDelegate,
                                          public UIAlertViewDelegate,
                                          public ContactsGroupCellDelete {
public:
    ORB_CLASS_NAME(ContactSelectViewController)

    using GroupList = std::vector<std::shared_ptr<core::GroupInfo>>;
    using ContactList = std::vector<std::shared_ptr<core::ContactInfo>>;
    using ContactsByGroup = std::map<std::string, ContactList>;

    static constexpr const char* kTitle = "选择接收人";
    static constexpr const char* kSelectAllTitle = "选择全部";
    static constexpr const char* kResetTitle = "重置";
    static constexpr int kAlertGroupCheckBox = 0;
    static constexpr int kAlertSelectAll = 2;
    static constexpr double kTransitionDuration = 0.3;
    static constexpr double kSearchRowHeight = 44;

    ContactSelectViewController();
    explicit ContactSelectViewController(std::string nibName);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    // Handed over by the compose screen before the push.
    void setListGroup(GroupList groups);
    void setListDataAll(ContactsByGroup contacts);

    // Layout actions.
    void btnBackTouchUpInside(UIControl* sender);
    void btnOkTouchUpInside(UIControl* sender);
    void btnSelectTouchUpInside(UIControl* sender);
    void btnCancelTouchUpInside(UIControl* sender);
    void txtSearchEditingChanged(UIControl* sender);

    // Ticks (or clears) the people who can receive: of the group last opened
    // or ticked, or of every group.
    void selectData(bool currentGroup, bool selected);
    void selectAll();
    void unSelectAll();
    void refreshData();
    void refreshTableView();
    void refreshSearchData();
    void keyboardChanged(const platform::Notification& notification);

    // Whether the text matches the pattern as a LIKE comparison that ignores
    // case and accents: "*" stands for any run of characters, every other
    // character (quotes included) for itself.
    static bool likeMatches(std::string_view text, std::string_view pattern);

    // Table.
    long numberOfRowsInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;
    std::optional<double> heightForHeaderInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* tableView, long section) override;
    void didSelectRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;
    // Search field.
    void textFieldDidBeginEditing(UITextField* field) override;
    void textFieldDidEndEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;
    // Questions.
    void alertViewClickedButton(UIAlertView* alert, long buttonIndex) override;
    void contactsGroupCellDidSelected(ContactsGroupCell& cell, const std::shared_ptr<core::GroupInfo>& group) override;

private:
    const ContactList& contactsOf(const core::GroupInfo& group) const;
    void setTotal(int total);
    void setIsSelectAll(bool isSelectAll);
    void ask(const std::string& message, int tag);
    void makeSearchTableView();

    float orgSearchBarWidth_ = 0;
    double orgSearchBarTop_ = 0;
    int contactsType_ = 0;
    float totalViewPadding_ = 0;
    std::shared_ptr<core::AccountInfo> my_;
    bool isSelectAll_ = false;
    GroupList listGroup_;
    ContactsByGroup listDataAll_;
    ContactList listDetail_;
    ContactList listSearch_;
    ContactList listSearchAll_;
    std::shared_ptr<UIView> detailHeader_;
    std::shared_ptr<UILabel> lblGroupName_;
    std::shared_ptr<UILabel> lblSelectCount_;
    std::shared_ptr<UITextField> txtSearch_;
    std::shared_ptr<UIView> searchBar_;
    std::shared_ptr<UILabel> lblTotal_;
    std::shared_ptr<UITableView> groupTableView_;
    std::shared_ptr<UITableView> detailTableView_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> operateView_;
    std::shared_ptr<UITableView> searchTableView_;
    std::shared_ptr<UIView> totalView_;
    std::shared_ptr<UIButton> btnSelect_;
    int total_ = 0;
};
