#include "contacts/book/ContactsViewController.h"

#include "contacts/ContactsClock.h"
#include "contacts/ContactsScreens.h"
#include "contacts/book/AddressBookImport.h"
#include "contacts/book/ContactsHeader.h"
#include "contacts/book/ContactsOneCell.h"
#include "contacts/book/ContactsTabButton.h"
#include "contacts/book/ContactsTwoCell.h"
#include "contacts/detail/ContactsDetailViewController.h"
#include "contacts/warn/WarnPrompt.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "core/session/MyAccountInfo.h"
#include "messaging/chat/MessageViewController.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "platform/services/UrlOpener.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/ORBHelper.h"
#include "ui/controls/StatusBarBacking.h"
#include "ui/overlay/ProgressOverlay.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace {

// Frees what it is given on a worker: a book's records are many small blocks.
template <class T> void releaseOffMain(T&& doomed)
{
    auto held = std::make_shared<std::decay_t<T>>(std::forward<T>(doomed));
    platform::dispatchAsync([held = std::move(held)]() mutable { held.reset(); });
}

constexpr const char* kTitle = "我的通讯录";
constexpr const char* kLoadingText = "正在加载联系人信息...";
constexpr const char* kUpdatedText = "联系人更新完毕";
constexpr const char* kNoBookText = "加载通讯录失败，请重试...";
// A reply the client could read but that is no address book.
constexpr const char* kUnusableBookText = "通讯录数据解析失败";
constexpr const char* kStoreFailedText = "通讯录保存失败，请重试";
constexpr const char* kTeacherPlaceholder = "请输入姓名或手机";
constexpr const char* kOtherPlaceholder = "请输入姓名";
constexpr const char* kLocalCallFormat = "是否拨打%s,使用本机电话拨打,收取正常电话通讯费";
constexpr const char* kCallScreen = "CallNumberViewController";
constexpr const char* kDetailScreen = "ContactsDetailViewController";
constexpr const char* kSearchCellIdentifier = "cell";

const platform::Color kSearchSeparator(0.8, 0.8, 0.8, 1);

// A prompt waiting for the person over the main screen (the greeting after
// sign-in): a dimmed overlay showing a view of its own on the root screen's
// view. Window overlays are drawn over it; nothing when none is up.
std::shared_ptr<ProgressOverlay> promptOverMainScreen()
{
    auto delegate = UIApplication::sharedApplication().delegate();
    auto window = delegate ? delegate->window() : nullptr;
    auto root = window ? UIViewController::rootViewControllerOf(window.get()) : nullptr;
    if (!root || !root->isViewLoaded())
        return nullptr;
    auto overlays = ProgressOverlay::allHUDsForView(root->view());
    for (auto it = overlays.rbegin(); it != overlays.rend(); ++it) {
        const auto& overlay = *it;
        if (overlay->mode() == ProgressOverlayModeCustomView && overlay->customView() && overlay->dimBackground()
            && !overlay->isHidden())
            return overlay;
    }
    return nullptr;
}

std::string prefixOf(const std::string& uid)
{
    // The first three characters, whole characters in UTF-8.
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < uid.size()) {
        if ((static_cast<unsigned char>(uid[i]) & 0xC0) != 0x80) {
            if (count == 3)
                break;
            ++count;
        }
        ++i;
    }
    return uid.substr(0, i);
}

std::string formatted(const char* format, const std::string& value)
{
    std::string text(format);
    auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, value);
    return text;
}

void pushScreen(UIViewController& from, const std::shared_ptr<UIViewController>& screen)
{
    if (auto navigation = from.navigationController(); navigation && screen)
        navigation->pushViewController(screen, true);
}

} // namespace

