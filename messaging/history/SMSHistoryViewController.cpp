#include "messaging/history/SMSHistoryViewController.h"

#include "core/network/ORBReplyParser.h"
#include "core/network/builders/ORBNavControl.h"
#include "foundation/http/FormDataRequest.h"
#include "messaging/history/SMSHistoryCell.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"
#include "ui/controls/StatusBarBacking.h"

#include <algorithm>
#include <limits>

using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

namespace {

const platform::Color kChosenColour = platform::Color::fromRGB255(126, 195, 16);
const platform::Color kOtherColour = platform::Color::fromRGB255(122, 122, 122);

} // namespace

SMSHistoryViewController::SMSHistoryViewController()
    : BaseViewController(std::string(kClassName))
{
}

void SMSHistoryViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("btnReceiver", btnReceiver_);
    bindings.outlet("btnSend", btnSend_);
    bindings.outlet("imgBtnbg", imgBtnbg_);
    bindings.outlet("typeContainer", typeContainer_);
    bindings.outlet("txtSearcher", txtSearcher_);
    bindings.outlet("loadingView", loadingView_);
    bindings.outlet("tableview", tableview_);
    bindings.outlet("searchBar", searchBar_);
    bindings.action("btnReceiverAction:", &SMSHistoryViewController::btnReceiverAction);
    bindings.action("btnSendAction:", &SMSHistoryViewController::btnSendAction);
    bindings.action("btnCancelTouchUpInside:", &SMSHistoryViewController::btnCancelTouchUpInside);
    bindings.optionalAction("btnGoBackAction:", &SMSHistoryViewController::btnGoBackAction);
    bindings.action("txtSearchEditingChanged:", &SMSHistoryViewController::txtSearchEditingChanged);
}

void SMSHistoryViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto self = BaseViewController::self<SMSHistoryViewController>();
    tableview_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableview_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    tableview_->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(self));
    tableview_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableview_->setPageCount(1);
    tableview_->setHasLoad(false);
    btnReceiver_->setTitleColor(kChosenColour, UIControlStateNormal);
    btnSend_->setTitleColor(kOtherColour, UIControlStateNormal);
    searchBar_->setBackgroundColor(platform::Color::fromWhite(245.0 / 255.0, 1.0));
    txtSearcher_->setDelegate(std::weak_ptr<UITextFieldDelegate>(self));
    orgSearchBarWidth_ = searchBar_->frame().width();
    // The list and its loading cover end at the foot of either screen.
    keepAtVisibleBottom(tableview_);
    keepAtVisibleBottom(loadingView_);
    // The first load is a pull-down: the received list, page 1.
    tableview_->loadTopData();
}

void SMSHistoryViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
}

// ---- Loading ---------------------------------------------------------------------------

int SMSHistoryViewController::pagesFor(long long total)
{
    // Rounded up: 30 SMS are two pages, not three. The sum total + 14 could
    // pass the top of any integer, so the rest is counted apart.
    if (total <= 0)
        return 1;
    const long long pages = total / kPageSize + (total % kPageSize != 0 ? 1 : 0);
    return static_cast<int>(std::clamp<long long>(pages, 1, std::numeric_limits<int>::max()));
}

int SMSHistoryViewController::totalPage() const
{
    return pagesFor(type_ == kSentType ? sendTotal_ : receiverTotal_);
}

void SMSHistoryViewController::showTotal(long long total)
{
    tableview_->setTotal(static_cast<int>(std::clamp<long long>(total, 0, std::numeric_limits<int>::max())));
}

void SMSHistoryViewController::loadSMSHistoryList()
{
    // One list request at a time: a new one (a second search letter) replaces the last.
    cancelAllRequests();
    historyRequest_.reset();
    int pageSize = kPageSize;
    int page = 1;
    if (isSearching_) {
        pageSize = 2 * kPageSize;
    } else if (!isPullDownRefresh_) {
        page = pageOf(type_);
        if (page > totalPage()) {
            platform::log("total page:%d\n", totalPage());
            tableview_->doneLoadingTableViewData();
            return;
        }
    }
    // The list is loading, whatever started it (a switch too): no pull starts a second load meanwhile.
    if (!isSearching_)
        tableview_->reloadTableViewDataSource();
    requestType_ = type_;
    requestSearching_ = isSearching_;
    requestPullDown_ = isPullDownRefresh_;
    requestPage_ = page;
    historyRequest_ = core::ORBNavControl::getSMSHistoryWithDelegate(weakSelf<SMSHistoryViewController>(), key_, page,
        pageSize, type_, RequestSelector::method(&SMSHistoryViewController::requestSMSHistoryListSussceeded),
        RequestSelector::method(&SMSHistoryViewController::requestSMSHistoryListFailed));
    startRequest(historyRequest_);
}

