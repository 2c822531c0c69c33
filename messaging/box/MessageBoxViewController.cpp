#include "messaging/box/MessageBoxViewController.h"

#include "app/main/ORBViewController.h"
#include "core/network/ORBReplyParser.h"
#include "core/network/builders/ORBRivuContrl.h"
#include "core/session/MyAccountInfo.h"
#include "foundation/http/FormDataRequest.h"
#include "messaging/box/MessageBoxTargets.h"
#include "messaging/box/MessageEmptyCell.h"
#include "messaging/box/MessageGroupCell.h"
#include "messaging/box/MessagePolls.h"
#include "messaging/box/MessageSingleCell.h"
#include "messaging/send/UnsavedMessages.h"
#include "platform/os/Log.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"

using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

namespace {

constexpr const char* kTitle = "家校互动";
constexpr const char* kComposeScreen = "MessageSendViewController";
constexpr const char* kChatScreen = "MessageViewController";
constexpr const char* kGroupScreen = "GroupMessageViewController";

bool isGroupRecordMessage(const core::MessageInfo& message) { return message.group && message.to; }

// Read as the dispatcher reads its replies, within the ceiling of the
// reply's kind: the poll comes every 20 s whatever the person does, so a
// reply that would cost more than its kind can be is dropped unread (the
// next poll asks again).
template <class Kind> platform::Value parseReply(const HTTPRequestPtr& request, Kind kind, const char* label)
{
    return core::ORBReplyParser::readReply(*request, kind, label).value.value_or(platform::Value());
}

// Only a count moved, or a request went out: nothing on the screen changed,
// so the window need not be drawn again for this tick (twice a second on a
// still screen).
void tickedQuietly() { platform::RunLoop::current().markCalloutQuiet(); }

void pushScreen(UIViewController& from, const std::shared_ptr<UIViewController>& screen)
{
    if (auto navigation = from.navigationController(); navigation && screen)
        navigation->pushViewController(screen, true);
}

} // namespace

std::shared_ptr<MessageBoxViewController> MessageBoxViewController::create()
{
    auto box = std::make_shared<MessageBoxViewController>(Made {});
    // Its view now, list and all: a poll answer or a tick may come before the
    // tab is first shown, and finds the table there.
    box->view();
    // Held weakly: a box the tab bar drops goes, and its tick with it.
    box->timer_ = box->repeatEvery(kTickSeconds, &MessageBoxViewController::handleTimer);
    return box;
}

MessageBoxViewController::MessageBoxViewController(Made)
    : BaseViewController(std::string(kClassName))
    , messageFactory_(std::make_unique<core::MessageFactory>())
{
    setTitle(kTitle);
    if (auto account = core::MyAccountInfo::currentAccount()) {
        accountUid_ = account->uid;
        accountType_ = account->type;
    }
}

MessageBoxViewController::~MessageBoxViewController() { handOverPoll(); }

void MessageBoxViewController::handOverPoll()
{
    // Its answer is stored under this box's account all the same: the server
    // has handed those messages out and will not again.
    if (!msgRequest_ || !isCurrentRequest(msgRequest_.get()))
        return;
    finishRequest(msgRequest_.get());
    MessagePolls::shared()->adopt(msgRequest_, accountUid_);
    msgRequest_.reset();
}

void MessageBoxViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
}

void MessageBoxViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto self = BaseViewController::self<MessageBoxViewController>();
    btnSend_ = imageBarButton("message_box_compose_btn.png", "btnSend", &MessageBoxViewController::btnSendTouchUpInside);
    // Only teachers write group messages.
    auto account = core::MyAccountInfo::currentAccount();
    setRightItem(account && account->type == 1 ? btnSend_ : nullptr);
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    tableView_->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(self));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    // The box ends on the tab bar on either screen.
    keepAtVisibleBottom(tableView_);
    reloadList();
}

void MessageBoxViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    // Back from a chat: its messages are read now, a hidden conversation gone.
    if (belongsToCurrentAccount()) {
        reloadList();
        if (!navStarted_)
            startNavigationTicks();
    }
}

void MessageBoxViewController::startNavigationTicks()
{
    navStarted_ = true;
    // Asked at once, so the rows come with the first look at the box; the
    // tick asks again every kNavPollTicks from here.
    navTicks_ = 0;
    navHandleTimer();
    navTimer_ = repeatEvery(kTickSeconds, &MessageBoxViewController::navHandleTimer);
}

bool MessageBoxViewController::belongsToCurrentAccount() const
{
    auto account = core::MyAccountInfo::currentAccount();
    return account && account->uid == accountUid_ && account->type == accountType_;
}