std::shared_ptr<ContactsViewController> ContactsViewController::create()
{
    auto screen = std::make_shared<ContactsViewController>(Made {});
    screen->observe(kStartRefreshContacts, &ContactsViewController::refreshContacts);
    // The settings' word that the book was loaded holds only while the store
    // keeps it: a damaged store set aside for a fresh one has no record of
    // it. A book of no group, kept, is no reason to fetch it again.
    if (!screen->my_ || !contacts::AddressBookRecord(screen->my_->uid).hasLoad() || !screen->bookInStore_)
        screen->loadData();
    return screen;
}

ContactsViewController::ContactsViewController(Made)
    : BaseViewController(std::string(kClassName))
    , my_(core::MyAccountInfo::currentAccount())
    , contactsFactory_(std::make_unique<core::ContactsFactory>())
{
    setTitle(kTitle);
    isTeacher_ = my_ && my_->type == 1;
    auto stored = contactsFactory_->getGroups();
    bookInStore_ = my_ && stored && storeKeepsBook(stored->size());
    hasBook_ = bookInStore_;
    setListGroup(std::move(stored).value_or(core::GroupList {}));
    for (const auto& group : listGroup_) {
        if (auto contacts = contactsFactory_->getContactsWithGroup(group->uid))
            listDataAll_[group->uid] = std::move(*contacts);
    }
}

ContactsViewController::~ContactsViewController() = default;

void ContactsViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tabView", tabView_);
    bindings.outlet("tableView", tableView_);
    bindings.outlet("txtSearch", txtSearch_);
    bindings.outlet("searchBar", searchBar_);
    bindings.outlet("lblEmpty", lblEmpty_);
    bindings.outlet("refreshBtn", refreshBtn_);
    bindings.action("txtSearchEditingChanged:", &ContactsViewController::txtSearchEditingChanged);
    bindings.optionalAction("btnCancelTouchUpInside:", &ContactsViewController::btnCancelTouchUpInside);
    bindings.action("btnRefreshTouchUpInside:", &ContactsViewController::btnRefreshTouchUpInside);
}

void ContactsViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    if (!isRefreshContact())
        platform::NotificationCenter::defaultCenter().post(kStartRefreshContacts);
    observe(UIKeyboardDidShowNotification, &ContactsViewController::keyboardChanged);
    auto self = BaseViewController::self<ContactsViewController>();
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    txtSearch_->setDelegate(std::weak_ptr<UITextFieldDelegate>(self));
    txtSearch_->setPlaceholder(isTeacher_ ? kTeacherPlaceholder : kOtherPlaceholder);
    orgSearchBarWidth_ = searchBar_->frame().width();
    orgSearchBarTop_ = searchBar_->frame().minY();
    // The list ends on the tab bar on either screen.
    keepAtVisibleBottom(tableView_);
    refreshTabBtn();
    refreshTableView();
}

void ContactsViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    isVisible_ = true;
    refreshBtn_->setTitle("", UIControlStateNormal);
}

void ContactsViewController::viewDidDisappear(bool animated)
{
    BaseViewController::viewDidDisappear(animated);
    isVisible_ = false;
}

// ---- Loading ----------------------------------------------------------------------

// The store's own record of the account's book (ContactsFactory::bookRecordKey):
// the groups it was stored with, in the store's key/value table, so that it
// goes with the file. A fresh store has none; a copy of a damaged file that
// left people behind marks it incomplete.

bool ContactsViewController::storeKeepsBook(std::size_t storedGroups)
{
    std::optional<std::string> recorded;
    if (contactsFactory_->open()) {
        recorded = contactsFactory_->getInfo(core::ContactsFactory::bookRecordKey(my_->uid));
        contactsFactory_->close();
    }
    // A book stored before the store kept the record: its groups are the record.
    if (!recorded)
        return storedGroups > 0;
    return *recorded == std::to_string(storedGroups);
}

void ContactsViewController::recordStoredBook(
    core::ContactsFactory& store, int account, const contacts::AddressBook& book)
{
    // The store keeps each group once.
    std::unordered_set<std::string_view> groups;
    for (const auto& group : book.groups) {
        if (group)
            groups.insert(group->uid);
    }
    if (!store.open())
        return;
    store.setInfo(core::ContactsFactory::bookRecordKey(account), std::to_string(groups.size()));
    store.close();
}

