#include "circle/detail/WeiboDetailsViewController.h"

#include "circle/detail/WeiboDetailsCommentTableCell.h"
#include "circle/detail/WeiboDetailsContentCell.h"
#include "circle/feed/PraiseBook.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/session/MyAccountInfo.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"
#include "ui/tables/InfiniteScrollingView.h"
#include "ui/tables/PullToRefreshView.h"

namespace circle {

namespace {

constexpr const char* kTitle = "话题正文";

void reply(const char* text) { ORBHelper::showProgressHud(text, false, true); }

} // namespace

WeiboDetailsViewController::WeiboDetailsViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle(kTitle);
}

void WeiboDetailsViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
}

void WeiboDetailsViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<WeiboDetailsViewController>();
    setTitle(kTitle);
    listData_.clear();
    page_ = 0;
    keepAtVisibleBottom(tableView_);
    btnMore_ = imageBarButton("jxq_more_btn.png", "btnMore", &WeiboDetailsViewController::moreAction);
    auto account = core::MyAccountInfo::currentAccount();
    bool isAuthor = account && weiboData_ && weiboData_->senderId == account->uid
        && weiboData_->senderType == account->type;
    setRightItem(isAuthor ? btnMore_ : nullptr);

    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView_->setAllowsSelection(false);
    tableView_->setTableFooterView(std::make_shared<UIView>());
    addInfiniteScrollingWithActionHandler(*tableView_,
        weakCallback<WeiboDetailsViewController>([](WeiboDetailsViewController& screen) { screen.getListData(); }));
    addPullToRefreshWithActionHandler(*tableView_,
        weakCallback<WeiboDetailsViewController>([](WeiboDetailsViewController& screen) { screen.refresh(); }));
    observe(kSendWeiboCommentSuccess, &WeiboDetailsViewController::onCommentWeibo);
    observe(kPraiseWeiboSuccess, &WeiboDetailsViewController::onPraiseWeibo);
    refresh();
}

// ---- Comment pages ------------------------------------------------------------------------

void WeiboDetailsViewController::refresh()
{
    ++generation_;
    page_ = 0;
    firstPagePending_ = false;
    // A load-more still out belongs to the list before: its reply is dropped.
    moreOut_ = false;
    getListData();
}

void WeiboDetailsViewController::getListData()
{
    if (!weiboData_) {
        releaseLoadMore();
        return;
    }
    if (firstPagePending_ && page_ >= 1) {
        // Scrolled to the end while the first page is out: its reply decides
        // whether there is more.
        releaseLoadMore();
        return;
    }
    page_ += 1;
    PageRequest request { page_, generation_ };
    if (request.page == 1)
        firstPagePending_ = true;
    else
        moreOut_ = true;
    platform::Dictionary params;
    params.set("weiboId", weiboData_->weiboId);
    params.set("page", request.page);
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        kCommentsRequest, platform::Value(std::move(params)),
        [] { ORBHelper::showProgressHud("正在加载中", true, false); },
        // The spinner covers the window: it goes with the answer, the screen there or not.
        weakCallbackAfter<WeiboDetailsViewController>(ORBHelper::hideProgressHud,
            [request](WeiboDetailsViewController& screen, const platform::Value& result) {
                screen.pageArrived(request, result);
            }),
        weakCallbackAfter<WeiboDetailsViewController>(ORBHelper::hideProgressHud,
            [request](WeiboDetailsViewController& screen, const std::string& message) {
                screen.pageFailed(request, message);
            }));
}

