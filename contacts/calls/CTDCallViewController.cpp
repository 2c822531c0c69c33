#include "contacts/calls/CTDCallViewController.h"

#include "contacts/book/ContactsViewController.h"
#include "core/network/ORBReplyParser.h"
#include "core/network/builders/ORBNavControl.h"
#include "foundation/http/FormDataRequest.h"
#include "platform/os/Log.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"
#include "ui/controls/StatusBarBacking.h"
#include "ui/overlay/ProgressOverlay.h"

using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

namespace {
constexpr const char* kUpdating = "正在更新CTD联系人...";
constexpr const char* kUpdated = "成功更新CTD联系人";
constexpr double kSearchAnimation = 0.3;
const platform::Color kSeparator(0.8, 0.8, 0.8, 1);

void keepCallBackContacts(const core::ContactList& from, core::ContactList& into)
{
    for (const auto& contact : from) {
        if (contact && !contact->ctdUrl.empty())
            into.push_back(contact);
    }
}

// "%@" of a reply value: a number as its digits, a text as it is.
std::string minutesText(const platform::Value& value)
{
    if (value.isString())
        return *value.asString();
    if (value.isNumber())
        return value.stringValue();
    return {};
}
} // namespace

CTDCallViewController::CTDCallViewController()
    : BaseViewController(std::string(kClassName))
    , contactsFactory_(std::make_unique<core::ContactsFactory>())
{
    setTitle(kTitle);
    loadContactsData();
}

void CTDCallViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("labTotalDuration", labTotalDuration_);
    bindings.outlet("labRemainDuration", labRemainDuration_);
    bindings.outlet("remainTimeBar", remainTimeBar_);
    bindings.outlet("searchBar", searchBar_);
    bindings.outlet("txtSearch", txtSearch_);
    bindings.outlet("tableView", tableView_);
    bindings.outlet("loadingView", loadingView_);
    bindings.outlet("refreshBtn", refreshBtn_);
    bindings.outlet("activityView", activityView_);
    bindings.action("refreshContacts:", &CTDCallViewController::refreshContacts);
    bindings.action("txtSearchEditingChanged:", &CTDCallViewController::txtSearchEditingChanged);
    bindings.action("btnCancelTouchUpInside:", &CTDCallViewController::btnCancelTouchUpInside);
}

void CTDCallViewController::loadContactsData()
{
    listDataAll_.clear();
    listGroup_ = contactsFactory_->getGroups().value_or(core::GroupList {});
    for (const auto& group : listGroup_) {
        if (auto contacts = contactsFactory_->getContactsWithGroup(group->uid))
            keepCallBackContacts(*contacts, listDataAll_);
    }
}

void CTDCallViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto self = BaseViewController::self<CTDCallViewController>();
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    txtSearch_->setDelegate(std::weak_ptr<UITextFieldDelegate>(self));
    orgSearchBarWidth_ = searchBar_->frame().width();
    hud_ = ProgressOverlay::initWithView(view());
    hud_->setAnimationType(ProgressOverlayAnimationZoom);
    view()->addSubview(hud_);
    // The list and its loading cover end at the foot of the screen on either screen.
    keepAtVisibleBottom(tableView_);
    keepAtVisibleBottom(loadingView_);
    activityView_->setHidden(true);
    if (!listDataAll_.empty()) {
        loadingView_->setAlpha(0);
        tableView_->setAlpha(1);
        tableView_->reloadData();
    } else {
        tableView_->setAlpha(0);
        loadingView_->setAlpha(1);
        loadingView_->addSubview(ORBHelper::errorView(loadingView_->bounds(), kNoContactsText));
    }
    observe(UIKeyboardDidShowNotification, &CTDCallViewController::keyboardChanged);
    observe(UIKeyboardDidHideNotification, &CTDCallViewController::keyboardChanged);
    observe(ContactsViewController::kCompletedRefreshContacts, &CTDCallViewController::completedRefresh);
    observe(ContactsViewController::kFailedRefreshContacts, &CTDCallViewController::failedRefresh);
}

void CTDCallViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    loadCTDState();
}

void CTDCallViewController::loadCTDState()
{
    cancelAllRequests();
    startRequest(core::ORBNavControl::getCTDStateDelegate(weakSelf<CTDCallViewController>(),
        RequestSelector::method(&CTDCallViewController::requestCTDStateSussceeded),
        RequestSelector::method(&CTDCallViewController::requestCTDStateFailed)));
}

void CTDCallViewController::requestCTDStateSussceeded(const HTTPRequestPtr& request)
{
    if (!isCurrentRequest(request.get()))
        return;
    finishRequest(request.get());
    // The minutes of a package: a short answer, read as the dispatcher reads
    // one; a reply past that is refused unread and said so.
    auto answer = core::ORBReplyParser::readReply(*request, core::kLargestShortReply, "ctd state");
    if (answer.tooLarge) {
        hud_->setMode(ProgressOverlayModeText);
        hud_->setLabelText(core::ORBReplyParser::kReplyTooLargeText);
        hud_->show(true);
        hud_->hide(true, kMinutesFailedDelay);
        return;
    }
    platform::Value reply = answer.value.value_or(platform::Value());
    if (!reply.isDictionary())
        return;
    if (auto total = minutesText(reply["packageTime"]); !total.empty())
        labTotalDuration_->setText(total);
    if (auto remain = minutesText(reply["remainTime"]); !remain.empty())
        labRemainDuration_->setText(remain);
}

void CTDCallViewController::requestCTDStateFailed(const HTTPRequestPtr& request)
{
    if (!isCurrentRequest(request.get()))
        return;
    finishRequest(request.get());
    hud_->setMode(ProgressOverlayModeText);
    hud_->setLabelText(kMinutesFailedText);
    hud_->show(true);
    hud_->hide(true, kMinutesFailedDelay);
}

void CTDCallViewController::refreshContacts(UIControl*)
{
    platform::NotificationCenter::defaultCenter().post(ContactsViewController::kStartRefreshContacts);
    ORBHelper::showProgressHud(kUpdating, true, false);
    refreshBtn_->setHidden(true);
    activityView_->setHidden(false);
    activityView_->startAnimating();
}

void CTDCallViewController::completedRefresh(const platform::Notification&)
{
    ORBHelper::showProgressHud(kUpdated, false, true);
    loadContactsData();
    loadingView_->setAlpha(0);
    tableView_->setAlpha(1);
    refreshBtn_->setHidden(false);
    activityView_->stopAnimating();
    activityView_->setHidden(true);
    tableView_->reloadData();
    loadCTDState();
}

void CTDCallViewController::failedRefresh(const platform::Notification& notification)
{
    ORBHelper::showProgressHud(notification.object.stringValue(), false, true);
    refreshBtn_->setHidden(false);
    activityView_->stopAnimating();
    activityView_->setHidden(true);
}

std::shared_ptr<UITableView> CTDCallViewController::searchTableView()
{
    if (searchTableView_)
        return searchTableView_;
    searchTableView_ = std::make_shared<UITableView>(view()->bounds(), UITableViewStylePlain);
    searchTableView_->setAlpha(0);
    searchTableView_->setOutletName("searchTableView");
    auto self = BaseViewController::self<CTDCallViewController>();
    searchTableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    searchTableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    searchTableView_->setBackgroundColor(platform::Color::whiteColor());
    searchTableView_->setSeparatorColor(kSeparator);
    view()->addSubview(searchTableView_);
    searchedContacts();
    return searchTableView_;
}

void CTDCallViewController::searchedContacts()
{
    listSearchData_.clear();
    keepCallBackContacts(
        contactsFactory_->getContactsWithKeyword(txtSearch_->text()).value_or(core::ContactList {}), listSearchData_);
}