bool ContactsViewController::isRefreshContact()
{
    if (!my_)
        return false;
    contacts::AddressBookRecord record(my_->uid);
    return record.isRefreshContact(contacts::wallClockNow());
}

void ContactsViewController::loadData()
{
    // Set as the request goes out, not when the transfer starts: a refresh
    // asked for in between would otherwise start a second download.
    isRefresh_ = true;
    updateEmptyText();
    contacts::AddressBookDownload download;
    download.started = weakCallback<ContactsViewController>([](ContactsViewController& screen) {
        if (screen.isVisible_)
            screen.showNotice(kLoadingText, true, false);
        screen.isRefresh_ = true;
    });
    download.arrived = weakCallback<ContactsViewController>([](ContactsViewController& screen) {
        screen.readingReply_ = true;
    });
    download.finished = weakCallback<ContactsViewController>([](ContactsViewController& screen,
                                                                 contacts::AddressBookReply reply) {
        screen.downloadFinished(std::move(reply));
    });
    contacts::downloadAddressBook(std::move(download));
}

void ContactsViewController::refreshContacts(const platform::Notification&)
{
    // Every live book screen hears the call, the one of an account left as
    // well while the tabs it was made with are still being let go: the book
    // it would fetch is the account's signed in now, which is not its own.
    auto current = core::MyAccountInfo::currentAccount();
    if (isRefresh_ || (my_ && (!current || current->uid != my_->uid)))
        return;
    loadData();
}

void ContactsViewController::btnRefreshTouchUpInside(UIControl*)
{
    if (isRefresh_)
        return;
    loadData();
}

void ContactsViewController::showNotice(const std::string& text, bool showLoading, bool canHide)
{
    if (auto previous = noticeUnderPrompt_.lock()) {
        previous->setRemoveFromSuperViewOnHide(true);
        previous->hide(false);
    }
    noticeUnderPrompt_.reset();
    auto prompt = promptOverMainScreen();
    auto host = prompt ? prompt->superview() : nullptr;
    if (!host) {
        ORBHelper::showProgressHud(text, showLoading, canHide);
        return;
    }
    // One notice at a time, as on the window.
    ORBHelper::hideProgressHud();
    auto overlay = ProgressOverlay::initWithView(host);
    host->insertSubviewBelow(overlay, prompt);
    overlay->setRemoveFromSuperViewOnHide(true);
    // It is not seen while the prompt is up: once the prompt has been
    // closed it must not hold the screen's touches back either.
    overlay->setUserInteractionEnabled(false);
    overlay->setAnimationType(ProgressOverlayAnimationZoom);
    overlay->setMode(showLoading ? ProgressOverlayModeSpinner : ProgressOverlayModeText);
    overlay->setLabelText(text);
    overlay->show(true);
    if (canHide)
        overlay->hide(true, ORBHelper::kProgressHudHideDelay);
    noticeUnderPrompt_ = overlay;
}

void ContactsViewController::downloadFinished(contacts::AddressBookReply reply)
{
    if (reply.outcome == contacts::AddressBookReply::Outcome::Book && reply.book) {
        storeBook(std::move(*reply.book));
        return;
    }
    readingReply_ = false;
    switch (reply.outcome) {
    case contacts::AddressBookReply::Outcome::Book:
        downloadFailed(kUnusableBookText);
        return;
    case contacts::AddressBookReply::Outcome::NoBook:
        downloadFailed(kNoBookText);
        return;
    case contacts::AddressBookReply::Outcome::Failed:
        downloadFailed(reply.message);
        return;
    }
}

