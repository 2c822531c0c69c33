#pragma once

#include "app/base/BaseViewController.h"
#include "contacts/book/AddressBookReply.h"
#include "contacts/book/ContactsCellDelegate.h"
#include "contacts/warn/WarnView.h"
#include "core/session/AccountInfo.h"
#include "core/store/ContactsFactory.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class ContactsTabButton;
class ProgressOverlay;
class UIButton;
class UIControl;
class UILabel;
class UIScrollView;

// The fourth tab, "我的通讯录": the account's school address book kept on the
// device. It exists from sign-in on, so it downloads the book (request type
// 54) when the account has none yet and whenever "kStartRefreshContacts" asks
// (the screen itself asks when its copy is a week old). A download is read
// whole off the main thread (refused past a size limit), stored in one
// transaction and only then reported as done
// ("kCompletedRefreshContacts"); every failure is reported as
// "kFailedRefreshContacts" with its text and changes nothing.
//
// It shows one tab per group, the selected group's contacts in sections by
// first letter with an index, and a search over every group; a row opens
// the contact's detail, its buttons call or message the contact.
class ContactsViewController final : public BaseViewController,
                                     public UITableViewDataSource,
                                     public UITableViewDelegate,
                                     public UITextFieldDelegate,
                                     public ContactsCellDelegate,
                                     public WarnViewDelegate {
    struct Made {
        explicit Made() = default;
    };

public:
    ORB_CLASS_NAME(ContactsViewController)

    static constexpr const char* kStartRefreshContacts = "kStartRefreshContacts";
    static constexpr const char* kCompletedRefreshContacts = "kCompletedRefreshContacts";
    static constexpr const char* kFailedRefreshContacts = "kFailedRefreshContacts";
    static constexpr const char* kShortcutDialKey = "not_warm_shortcutdial";
    static constexpr const char* kEmptyGroupText = "该分组为空";
    // The empty list's other words: a download running, a book of no group,
    // and no book at all after a download that did not bring one.
    static constexpr const char* kLoadingBookText = "正在加载通讯录...";
    static constexpr const char* kEmptyBookText = "通讯录为空";
    static constexpr const char* kNotLoadedText = "通讯录加载失败，请点击刷新";
    // The most group tabs the strip shows, in tab order (the rest are found
    // by the search): a school's colleagues, classes and other teachers come
    // to a few hundred at most (the largest book read, 481,000 people, is
    // some 480 classes of a thousand); a thousand tabs of classes' names
    // make a strip of some three hundred screens, past any swiping through;
    // and built, they take the main loop no longer than a few frames.
    static constexpr std::size_t kMostTabs = 1000;
    static constexpr double kSearchRowHeight = 44;
    static constexpr double kSearchAnimationDuration = 0.3;
    static constexpr double kWarnShortScreenOffset = 88;
    // The detail screen's call type when opened from the address book.
    static constexpr int kDetailCallType = 222;

    // What the tab bar makes: the screen with its book read from the store,
    // downloading at once when the account has never loaded one or the store
    // does not keep it.
    static std::shared_ptr<ContactsViewController> create();
    explicit ContactsViewController(Made);
    ~ContactsViewController() override;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    // ---- Loading -------------------------------------------------------------
    void loadData();
    void refreshContacts(const platform::Notification& notification);
    void btnRefreshTouchUpInside(UIControl* sender);
    bool isRefreshContact();
    bool isRefresh() const { return isRefresh_; }
    // The reply is in and being read (inflated, parsed, imported) and then
    // stored, both off the main thread.
    bool isReadingReply() const { return readingReply_; }

    // ---- Tabs and sections ----------------------------------------------------
    void setListGroup(core::GroupList groups);
    const core::GroupList& listGroup() const { return listGroup_; }
    void refreshTabBtn();
    void setCurrentTabBtn(const std::shared_ptr<ContactsTabButton>& button);
    void btnTabTouchUpInside(UIControl* sender);
    void refreshTableView();
    const std::vector<std::string>& listPinyin() const { return listPinyin_; }
    // Tab order: "COM" groups first, then by the uid's three-letter prefix,
    // equal prefixes by name.
    static bool groupComesBefore(const core::GroupInfo& a, const core::GroupInfo& b);

    // ---- Search ----------------------------------------------------------------
    void txtSearchEditingChanged(UIControl* sender);
    void btnCancelTouchUpInside(UIControl* sender);
    void keyboardChanged(const platform::Notification& notification);
    void textFieldDidBeginEditing(UITextField*) override;
    void textFieldDidEndEditing(UITextField*) override;
    bool textFieldShouldReturn(UITextField*) override;
    // The result row's subtitle: the phone (teachers see it for subscribers),
    // then the group name and remarks.
    static std::string searchSubtitle(const core::ContactInfo& contact, bool isTeacher);

    // ---- Row actions -------------------------------------------------------------
    void contactsCellDidClickAvatar(const std::shared_ptr<core::ContactInfo>& contact) override;
    void contactsCellDidClickAvatar(const std::shared_ptr<core::ContactInfo>& contact, int callType) override;
    void handleCallPhone();
    void callPhoneView();
    void showWarnView(const std::string& text, int state);
    void closeWarningViewWithNotNext(bool notNext, long buttonIndex) override;

    // ---- Tables ----------------------------------------------------------------------
    long numberOfSectionsInTableView(UITableView* table) override;
    long numberOfRowsInSection(UITableView* table, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForHeaderInSection(UITableView* table, long section) override;
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* table, long section) override;
    std::vector<std::string> sectionIndexTitlesForTableView(UITableView* table) override;
    void didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;

    // The row's cell class: who is signed in, whether the contact subscribes,
    // its type and phone. The row height is that class's own.
    static bool usesOneCell(const core::ContactInfo& contact, bool isTeacher);

    // Writes the store's record of the account's book as stored: the groups
    // it holds, each once. A screen made later takes the stored book up
    // without fetching it only where the record names the groups the store has.
    static void recordStoredBook(core::ContactsFactory& store, int account, const contacts::AddressBook& book);

private:
    // Shows the address book's notice (see ORBHelper::showProgressHud) over
    // whatever screen is on display, but never over a prompt waiting for the
    // person on the main screen: while one is up the notice goes just under it.
    void showNotice(const std::string& text, bool showLoading, bool canHide);
    void downloadFinished(contacts::AddressBookReply reply);
    void storeBook(contacts::AddressBook book);
    void bookStored(const std::shared_ptr<contacts::AddressBook>& book, bool stored);
    void downloadFailed(const std::string& message);
    // Whether the store holds the account's book as it was stored: the store's
    // record of it names as many groups as it holds.
    bool storeKeepsBook(std::size_t storedGroups);
    void openDetail(const std::shared_ptr<core::ContactInfo>& contact);
    void openTel(const std::string& phone);
    const std::shared_ptr<core::ContactInfo>& contactAt(UITableView* table, const NSIndexPath& path) const;
    void createSearchTableView();
    // The empty list's words for what is so now.
    void updateEmptyText();

    std::shared_ptr<core::AccountInfo> my_;
    bool isTeacher_ = false;
    std::unique_ptr<core::ContactsFactory> contactsFactory_;
    core::GroupList listGroup_;
    std::map<std::string, core::ContactList> listDataAll_;
    std::size_t groupCount_ = 0;
    // Whether the store kept the account's book when the screen was made
    // (a book of no group too).
    bool bookInStore_ = false;
    // Whether the screen shows a book: the store's, or one stored since.
    bool hasBook_ = false;
    bool isRefresh_ = false;
    bool readingReply_ = false;
    bool isVisible_ = false;

    std::vector<std::string> listPinyin_;
    std::vector<core::ContactList> listData_;
    core::ContactList listSearchData_;
    std::shared_ptr<core::ContactInfo> info_;
    std::string strWarn_;
    // The variant on display: only the confirmation runs an action.
    int warnState_ = WarnView::kConfirmVariant;
    double orgSearchBarWidth_ = 0;
    double orgSearchBarTop_ = 0;

    std::shared_ptr<UIScrollView> tabView_;
    std::shared_ptr<ContactsTabButton> currentTabBtn_;
    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UITableView> searchTableView_;
    std::shared_ptr<UITextField> txtSearch_;
    std::shared_ptr<UIView> searchBar_;
    std::shared_ptr<UILabel> lblEmpty_;
    std::shared_ptr<UIButton> refreshBtn_;
    // The notice last put under a prompt, replaced by the next one.
    std::weak_ptr<ProgressOverlay> noticeUnderPrompt_;
};