void CTDCallViewController::txtSearchEditingChanged(UIControl*)
{
    auto table = searchTableView();
    searchedContacts();
    table->reloadData();
}

void CTDCallViewController::btnCancelTouchUpInside(UIControl*) { txtSearch_->resignFirstResponder(); }

void CTDCallViewController::callCTDNow() { txtSearch_->resignFirstResponder(); }

bool CTDCallViewController::textFieldShouldReturn(UITextField* field)
{
    if (field)
        field->resignFirstResponder();
    return true;
}

void CTDCallViewController::textFieldDidBeginEditing(UITextField*)
{
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, true);
    searchTableView();
    // Without the navigation bar the view starts under the status bar.
    double top = StatusBarBacking::cover(*view(), searchBar_->backgroundColor());
    view()->bringSubviewToFront(searchBar_);
    UIView::animateWithDuration(kSearchAnimation, weakCallback<CTDCallViewController>([top](CTDCallViewController& screen) {
        auto bounds = screen.view()->bounds();
        auto bar = screen.searchBar_->frame();
        screen.searchBar_->setFrame(platform::Rect(0, top, bounds.width(), bar.height()));
        screen.searchTableView_->setFrame(
            platform::Rect(0, top + bar.height(), bounds.width(), bounds.height() - top - bar.height()));
        screen.searchTableView_->setAlpha(1);
    }));
}

void CTDCallViewController::textFieldDidEndEditing(UITextField*)
{
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    StatusBarBacking::uncover(*view());
    UIView::animateWithDuration(kSearchAnimation, weakCallback<CTDCallViewController>([](CTDCallViewController& screen) {
        if (screen.searchTableView_)
            screen.searchTableView_->setAlpha(0);
        screen.txtSearch_->setText("");
        auto bar = screen.searchBar_->frame();
        auto minutes = screen.remainTimeBar_->frame();
        screen.searchBar_->setFrame(platform::Rect(bar.minX(), minutes.maxY(), screen.orgSearchBarWidth_, bar.height()));
    }));
}

void CTDCallViewController::keyboardChanged(const platform::Notification& notification)
{
    if (notification.name != UIKeyboardDidShowNotification) {
        // The keys gone, the list reaches the foot of the screen again.
        applyVisibleBottoms();
        return;
    }
    auto end = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey));
    const double keyboard = end ? end->height() : platform::Keyboard::kHeight;
    const auto& durationValue = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey);
    double duration = durationValue.isNull() ? platform::Keyboard::kAnimationDuration : durationValue.doubleValue();
    UIView::animateWithDuration(duration, weakCallback<CTDCallViewController>([keyboard](CTDCallViewController& screen) {
        const double bottom = std::max(0.0, screen.view()->bounds().height() - keyboard);
        // The list under the search bar ends at the keys while they are up:
        // its last rows scroll into sight instead of lying beneath them.
        auto list = screen.tableView_->frame();
        list.size.height = std::max(0.0, bottom - list.minY());
        screen.tableView_->setFrame(list);
        if (!screen.searchTableView_)
            return;
        // Under the search bar (below the status bar while searching), down to the keyboard.
        const double top = screen.searchBar_->frame().maxY();
        screen.searchTableView_->setFrame(platform::Rect(0, top, screen.view()->bounds().width(), std::max(0.0, bottom - top)));
    }));
}

long CTDCallViewController::numberOfRowsInSection(UITableView* table, long)
{
    return static_cast<long>(table == searchTableView_.get() ? listSearchData_.size() : listDataAll_.size());
}

std::shared_ptr<UITableViewCell> CTDCallViewController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    const auto& list = table == searchTableView_.get() ? listSearchData_ : listDataAll_;
    auto cell = BaseCell::dequeue<CTDViewCell>(*table);
    if (path.row >= 0 && static_cast<std::size_t>(path.row) < list.size())
        cell->setContact(list[static_cast<std::size_t>(path.row)]);
    cell->setDelegate(weakSelf<CTDCallViewController>());
    return cell;
}