void ContactsViewController::storeBook(contacts::AddressBook received)
{
    // The account may have changed while the book was on its way: it belongs
    // to the account this screen was made for, which is no longer the one
    // the store would write under.
    auto current = core::MyAccountInfo::currentAccount();
    if (!my_ || !current || current->uid != my_->uid) {
        readingReply_ = false;
        isRefresh_ = false;
        updateEmptyText();
        releaseOffMain(std::move(received));
        return;
    }
    // A large school's book takes the store seconds to write: the write runs
    // on a worker, for the account the book was asked for, and the screen
    // takes the book up once it is stored.
    auto book = std::make_shared<contacts::AddressBook>(std::move(received));
    auto done = weakCallback<ContactsViewController>(
        [](ContactsViewController& screen, std::shared_ptr<contacts::AddressBook> stored, bool ok) {
            screen.bookStored(stored, ok);
        });
    platform::dispatchAsync([book, account = my_->uid, done]() mutable {
        const bool ok = core::ContactsFactory::storeAddressBook(account, book->groups, book->contacts);
        platform::postToMain([book = std::move(book), ok, done = std::move(done)]() mutable {
            done(book, ok);
            // A screen gone meanwhile leaves the records to be freed here, off the main loop.
            releaseOffMain(std::move(book));
        });
        // The book it replaced goes after the screen has the new one.
        core::ContactsFactory::dropReplacedBook();
    });
}

void ContactsViewController::bookStored(const std::shared_ptr<contacts::AddressBook>& stored, bool ok)
{
    readingReply_ = false;
    if (!ok) {
        downloadFailed(kStoreFailedText);
        return;
    }
    contacts::AddressBook* book = stored.get();
    // The book taken down is freed on a worker: half a million records take
    // the main loop a frame or more to free.
    releaseOffMain(std::move(listDataAll_));
    listDataAll_.clear();
    groupCount_ = book->groups.size();
    setListGroup(book->groups);
    // The lists of the groups the strip shows.
    std::unordered_set<std::string_view> shown;
    for (const auto& group : listGroup_)
        shown.insert(group->uid);
    for (std::size_t i = 0; i < book->groups.size(); ++i) {
        // A group listed twice keeps the later list, as the store does.
        if (book->groups[i] && shown.count(book->groups[i]->uid))
            listDataAll_[book->groups[i]->uid] = std::move(book->contacts[i]);
    }
    recordStoredBook(*contactsFactory_, my_->uid, *book);
    contacts::AddressBookRecord(my_->uid).markLoaded(contacts::wallClockNow());
    hasBook_ = true;
    isRefresh_ = false;
    refreshTableView();
    platform::log("post notification completed\n");
    showNotice(kUpdatedText, false, true);
    platform::NotificationCenter::defaultCenter().post(kCompletedRefreshContacts);
}

void ContactsViewController::downloadFailed(const std::string& message)
{
    isRefresh_ = false;
    updateEmptyText();
    showNotice(message, false, true);
    // The call-back list waits for one of the two answers.
    platform::NotificationCenter::defaultCenter().post(kFailedRefreshContacts, platform::Value(message));
}

// ---- Tabs and sections --------------------------------------------------------------

bool ContactsViewController::groupComesBefore(const core::GroupInfo& a, const core::GroupInfo& b)
{
    std::string pa = prefixOf(a.uid);
    std::string pb = prefixOf(b.uid);
    if (pa == pb)
        return a.name < b.name;
    if (pa == "COM" || pb == "COM")
        return pa == "COM";
    return pa < pb;
}

void ContactsViewController::setListGroup(core::GroupList groups)
{
    groups.erase(std::remove(groups.begin(), groups.end(), nullptr), groups.end());
    std::stable_sort(groups.begin(), groups.end(),
        [](const auto& a, const auto& b) { return groupComesBefore(*a, *b); });
    if (groups.size() > kMostTabs) {
        platform::log("the address book has %zu groups: the strip shows the first %zu\n", groups.size(), kMostTabs);
        groups.resize(kMostTabs);
    }
    listGroup_ = std::move(groups);
    refreshTabBtn();
}