void MessageBoxViewController::stopPolling()
{
    cancelTimer(timer_);
    timer_.reset();
    if (navTimer_)
        cancelTimer(navTimer_);
    navTimer_.reset();
    ticks_ = 0;
    navTicks_ = 0;
    handOverPoll();
    cancelAllRequests();
    navMsgRequest_.reset();
    stateRequest_.reset();
    tableView_->doneLoadingTableViewData();
}

void MessageBoxViewController::reloadList()
{
    setListData(
        UnsavedMessages::shared().mergedIntoLast(messageFactory_->getMessageLast().value_or(core::MessageList {})));
    tableView_->reloadData();
}

// ---- The tick and the poll ----------------------------------------------------------

void MessageBoxViewController::handleTimer()
{
    if (!belongsToCurrentAccount()) {
        stopPolling();
        return;
    }
    if (ticks_ == 0) {
        // A poll still out holds the count at 0: the next one goes on the
        // first tick after it ends.
        if (msgRequest_) {
            tickedQuietly();
            return;
        }
        loadMessage();
        ticks_ = 1;
        // Sending changes nothing on the screen either; its answer does.
        if (msgRequest_)
            tickedQuietly();
    } else {
        ticks_ = (ticks_ + 1) % kPollTicks;
        tickedQuietly();
    }
}

void MessageBoxViewController::navHandleTimer()
{
    if (!belongsToCurrentAccount()) {
        stopPolling();
        return;
    }
    if (navTicks_ == 0) {
        if (navMsgRequest_) {
            tickedQuietly();
            return;
        }
        platform::log("i am running\n");
        loadNavigationMessage();
        navTicks_ = 1;
        if (navMsgRequest_)
            tickedQuietly();
    } else {
        navTicks_ = (navTicks_ + 1) % kNavPollTicks;
        tickedQuietly();
    }
}

void MessageBoxViewController::loadMessage()
{
    // The client is ending: it waits only for the polls already out.
    if (!MessagePolls::shared()->mayStart())
        return;
    msgRequest_ = core::ORBRivuContrl::messageNewWithDelegate(weakSelf<MessageBoxViewController>(),
        RequestSelector::method(&MessageBoxViewController::requestMessageSucceeded),
        RequestSelector::method(&MessageBoxViewController::requestMessageFailed));
    startRequest(msgRequest_);
    MessagePolls::shared()->started(msgRequest_);
}

void MessageBoxViewController::requestMessageSucceeded(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, msgRequest_))
        return;
    MessagePolls::shared()->answered(request.get());
    if (belongsToCurrentAccount()) {
        storeKeptMessages();
        applyPollReply(request);
        // Every answer republishes the total, "no news" too: messages read
        // in a chat since the last poll stop counting on the tab.
        reloadList();
    } else {
        // Asked for this box's account before another was signed in: stored
        // under it, announced to nobody.
        MessagePolls::store(*messageFactory_, MessagePolls::messagesOf(MessagePolls::answerOf(*request)), accountUid_);
    }
    msgRequest_.reset();
    tableView_->doneLoadingTableViewData();
    setState();
}

void MessageBoxViewController::requestMessageFailed(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, msgRequest_))
        return;
    MessagePolls::shared()->answered(request.get());
    if (belongsToCurrentAccount())
        storeKeptMessages();
    msgRequest_.reset();
    tableView_->doneLoadingTableViewData();
    setState();
}

void MessageBoxViewController::applyPollReply(const HTTPRequestPtr& request)
{
    platform::Value reply = MessagePolls::answerOf(*request);
    if (!reply.isDictionary())
        return;

    core::MessageList arrived = MessagePolls::messagesOf(reply);
    if (!arrived.empty()) {
        // Stored first: whoever hears of a message finds it in the store.
        MessagePolls::store(*messageFactory_, arrived, accountUid_);
        for (const auto& message : arrived) {
            message->updatePhotosInfo();
            message->updateSoundsInfo();
            platform::Dictionary info;
            info.set("message", platform::Value(std::static_pointer_cast<platform::Object>(message)));
            platform::NotificationCenter::defaultCenter().post(
                "new_message_" + std::to_string(message->contact->uid), platform::Value(), std::move(info));
        }
    }
    if (const platform::Value& stats = reply["groupsendstat"]; stats.isArray()) {
        core::MessageList records;
        for (const auto& item : *stats.asArray()) {
            auto record = core::MessageInfo::messageWithObj(item);
            if (!record || record->uid.empty())
                continue;
            record->group = true;
            record->to = true;
            records.push_back(std::move(record));
        }
        if (!records.empty())
            messageFactory_->setMessageStateChanged(records);
    }
    // The caller republishes the list after the announcements: a chat open
    // on the sender has read its messages by then, so they no longer count.
}