void SMSHistoryViewController::requestSMSHistoryListSussceeded(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, historyRequest_))
        return;
    historyRequest_.reset();
    // A search that has ended meanwhile shows nothing anywhere.
    if (requestSearching_ && !isSearching_) {
        tableview_->doneLoadingTableViewData();
        return;
    }
    const bool shown = requestType_ == type_;
    // A page of the list, read as the dispatcher reads a screen's reply: one
    // past what a page can be is refused unread, as a failed request.
    auto answer = core::ORBReplyParser::readReply(*request, core::kLargestScreenReply, "sms history");
    if (answer.tooLarge) {
        if (!requestSearching_ && !requestPullDown_ && requestPage_ > 1 && pageOf(requestType_) == requestPage_)
            --pageOf(requestType_);
        tableview_->doneLoadingTableViewData();
        return;
    }
    List& list = listOf(requestType_);
    platform::Value reply = answer.value.value_or(platform::Value());
    // Read whole: a total past 32 bits must not wrap round to a small or
    // negative number. Below zero there is nothing more to ask for.
    long long total = 0;
    if (reply.isDictionary() && reply.asDictionary()->contains("items")) {
        total = std::max(0LL, reply["total"].longLongValue());
        if (shown && !requestSearching_) {
            showTotal(total);
            tableview_->setCurPage(pageOf(requestType_));
            tableview_->setPageSize(kPageSize);
        }
        if (const auto* items = reply["items"].asArray()) {
            // New SMS on top, in the answer's order; those already listed are skipped.
            std::size_t inserted = 0;
            for (const auto& item : *items) {
                auto info = SMSHistoryInfo::infoWithObj(item);
                if (!info)
                    continue;
                if (requestSearching_) {
                    searchedList_.push_back(std::move(info));
                } else if (requestPullDown_) {
                    const bool known = std::any_of(
                        list.begin(), list.end(), [&](const auto& kept) { return kept->msgId == info->msgId; });
                    if (known)
                        continue;
                    list.insert(list.begin() + std::ptrdiff_t(inserted), std::move(info));
                    ++inserted;
                } else {
                    list.push_back(std::move(info));
                }
            }
        }
    } else if (shown && !requestSearching_) {
        tableview_->setTotal(0);
        tableview_->setCurPage(1);
        tableview_->setPageSize(1);
    }
    if (requestSearching_) {
        searchTable()->reloadData();
        return;
    }
    totalOf(requestType_) = total;
    if (!shown) {
        // Kept for when the person comes back to that list.
        tableview_->doneLoadingTableViewData();
        return;
    }
    showEmptyText(list.empty());
    tableview_->setPageCount(static_cast<long long>(list.size()) < total ? totalPage() : 1);
    tableview_->doneLoadingTableViewData();
}

void SMSHistoryViewController::requestSMSHistoryListFailed(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, historyRequest_))
        return;
    historyRequest_.reset();
    if (auto error = request->error())
        platform::log("%s\n", error->description().c_str());
    // A load-more that failed asks for the same page next time.
    if (!requestSearching_ && !requestPullDown_ && requestPage_ > 1 && pageOf(requestType_) == requestPage_)
        --pageOf(requestType_);
    tableview_->doneLoadingTableViewData();
}

void SMSHistoryViewController::showEmptyText(bool empty)
{
    if (!empty) {
        loadingView_->setAlpha(0);
        return;
    }
    loadingView_->setAlpha(1);
    if (!loadingView_->subviews().empty())
        loadingView_->subviews().front()->removeFromSuperview();
    loadingView_->addSubview(ORBHelper::errorView(
        loadingView_->bounds(), type_ == kSentType ? "发出的短信为空" : "接收的短信为空"));
}

bool SMSHistoryViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*)
{
    pageOf(type_) = 1;
    isPullDownRefresh_ = true;
    tableview_->setPageCount(1);
    tableview_->setTotal(0);
    tableview_->setCurPage(1);
    loadSMSHistoryList();
    return true;
}

bool SMSHistoryViewController::refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*)
{
    isPullDownRefresh_ = false;
    ++pageOf(type_);
    loadSMSHistoryList();
    return true;
}

// ---- The two lists -----------------------------------------------------------------------

void SMSHistoryViewController::btnReceiverAction(UIControl*) { switchTo(kReceivedType); }

void SMSHistoryViewController::btnSendAction(UIControl*) { switchTo(kSentType); }

void SMSHistoryViewController::switchTo(int type)
{
    loadingView_->setAlpha(0);
    const bool received = type == kReceivedType;
    btnReceiver_->setTitleColor(received ? kChosenColour : kOtherColour, UIControlStateNormal);
    btnSend_->setTitleColor(received ? kOtherColour : kChosenColour, UIControlStateNormal);
    imgBtnbg_->setImage(UIImage::imageNamed(received ? "sms_history_receiver_bg.png" : "sms_history_send_bg"));
    type_ = type;
    const List& list = listOf(type);
    // A list already loaded is shown as it was, its pages where they were:
    // starting it over at page 1 would ask again for pages it holds.
    if (list.empty())
        pageOf(type) = 1;
    const long long total = totalOf(type);
    showTotal(total);
    tableview_->setCurPage(pageOf(type));
    tableview_->setPageSize(kPageSize);
    tableview_->setPageCount(static_cast<long long>(list.size()) < total ? totalPage() : 1);
    tableview_->doneLoadingTableViewData();
    if (list.empty())
        loadSMSHistoryList();
}