void ContactsViewController::refreshTabBtn()
{
    if (!isViewLoaded())
        return;
    tabView_->removeAllSubviews();
    currentTabBtn_.reset();
    double x = 0;
    for (const auto& group : listGroup_) {
        auto button = ContactsTabButton::make();
        if (!button)
            continue;
        button->setGroup(group);
        button->addTarget(self<ContactsViewController>(), &ContactsViewController::btnTabTouchUpInside,
            UIControlEventTouchUpInside);
        auto frame = button->frame();
        button->setFrame(platform::Rect(x, frame.minY(), frame.width(), frame.height()));
        x += frame.width();
        if (!currentTabBtn_) {
            currentTabBtn_ = button;
            button->setSelect(true);
        }
        tabView_->addSubview(button);
    }
    tabView_->setContentSize(platform::Size(x, tabView_->contentSize().height));
}

void ContactsViewController::setCurrentTabBtn(const std::shared_ptr<ContactsTabButton>& button)
{
    if (!button || button == currentTabBtn_)
        return;
    if (currentTabBtn_)
        currentTabBtn_->setSelect(false);
    button->setSelect(true);
    currentTabBtn_ = button;
    refreshTableView();
}

void ContactsViewController::btnTabTouchUpInside(UIControl* sender)
{
    for (const auto& subview : tabView_->subviews()) {
        if (subview.get() == sender)
            setCurrentTabBtn(std::dynamic_pointer_cast<ContactsTabButton>(subview));
    }
}

void ContactsViewController::refreshTableView()
{
    listPinyin_.clear();
    listData_.clear();
    core::ContactList contacts;
    if (currentTabBtn_ && currentTabBtn_->group()) {
        if (auto found = listDataAll_.find(currentTabBtn_->group()->uid); found != listDataAll_.end())
            contacts = found->second;
    }
    std::stable_sort(
        contacts.begin(), contacts.end(), [](const auto& a, const auto& b) { return a->firstC < b->firstC; });
    for (const auto& contact : contacts) {
        if (listPinyin_.empty() || listPinyin_.back() != contact->firstC) {
            listPinyin_.push_back(contact->firstC);
            listData_.emplace_back();
        }
        listData_.back().push_back(contact);
    }
    if (!isViewLoaded())
        return;
    lblEmpty_->setHidden(!listPinyin_.empty());
    updateEmptyText();
    tableView_->reloadData();
}

void ContactsViewController::updateEmptyText()
{
    if (!isViewLoaded())
        return;
    // Loading only while a download runs; a book that is there, kept or
    // fetched, is empty where it is; without one, the person is told it did
    // not load and what to do.
    if (isRefresh_)
        lblEmpty_->setText(kLoadingBookText);
    else if (!hasBook_)
        lblEmpty_->setText(kNotLoadedText);
    else
        lblEmpty_->setText(listGroup_.empty() ? kEmptyBookText : kEmptyGroupText);
}

// ---- Search --------------------------------------------------------------------------

std::string ContactsViewController::searchSubtitle(const core::ContactInfo& contact, bool isTeacher)
{
    std::string subtitle;
    if (isTeacher && !contact.phone.empty() && contact.isCustomer)
        subtitle = contact.phone + " - ";
    subtitle += contact.groupName;
    if (!contact.remarks.empty())
        subtitle += " " + contact.remarks;
    return subtitle;
}

void ContactsViewController::createSearchTableView()
{
    if (searchTableView_)
        return;
    searchTableView_ = std::make_shared<UITableView>(view()->bounds(), UITableViewStylePlain);
    searchTableView_->setOutletName("searchTableView");
    searchTableView_->setAlpha(0);
    searchTableView_->setBackgroundColor(platform::Color::whiteColor());
    searchTableView_->setSeparatorColor(kSearchSeparator);
    auto self = BaseViewController::self<ContactsViewController>();
    searchTableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    searchTableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    view()->addSubview(searchTableView_);
    listSearchData_ = contactsFactory_->getContactsWithKeyword(txtSearch_->text()).value_or(core::ContactList {});
    searchTableView_->reloadData();
}