void MessageBoxViewController::storeKeptMessages()
{
    // Messages the store refused earlier in the run are written as soon as
    // it takes writes again, at every poll, whether or not the poll brings
    // news: a quiet conversation, or a server that is down, must not leave
    // them in memory until the exit. Before the poll's own messages, so that
    // the kept ones stand before them.
    UnsavedMessages::shared().storeKeptInto(*messageFactory_);
}

// ---- The state report -------------------------------------------------------------

void MessageBoxViewController::setState()
{
    // One report at a time: a report still out would otherwise be replaced
    // uncancelled and could answer into a box that has gone.
    if (stateRequest_ || !belongsToCurrentAccount())
        return;
    auto changed = messageFactory_->getMessageStateChanged();
    if (!changed || changed->empty())
        return;
    stateMessages_ = std::move(*changed);
    stateRequest_ = core::ORBRivuContrl::setMessageState(stateMessages_, weakSelf<MessageBoxViewController>(),
        RequestSelector::method(&MessageBoxViewController::requestSetStateSucceeded),
        RequestSelector::method(&MessageBoxViewController::requestSetStateFailed));
    startRequest(stateRequest_);
}

void MessageBoxViewController::requestSetStateSucceeded(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, stateRequest_))
        return;
    // The report is answered with an envelope alone.
    platform::Value reply = parseReply(request, core::kLargestShortReply, "state report");
    const platform::Value& result = reply["resultState"];
    if (reply.isDictionary() && result.isNumber() && result.intValue() == 1 && belongsToCurrentAccount())
        messageFactory_->setMessageStateChanged(stateMessages_);
    stateMessages_.clear();
    stateRequest_.reset();
}

void MessageBoxViewController::requestSetStateFailed(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, stateRequest_))
        return;
    if (auto error = request->error())
        platform::log("%s\n", error->description().c_str());
    // Reported again after the next poll.
    stateMessages_.clear();
    stateRequest_.reset();
}

// ---- Navigation messages ------------------------------------------------------------

void MessageBoxViewController::loadNavigationMessage()
{
    platform::Dictionary params;
    if (auto updateTime = platform::UserDefaults::standard()->stringForKey("updateTime"))
        params.set("updateTime", *updateTime);
    navMsgRequest_ = core::ORBRivuContrl::navigationMessageWithDelegate(weakSelf<MessageBoxViewController>(),
        RequestSelector::method(&MessageBoxViewController::requestNavigationMessageSuccessed),
        RequestSelector::method(&MessageBoxViewController::requestNavigationMessageFailed), platform::Value(params));
    startRequest(navMsgRequest_);
}

void MessageBoxViewController::requestNavigationMessageSuccessed(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, navMsgRequest_))
        return;
    platform::Value reply = parseReply(request, core::ORBRequestType::NavigationMessages, "navigation message");
    // Every answer is the whole set of notices: it replaces the rows (added
    // to them, each refresh would show every notice once more).
    if (const auto* items = reply.asArray(); items && belongsToCurrentAccount()) {
        std::vector<std::shared_ptr<core::NavMessageInfo>> rows;
        for (const auto& item : *items) {
            if (auto info = core::NavMessageInfo::navMessageWithObj(item))
                rows.push_back(std::move(info));
        }
        listNavData_ = std::move(rows);
        tableView_->reloadData();
    }
    navMsgRequest_.reset();
    tableView_->doneLoadingTableViewData();
}

void MessageBoxViewController::requestNavigationMessageFailed(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, navMsgRequest_))
        return;
    navMsgRequest_.reset();
    tableView_->doneLoadingTableViewData();
}

// ---- The list -------------------------------------------------------------------------

void MessageBoxViewController::setListData(core::MessageList list)
{
    listData_ = std::move(list);
    updateTableBackground();
    int total = 0;
    for (const auto& message : listData_) {
        if (message && !isGroupRecordMessage(*message) && message->contact)
            total += message->contact->badge;
    }
    // Only the signed-in account's box speaks for the badge.
    if (!belongsToCurrentAccount())
        return;
    if (auto main = ORBViewController::shared())
        main->setBadgeNum(total);
    if (auto account = core::MyAccountInfo::currentAccount())
        account->unReadCount = total;
}

void MessageBoxViewController::updateTableBackground()
{
    tableView_->setBackgroundColor(
        listData_.empty() ? platform::Color::fromWhite(kEmptyWhite, 1.0) : platform::Color::clearColor());
}

bool MessageBoxViewController::isGroupRecord(long row) const
{
    return row >= 0 && row < long(listData_.size()) && isGroupRecordMessage(*listData_[std::size_t(row)]);
}

void MessageBoxViewController::btnSendTouchUpInside(UIControl*)
{
    pushScreen(*this, platform::ClassRegistry::shared().createAs<UIViewController>(kComposeScreen));
}