// ---- Search ------------------------------------------------------------------------------

std::shared_ptr<UITableView> SMSHistoryViewController::searchTable()
{
    if (searchTableView_)
        return searchTableView_;
    searchTableView_ = std::make_shared<UITableView>(view()->bounds(), UITableViewStylePlain);
    auto self = BaseViewController::self<SMSHistoryViewController>();
    searchTableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    searchTableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    searchTableView_->setBackgroundColor(platform::Color::whiteColor());
    searchTableView_->setSeparatorColor(platform::Color::fromWhite(0.8, 1.0));
    searchTableView_->setAlpha(0);
    searchTableView_->setOutletName("searchTableView");
    view()->addSubview(searchTableView_);
    return searchTableView_;
}

void SMSHistoryViewController::textFieldDidBeginEditing(UITextField*)
{
    isSearching_ = true;
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, true);
    auto table = searchTable();
    // Without the navigation bar the view starts under the status bar: the
    // search bar goes below it, over a strip of its own colour.
    double top = StatusBarBacking::cover(*view(), searchBar_->backgroundColor());
    UIView::animateWithDuration(kSearchAnimation, weakCallback<SMSHistoryViewController>([top](SMSHistoryViewController& self) {
        const auto bounds = self.view()->bounds();
        auto bar = self.searchBar_->frame();
        bar.origin.y = top;
        bar.size.width = bounds.width();
        self.searchBar_->setFrame(bar);
        self.searchTableView_->setFrame(
            platform::Rect(0, top + bar.height(), bounds.width(), bounds.height() - top - bar.height()));
        self.searchTableView_->setAlpha(1);
    }));
    view()->bringSubviewToFront(table);
    view()->bringSubviewToFront(searchBar_);
}

void SMSHistoryViewController::txtSearchEditingChanged(UIControl*)
{
    key_ = txtSearcher_->text();
    searchedList_.clear();
    searchTable()->reloadData();
    platform::log("======359: text search editing changed======\n");
    loadSMSHistoryList();
}

void SMSHistoryViewController::textFieldDidEndEditing(UITextField*)
{
    isSearching_ = false;
    txtSearcher_->setText("");
    key_.clear();
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    searchedList_.clear();
    searchTable()->reloadData();
    StatusBarBacking::uncover(*view());
    UIView::animateWithDuration(kSearchAnimation, weakCallback<SMSHistoryViewController>([](SMSHistoryViewController& self) {
        self.searchTableView_->setAlpha(0);
        auto bar = self.searchBar_->frame();
        bar.origin.y = self.typeContainer_->frame().maxY();
        bar.size.width = self.orgSearchBarWidth_;
        self.searchBar_->setFrame(bar);
    }));
}

bool SMSHistoryViewController::textFieldShouldReturn(UITextField* field)
{
    if (field)
        field->resignFirstResponder();
    return true;
}

void SMSHistoryViewController::btnCancelTouchUpInside(UIControl*) { txtSearcher_->resignFirstResponder(); }

void SMSHistoryViewController::btnGoBackAction(UIControl*) { popViewController(); }

// ---- Tables ------------------------------------------------------------------------------

const SMSHistoryViewController::List& SMSHistoryViewController::rowsOf(UITableView* table) const
{
    if (table && table == searchTableView_.get())
        return searchedList_;
    return type_ == kSentType ? smsSendHistoryList_ : smsReceiverHistoryList_;
}

long SMSHistoryViewController::numberOfRowsInSection(UITableView* table, long) { return long(rowsOf(table).size()); }

std::shared_ptr<UITableViewCell> SMSHistoryViewController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    auto cell = std::dynamic_pointer_cast<SMSHistoryCell>(table->dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell)
        cell = BaseCell::cell<SMSHistoryCell>();
    const auto& rows = rowsOf(table);
    if (path.row >= 0 && path.row < long(rows.size()))
        cell->setSMSHistory(rows[std::size_t(path.row)]);
    return cell;
}

std::optional<double> SMSHistoryViewController::heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    const auto& rows = rowsOf(table);
    auto prototype = BaseCell::demo<SMSHistoryCell>();
    if (!prototype || path.row < 0 || path.row >= long(rows.size()))
        return BaseCell::height<SMSHistoryCell>();
    prototype->setSMSHistory(rows[std::size_t(path.row)]);
    return prototype->height();
}

void SMSHistoryViewController::willDisplayCell(UITableView*, UITableViewCell* cell, const NSIndexPath& path)
{
    if (!cell)
        return;
    cell->setBackgroundView(nullptr);
    cell->setBackgroundColor(platform::Color::fromWhite((path.row % 2 ? 243.0 : 235.0) / 255.0, 1.0));
}