void ContactsViewController::txtSearchEditingChanged(UIControl*)
{
    createSearchTableView();
    listSearchData_ = contactsFactory_->getContactsWithKeyword(txtSearch_->text()).value_or(core::ContactList {});
    searchTableView_->reloadData();
}

void ContactsViewController::btnCancelTouchUpInside(UIControl*) { txtSearch_->resignFirstResponder(); }

bool ContactsViewController::textFieldShouldReturn(UITextField* field)
{
    if (field)
        field->resignFirstResponder();
    return true;
}

void ContactsViewController::textFieldDidBeginEditing(UITextField*)
{
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, true);
    createSearchTableView();
    // The search takes the whole screen, with no way back on it but the
    // return key: back ends it as that key does, as it closes a menu over
    // the screen.
    platform::ModalStack::showMenu(
        searchTableView_, weakCallback<ContactsViewController>([](ContactsViewController& screen) {
            if (screen.txtSearch_->isFirstResponder())
                screen.textFieldShouldReturn(screen.txtSearch_.get());
        }));
    // Without the navigation bar the view starts under the status bar: the
    // search bar goes below it, over the tab strip and the refresh button.
    double top = StatusBarBacking::cover(*view(), searchBar_->backgroundColor());
    view()->bringSubviewToFront(searchBar_);
    UIView::animateWithDuration(kSearchAnimationDuration,
        weakCallback<ContactsViewController>([top](ContactsViewController& screen) {
            auto bounds = screen.view()->bounds();
            auto bar = screen.searchBar_->frame();
            screen.searchBar_->setFrame(platform::Rect(bar.minX(), top, bounds.width(), bar.height()));
            screen.searchTableView_->setFrame(
                platform::Rect(0, top + bar.height(), bounds.width(), bounds.height() - top - bar.height()));
            screen.searchTableView_->setAlpha(1);
        }));
}

void ContactsViewController::textFieldDidEndEditing(UITextField*)
{
    if (searchTableView_)
        platform::ModalStack::menuClosed(searchTableView_.get());
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    StatusBarBacking::uncover(*view());
    UIView::animateWithDuration(kSearchAnimationDuration,
        weakCallback<ContactsViewController>([](ContactsViewController& screen) {
            if (screen.searchTableView_)
                screen.searchTableView_->setAlpha(0);
            // The list behind is the whole book: the field no longer says otherwise.
            screen.txtSearch_->setText("");
            auto bar = screen.searchBar_->frame();
            screen.searchBar_->setFrame(
                platform::Rect(bar.minX(), screen.orgSearchBarTop_, screen.orgSearchBarWidth_, bar.height()));
        }));
}

void ContactsViewController::keyboardChanged(const platform::Notification& notification)
{
    if (!searchTableView_)
        return;
    auto end = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey));
    double keyboard = end ? end->height() : platform::Keyboard::kHeight;
    const auto& durationValue = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey);
    double duration = durationValue.isNull() ? platform::Keyboard::kAnimationDuration : durationValue.doubleValue();
    UIView::animateWithDuration(duration,
        weakCallback<ContactsViewController>([keyboard](ContactsViewController& screen) {
            auto frame = screen.searchTableView_->frame();
            frame.size.height = std::max(0.0, screen.view()->bounds().height() - keyboard - frame.minY());
            screen.searchTableView_->setFrame(frame);
        }));
}

// ---- Row actions ----------------------------------------------------------------------

void ContactsViewController::openDetail(const std::shared_ptr<core::ContactInfo>& contact)
{
    auto detail = platform::ClassRegistry::shared().createAs<ContactsDetailViewController>(kDetailScreen);
    if (!detail)
        return;
    detail->setContact(contact);
    detail->setCallType(kDetailCallType);
    pushScreen(*this, detail);
}