void MessageBoxViewController::didSelectedMessageNavigation(const std::shared_ptr<UIViewController>& screen)
{
    pushScreen(*this, screen);
}

long MessageBoxViewController::numberOfRowsInSection(UITableView*, long section)
{
    if (section == kNavigationSection)
        return long(listNavData_.size());
    return std::max<long>(1, long(listData_.size()));
}

std::shared_ptr<UITableViewCell> MessageBoxViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    auto emptyCell = [table]() -> std::shared_ptr<UITableViewCell> {
        if (auto cell = BaseCell::dequeue<MessageEmptyCell>(*table))
            return cell;
        return std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "MessageEmptyCell");
    };
    if (path.section == kNavigationSection) {
        if (path.row < 0 || path.row >= long(listNavData_.size()))
            return emptyCell();
        auto cell = BaseCell::dequeue<MessageNavigationCell>(*table);
        if (!cell)
            return emptyCell();
        cell->setDelegate(weakSelf<MessageBoxViewController>());
        cell->setNavInfo(listNavData_[std::size_t(path.row)]);
        return cell;
    }
    if (path.row < 0 || path.row >= long(listData_.size()))
        return emptyCell();
    const auto& message = listData_[std::size_t(path.row)];
    if (isGroupRecordMessage(*message)) {
        auto cell = BaseCell::dequeue<MessageGroupCell>(*table);
        if (!cell)
            return emptyCell();
        cell->setMessage(message);
        return cell;
    }
    auto cell = BaseCell::dequeue<MessageSingleCell>(*table);
    if (!cell)
        return emptyCell();
    cell->setMessage(message);
    return cell;
}

std::optional<double> MessageBoxViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    if (path.section == kNavigationSection)
        return path.row < long(listNavData_.size()) ? BaseCell::height<MessageNavigationCell>()
                                                    : BaseCell::height<MessageEmptyCell>();
    if (path.row < 0 || path.row >= long(listData_.size()))
        return emptyRowHeight();
    return isGroupRecord(path.row) ? BaseCell::height<MessageGroupCell>() : BaseCell::height<MessageSingleCell>();
}

double MessageBoxViewController::emptyRowHeight() const
{
    // What the navigation rows leave of the list above the tab bar, so that
    // the picture shows whole as the box opens: on the 3.5-inch screen four
    // rows leave too little for the picture above its lines, and the cell
    // puts it beside them. Past that the list scrolls to it.
    const double full = BaseCell::height<MessageEmptyCell>();
    const double left
        = tableView_->bounds().height() - double(listNavData_.size()) * BaseCell::height<MessageNavigationCell>();
    return std::clamp(left, std::min(MessageEmptyCell::shortestHeight(), full), full);
}

void MessageBoxViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    if (path.section != kListSection || path.row < 0 || path.row >= long(listData_.size()))
        return;
    const auto& message = listData_[std::size_t(path.row)];
    auto& registry = platform::ClassRegistry::shared();
    if (isGroupRecordMessage(*message)) {
        auto screen = registry.createAs<UIViewController>(kGroupScreen);
        if (auto target = std::dynamic_pointer_cast<MessageRecordTarget>(screen))
            target->setMessage(message);
        pushScreen(*this, screen);
        return;
    }
    auto screen = registry.createAs<UIViewController>(kChatScreen);
    if (auto target = std::dynamic_pointer_cast<MessageContactTarget>(screen))
        target->setContact(message->contact);
    pushScreen(*this, screen);
}

bool MessageBoxViewController::canEditRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    return path.section == kListSection && path.row >= 0 && path.row < long(listData_.size());
}

void MessageBoxViewController::commitEditingStyle(
    UITableView* table, UITableViewCellEditingStyle style, const NSIndexPath& path)
{
    if (style != UITableViewCellEditingStyleDelete || !canEditRowAtIndexPath(table, path))
        return;
    auto message = listData_[std::size_t(path.row)];
    if (!messageFactory_->removeMessageLast({ message }))
        return;
    auto rest = listData_;
    rest.erase(rest.begin() + path.row);
    // The total is published again: a hidden conversation's unread messages
    // no longer count on the tab.
    setListData(std::move(rest));
    if (!listData_.empty())
        table->deleteRowsAtIndexPaths({ path }, UITableViewRowAnimationFade);
    else
        table->reloadData();
}

bool MessageBoxViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*)
{
    // The next tick polls and asks for the navigation rows, unless a request
    // of that kind is out: the end of either closes the header.
    ticks_ = 0;
    navTicks_ = 0;
    return true;
}

bool MessageBoxViewController::refreshTableViewFooterDidTriggerLoadMore(RefreshTableView* table)
{
    // One page only.
    if (table)
        table->doneLoadingTableViewData();
    return true;
}