void WeiboDetailsViewController::pageArrived(const PageRequest& request, const platform::Value& result)
{
    // A page of the list before the last refresh belongs to no list shown.
    // Dropped: if its load-more spun the footer, nothing else will stop it.
    if (request.generation != generation_) {
        releaseLoadMore();
        return;
    }
    std::vector<std::shared_ptr<core::WeiboReplyData>> comments;
    if (const auto* items = result.asArray()) {
        for (const auto& item : *items) {
            if (auto comment = item.objectAs<core::WeiboReplyData>())
                comments.push_back(std::move(comment));
        }
    }
    if (request.page != 1) {
        moreOut_ = false;
        if (!comments.empty()) {
            listData_.insert(listData_.end(), comments.begin(), comments.end());
            reloadRows({ 1 });
        } else {
            reply("没有更多评论了");
        }
        setShowsInfiniteScrolling(*tableView_, !comments.empty());
        if (auto more = infiniteScrollingView(*tableView_))
            more->stopAnimating();
        return;
    }
    firstPagePending_ = false;
    listData_ = std::move(comments);
    reloadRows({ 1 });
    setShowsInfiniteScrolling(*tableView_, !listData_.empty());
    if (auto header = pullToRefreshView(*tableView_))
        header->stopAnimating();
    // A load-more of the list replaced may have left the footer spinning.
    releaseLoadMore();
}

void WeiboDetailsViewController::pageFailed(const PageRequest& request, const std::string& message)
{
    if (request.generation != generation_) {
        releaseLoadMore();
        return;
    }
    page_ = request.page - 1;
    if (request.page == 1)
        firstPagePending_ = false;
    else
        moreOut_ = false;
    if (auto header = pullToRefreshView(*tableView_))
        header->stopAnimating();
    if (auto more = infiniteScrollingView(*tableView_))
        more->stopAnimating();
    ORBHelper::showProgressHud(message, false, true);
}

void WeiboDetailsViewController::releaseLoadMore()
{
    if (moreOut_)
        return;
    if (auto more = infiniteScrollingView(*tableView_))
        more->stopAnimating();
}

void WeiboDetailsViewController::reloadRows(std::vector<long> rows)
{
    std::vector<NSIndexPath> paths;
    for (long row : rows)
        paths.push_back(NSIndexPath::indexPathForRow(row, 0));
    tableView_->reloadRowsAtIndexPaths(paths, UITableViewRowAnimationNone);
}

// ---- Comment and praise --------------------------------------------------------------------

void WeiboDetailsViewController::btnDoComment(UIControl*)
{
    if (!weiboData_)
        return;
    auto screen = platform::ClassRegistry::shared().createAs<UIViewController>("WeiboCommentViewController");
    if (auto target = std::dynamic_pointer_cast<WeiboIdTarget>(screen))
        target->setWeiboId(weiboData_->weiboId);
    if (auto navigation = navigationController(); navigation && screen)
        navigation->pushViewController(screen, true);
}

void WeiboDetailsViewController::btnDoPraise(UIControl*)
{
    if (!weiboData_)
        return;
    long long weiboId = weiboData_->weiboId;
    // Praised already (here or in the feed), or the praise is on its way:
    // a second tap sends nothing.
    if (!PraiseBook::shared().begin(weiboId))
        return;
    auto account = core::MyAccountInfo::currentAccount();
    platform::Dictionary params;
    params.set("weiboId", weiboId);
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        kPraiseRequest, platform::Value(std::move(params)), [] {},
        // The feed hears of the praise whether or not the person is still here.
        weakCallbackAfter<WeiboDetailsViewController>(
            [weiboId, account] {
                PraiseBook::shared().succeeded(weiboId, account);
                platform::Dictionary info;
                info.set("weiboId", weiboId);
                platform::NotificationCenter::defaultCenter().post(kPraiseWeiboSuccess, {}, std::move(info));
            },
            [](WeiboDetailsViewController& screen, const platform::Value&) { screen.reloadRows({ 0 }); }),
        weakCallbackAfter<WeiboDetailsViewController>(
            [weiboId, account] { PraiseBook::shared().failed(weiboId, account); },
            [](WeiboDetailsViewController&, const std::string& message) { ORBHelper::showProgressHud(message, false, true); }));
}