void ContactsViewController::contactsCellDidClickAvatar(const std::shared_ptr<core::ContactInfo>& contact)
{
    openDetail(contact);
}

void ContactsViewController::contactsCellDidClickAvatar(const std::shared_ptr<core::ContactInfo>& contact, int callType)
{
    info_ = contact;
    if (callType == kCallTypeMessage) {
        auto chat = platform::ClassRegistry::shared().createAs<MessageViewController>(MessageViewController::kClassName);
        if (chat)
            chat->setContact(contact);
        pushScreen(*this, chat);
        return;
    }
    if (callType != kCallTypeCall || !contact)
        return;
    if (isTeacher_) {
        handleCallPhone();
        return;
    }
    if (contacts::warnSilenced(kShortcutDialKey))
        openTel(contact->phone);
    else
        showWarnView(formatted(kLocalCallFormat, contact->phone), WarnView::kConfirmVariant);
}

void ContactsViewController::openTel(const std::string& phone)
{
    if (!platform::UrlOpener::shared().openURL("tel:" + phone)) {
        auto alert = std::make_shared<UIAlertView>("提示", "无法拨打电话号码", std::weak_ptr<UIAlertViewDelegate>(), "确定");
        alert->show();
    }
}

void ContactsViewController::handleCallPhone()
{
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        static_cast<int>(core::ORBRequestType::CtdCheck), platform::Value(), nullptr,
        weakCallback<ContactsViewController>([](ContactsViewController& screen, const platform::Value& reply) {
            screen.strWarn_ = reply["resultMsg"].stringValue();
            if (reply["status"].intValue() != 0) {
                if (contacts::warnSilenced(kShortcutDialKey))
                    screen.callPhoneView();
                else
                    screen.showWarnView(screen.strWarn_, WarnView::kConfirmVariant);
            } else {
                screen.showWarnView(reply["dealResult"].stringValue(), WarnView::kNoticeVariant);
            }
        }),
        weakCallback<ContactsViewController>([](ContactsViewController& screen, const std::string& message) {
            // A failure is no work in progress: the text alone.
            screen.showNotice(message, false, true);
        }));
}

void ContactsViewController::callPhoneView()
{
    auto screen = platform::ClassRegistry::shared().createAs<UIViewController>(kCallScreen);
    if (auto call = std::dynamic_pointer_cast<CallNumberTarget>(screen); call && info_) {
        call->setContact(info_);
        call->setCallType(info_->type == 2 ? 0 : info_->type == 1 ? 2 : 3);
        call->setStrWarn(strWarn_);
    }
    pushScreen(*this, screen);
}

void ContactsViewController::showWarnView(const std::string& text, int state)
{
    warnState_ = state;
    contacts::showWarnView(view(), text, state, weakSelf<ContactsViewController>(), kWarnShortScreenOffset);
}

void ContactsViewController::closeWarningViewWithNotNext(bool notNext, long buttonIndex)
{
    contacts::hideWarnView(view());
    // The service's refusal is a notice: closing it runs nothing and
    // silences nothing.
    if (buttonIndex != WarnView::kConfirmTag || warnState_ != WarnView::kConfirmVariant)
        return;
    if (isTeacher_)
        callPhoneView();
    else if (info_)
        openTel(info_->phone);
    contacts::storeWarnTick(kShortcutDialKey, notNext);
}

// ---- Tables ---------------------------------------------------------------------------

bool ContactsViewController::usesOneCell(const core::ContactInfo& contact, bool isTeacher)
{
    if (isTeacher)
        return contact.isCustomer && !(contact.type == 1 && contact.phone.empty());
    return contact.isCustomer && contact.type == 1;
}

const std::shared_ptr<core::ContactInfo>& ContactsViewController::contactAt(
    UITableView* table, const NSIndexPath& path) const
{
    static const std::shared_ptr<core::ContactInfo> none;
    if (table == searchTableView_.get()) {
        return path.row >= 0 && static_cast<std::size_t>(path.row) < listSearchData_.size()
            ? listSearchData_[static_cast<std::size_t>(path.row)]
            : none;
    }
    if (path.section < 0 || static_cast<std::size_t>(path.section) >= listData_.size())
        return none;
    const auto& rows = listData_[static_cast<std::size_t>(path.section)];
    return path.row >= 0 && static_cast<std::size_t>(path.row) < rows.size() ? rows[static_cast<std::size_t>(path.row)]
                                                                             : none;
}

long ContactsViewController::numberOfSectionsInTableView(UITableView* table)
{
    return table == searchTableView_.get() ? 1 : static_cast<long>(listData_.size());
}

long ContactsViewController::numberOfRowsInSection(UITableView* table, long section)
{
    if (table == searchTableView_.get())
        return static_cast<long>(listSearchData_.size());
    return section >= 0 && static_cast<std::size_t>(section) < listData_.size()
        ? static_cast<long>(listData_[static_cast<std::size_t>(section)].size())
        : 0;
}

std::shared_ptr<UITableViewCell> ContactsViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    const auto& contact = contactAt(table, path);
    if (table == searchTableView_.get()) {
        auto cell = table->dequeueReusableCellWithIdentifier(kSearchCellIdentifier);
        if (!cell) {
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyleSubtitle, kSearchCellIdentifier);
            cell->setSelectedBackgroundView(
                std::make_shared<UIImageView>(UIImage::imageNamed("public_cel_selected_bg.png")));
            cell->setBackgroundColor(platform::Color::clearColor());
        }
        cell->textLabel()->setText(contact ? contact->name : std::string());
        cell->detailTextLabel()->setText(contact ? searchSubtitle(*contact, isTeacher_) : std::string());
        return cell;
    }
    const bool lastInSection = static_cast<std::size_t>(path.row) + 1
        == listData_[static_cast<std::size_t>(path.section)].size();
    auto self = weakSelf<ContactsViewController>();
    if (contact && usesOneCell(*contact, isTeacher_)) {
        auto cell = BaseCell::dequeue<ContactsOneCell>(*table);
        cell->setDelegate(self);
        cell->setIsTeacher(isTeacher_);
        cell->setContact(contact);
        cell->lineView()->setHidden(lastInSection);
        return cell;
    }
    auto cell = BaseCell::dequeue<ContactsTwoCell>(*table);
    cell->setDelegate(self);
    cell->setContact(contact);
    cell->lineView()->setHidden(lastInSection);
    return cell;
}

std::optional<double> ContactsViewController::heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    if (table == searchTableView_.get())
        return kSearchRowHeight;
    // The height of the cell the row shows, whatever the reason it was chosen.
    const auto& contact = contactAt(table, path);
    return contact && usesOneCell(*contact, isTeacher_) ? BaseCell::height<ContactsOneCell>()
                                                        : BaseCell::height<ContactsTwoCell>();
}

std::optional<double> ContactsViewController::heightForHeaderInSection(UITableView* table, long)
{
    return table == searchTableView_.get() ? 0.0 : ContactsHeader::kHeight;
}

std::shared_ptr<UIView> ContactsViewController::viewForHeaderInSection(UITableView* table, long section)
{
    if (table == searchTableView_.get() || section < 0 || static_cast<std::size_t>(section) >= listPinyin_.size())
        return nullptr;
    return ContactsHeader::make(listPinyin_[static_cast<std::size_t>(section)]);
}

std::vector<std::string> ContactsViewController::sectionIndexTitlesForTableView(UITableView* table)
{
    return table == searchTableView_.get() ? std::vector<std::string> {} : listPinyin_;
}

void ContactsViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    if (const auto& contact = contactAt(table, path))
        openDetail(contact);
}