void WeiboDetailsViewController::onCommentWeibo(const platform::Notification& notification)
{
    // Only a comment on this post belongs in its list.
    const platform::Value& id = notification.userInfo.get("weiboId");
    if (!weiboData_ || !(id.isNumber() || id.isString()) || id.longLongValue() != weiboData_->weiboId)
        return;
    auto account = core::MyAccountInfo::currentAccount();
    platform::Dictionary info = notification.userInfo;
    if (account) {
        info.set("senderId", account->uid);
        info.set("senderType", account->type);
        info.set("senderName", account->name);
        info.set("thumbAvatar", account->thumbAvatar);
        info.set("orgUserPic", account->avatar);
    }
    info.set("dataTime", "刚刚");
    if (auto comment = core::WeiboReplyData::initWithDictionary(platform::Value(std::move(info))))
        listData_.insert(listData_.begin(), std::move(comment));
    reloadRows({ 0, 1 });
}

void WeiboDetailsViewController::onPraiseWeibo(const platform::Notification&) { reloadRows({ 0 }); }

// ---- Deletion -------------------------------------------------------------------------------

void WeiboDetailsViewController::moreAction(UIControl*)
{
    auto sheet = std::make_shared<UIActionSheet>("更多操作",
        std::weak_ptr<UIActionSheetDelegate>(self<WeiboDetailsViewController>()), std::string("取消"),
        std::string("删除当前微博"));
    sheet->showInView(view());
}

void WeiboDetailsViewController::actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex)
{
    if (!sheet || buttonIndex != sheet->destructiveButtonIndex())
        return;
    auto alert = std::make_shared<UIAlertView>("警告", "这是一步不可逆的操作，\n你确定要删除当前微博吗？",
        std::weak_ptr<UIAlertViewDelegate>(self<WeiboDetailsViewController>()), std::string("取消"),
        std::vector<std::string> { "确定" });
    alert->show();
}

void WeiboDetailsViewController::alertViewClickedButton(UIAlertView*, long buttonIndex)
{
    if (buttonIndex == 1)
        deleteWeibo();
}

void WeiboDetailsViewController::deleteWeibo()
{
    if (!weiboData_ || weiboData_->weiboId == 0 || isDeleting_)
        return;
    isDeleting_ = true;
    long long weiboId = weiboData_->weiboId;
    platform::Dictionary params;
    params.set("weiboId", weiboId);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        kDeleteRequest, platform::Value(std::move(params)),
        [] { ORBHelper::showProgressHud("正在删除当前微博...", false, false); },
        // The overlay and the feed's news do not depend on this screen: a
        // post deleted while the person left still leaves the feed, and the
        // overlay never stays on the window.
        weakCallbackAfter<WeiboDetailsViewController>(
            [weiboId] {
                reply("删除成功");
                platform::Dictionary info;
                info.set("weiboId", weiboId);
                platform::NotificationCenter::defaultCenter().post(kDeleteWeiboSuccess, {}, std::move(info));
            },
            [](WeiboDetailsViewController& screen, const platform::Value&) {
                screen.runAfter(kCloseDelay, &WeiboDetailsViewController::btnDoGoBack);
            }),
        weakCallbackAfter<WeiboDetailsViewController>([] { reply("删除失败，请重试。"); },
            [](WeiboDetailsViewController& screen, const std::string&) { screen.isDeleting_ = false; }));
}

void WeiboDetailsViewController::btnDoGoBack()
{
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

// ---- Table --------------------------------------------------------------------------------

std::shared_ptr<UITableViewCell> WeiboDetailsViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    if (path.row == 0) {
        auto cell = BaseCell::dequeue<WeiboDetailsContentCell>(*table);
        cell->setDelegate(weakSelf<WeiboDetailsViewController>());
        cell->configWithWeiboData(weiboData_);
        return cell;
    }
    auto cell = BaseCell::dequeue<WeiboDetailsCommentTableCell>(*table);
    cell->configWithWeiboReplys(listData_);
    return cell;
}

std::optional<double> WeiboDetailsViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    if (path.row == 0)
        return weiboData_ ? WeiboDetailsContentCell::heifhtForWeiboData(*weiboData_) : 0;
    return WeiboDetailsCommentTableCell::heightForWeiboReplys(listData_);
}

} // namespace circle
