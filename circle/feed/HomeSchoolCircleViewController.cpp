#include "circle/feed/HomeSchoolCircleViewController.h"

#include "app/main/ORBViewController.h"
#include "circle/feed/CircleTargets.h"
#include "circle/feed/PraiseBook.h"
#include "circle/feed/WeiboCell.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/session/MyAccountInfo.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"
#include "ui/tables/InfiniteScrollingView.h"
#include "ui/tables/PullToRefreshView.h"

#include <algorithm>
#include <climits>

namespace circle {

namespace {

constexpr const char* kLoadingText = "正在加载中";
constexpr const char* kNoDataText = "暂无数据";
constexpr const char* kNoMoreText = "没有更多数据了";

const platform::Color kMenuColor = platform::Color::fromRGB255(129, 200, 16);
const platform::Color kMenuLineColor = platform::Color::fromRGB255(117, 179, 26);

// A count one higher; one a reply put at the top of its range stays there.
int oneMore(int count) { return count == INT_MAX ? count : count + 1; }

platform::Value kindEntry(const char* title, int index)
{
    platform::Dictionary entry;
    entry.set("title", title);
    entry.set("index", index);
    return platform::Value(std::move(entry));
}

platform::Value menuEntry(const char* title, const char* controller)
{
    platform::Dictionary entry;
    entry.set("title", title);
    entry.set("controller", controller);
    return platform::Value(std::move(entry));
}

void push(UIViewController& from, const std::shared_ptr<UIViewController>& screen)
{
    if (auto navigation = from.navigationController(); navigation && screen)
        navigation->pushViewController(screen, true);
}

} // namespace

HomeSchoolCircleViewController::HomeSchoolCircleViewController()
    : BaseViewController(std::string(kClassName))
{
    setBaseListData({ kindEntry("全部动态", kAllPosts), kindEntry("教师动态", kTeacherPosts),
        kindEntry("班级动态", kClassPosts) });
    setTitle("全部动态");
    setHasOpenList(true);
    dropDownInfos_ = { menuEntry("发个人动态", "WriteWeiboViewController"),
        menuEntry("发班级公告", "SendClassNoticeViewController"),
        menuEntry("发班级相册", "UploadAlbumViewController") };
}

void HomeSchoolCircleViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
}

void HomeSchoolCircleViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<HomeSchoolCircleViewController>();
    currentWeiboType_ = kAllPosts;
    listData_.clear();
    page_ = 0;
    btnWrite_ = imageBarButton("message_box_compose_btn.png", "btnWrite", &HomeSchoolCircleViewController::writeWeibo);
    setRightItem(btnWrite_);

    // The feed ends on the tab bar on either screen: the last post's buttons are never under it.
    keepAtVisibleBottom(tableView_);
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView_->setTableFooterView(std::make_shared<UIView>());
    addPullToRefreshWithActionHandler(*tableView_, weakCallback<HomeSchoolCircleViewController>(
                                                       [](HomeSchoolCircleViewController& screen) { screen.refresh(); }));
    addInfiniteScrollingWithActionHandler(*tableView_,
        weakCallback<HomeSchoolCircleViewController>([](HomeSchoolCircleViewController& screen) { screen.getListData(); }));

    observe(kSendWeiboSuccess, &HomeSchoolCircleViewController::onSendWeibo);
    observe(kSendWeiboCommentSuccess, &HomeSchoolCircleViewController::onCommentWeibo);
    observe(kPraiseWeiboSuccess, &HomeSchoolCircleViewController::onPraiseWeibo);
    observe(kDeleteWeiboSuccess, &HomeSchoolCircleViewController::onDeleteWeibo);
    refresh();
}

void HomeSchoolCircleViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    // Another tab or a pushed screen takes the place: the kind list and the
    // compose menu do not wait open behind it.
    hideListView();
    closeWriteList();
}

void HomeSchoolCircleViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto selected = tableView_->indexPathForSelectedRow())
        tableView_->deselectRowAtIndexPath(*selected, true);
}

// ---- Pages ------------------------------------------------------------------------------

void HomeSchoolCircleViewController::getListData()
{
    if (firstPagePending_ && page_ >= 1) {
        // Scrolled to the end while the first page is out: its reply decides
        // whether there is more.
        if (auto more = infiniteScrollingView(*tableView_))
            more->stopAnimating();
        return;
    }
    page_ += 1;
    PageRequest request { currentWeiboType_, page_, generation_ };
    if (request.page == 1)
        firstPagePending_ = true;
    else
        moreOut_ = true;
    platform::Dictionary params;
    params.set("weiboType", request.kind);
    params.set("page", request.page);
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        kFeedRequest, platform::Value(std::move(params)), [] { ORBHelper::showProgressHud(kLoadingText, true, false); },
        weakCallback<HomeSchoolCircleViewController>(
            [request](HomeSchoolCircleViewController& screen, const platform::Value& result) {
                screen.pageArrived(request, result);
            }),
        weakCallback<HomeSchoolCircleViewController>(
            [request](HomeSchoolCircleViewController& screen, const std::string& message) {
                screen.pageFailed(request, message);
            }));
}

void HomeSchoolCircleViewController::refresh()
{
    ++generation_;
    page_ = 0;
    firstPagePending_ = false;
    // A load-more still out belongs to the list before: its reply is dropped.
    moreOut_ = false;
    getListData();
}

bool HomeSchoolCircleViewController::isStale(const PageRequest& request) const
{
    return request.generation != generation_ || request.kind != currentWeiboType_;
}

void HomeSchoolCircleViewController::pageArrived(const PageRequest& request, const platform::Value& result)
{
    if (isStale(request)) {
        // Dropped: if its load-more spun the footer, nothing else will stop it.
        releaseLoadMore();
        return;
    }
    ORBHelper::hideProgressHud();
    std::vector<std::shared_ptr<core::WeiboData>> posts;
    if (const auto* items = result.asArray()) {
        for (const auto& item : *items) {
            if (auto post = item.objectAs<core::WeiboData>())
                posts.push_back(std::move(post));
        }
    }
    if (request.page != 1) {
        moreOut_ = false;
        if (!posts.empty()) {
            listData_.insert(listData_.end(), posts.begin(), posts.end());
            tableView_->reloadData();
        } else {
            ORBHelper::showProgressHud(kNoMoreText, false, true);
        }
        setShowsInfiniteScrolling(*tableView_, !posts.empty());
        if (auto more = infiniteScrollingView(*tableView_))
            more->stopAnimating();
        return;
    }
    firstPagePending_ = false;
    listData_.clear();
    if (!posts.empty()) {
        if (currentWeiboType_ == kAllPosts) {
            if (auto main = ORBViewController::shared())
                main->setHomeSchoolBadgeNum(0);
        }
        listData_ = std::move(posts);
        tableView_->reloadData();
        setShowsInfiniteScrolling(*tableView_, true);
    } else {
        ORBHelper::showProgressHud(kNoDataText, false, true);
        tableView_->reloadData();
        setShowsInfiniteScrolling(*tableView_, false);
    }
    if (auto header = pullToRefreshView(*tableView_))
        header->stopAnimating();
    // A load-more of the list replaced may have left the footer spinning.
    releaseLoadMore();
}

void HomeSchoolCircleViewController::pageFailed(const PageRequest& request, const std::string& message)
{
    if (isStale(request)) {
        releaseLoadMore();
        return;
    }
    // Back to the page before this request: the next request asks for it again.
    page_ = request.page - 1;
    if (request.page == 1)
        firstPagePending_ = false;
    else
        moreOut_ = false;
    stopAnimations();
    ORBHelper::showProgressHud(message, false, true);
}

void HomeSchoolCircleViewController::stopAnimations()
{
    if (auto header = pullToRefreshView(*tableView_))
        header->stopAnimating();
    if (auto more = infiniteScrollingView(*tableView_))
        more->stopAnimating();
}

void HomeSchoolCircleViewController::releaseLoadMore()
{
    if (moreOut_)
        return;
    if (auto more = infiniteScrollingView(*tableView_))
        more->stopAnimating();
}

void HomeSchoolCircleViewController::openListIndex(const platform::Value& entry)
{
    currentWeiboType_ = int(entry["index"].longLongValue());
    if (const auto* title = entry["title"].asString())
        setTitle(*title);
    refresh();
    if (!listData_.empty())
        tableView_->scrollToRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0), UITableViewScrollPositionTop, true);
}

// ---- The compose menu --------------------------------------------------------------------

void HomeSchoolCircleViewController::hideOtherListView() { closeWriteList(); }

void HomeSchoolCircleViewController::writeWeibo(UIControl*)
{
    auto account = core::MyAccountInfo::currentAccount();
    if (!account || account->type != 1) {
        push(*this, platform::ClassRegistry::shared().createAs<UIViewController>("WriteWeiboViewController"));
        return;
    }
    if (isOpenWriteLists_) {
        dropDownView_->setAlpha(0);
    } else {
        hideListView();
        buildWriteList();
        view()->bringSubviewToFront(dropDownView_);
        dropDownView_->setAlpha(0);
        auto menu = dropDownView_;
        UIView::animateWithDuration(kMenuFadeDuration, [menu] { menu->setAlpha(1); });
        // Back closes the menu before anything else.
        platform::ModalStack::showMenu(menu,
            weakCallback<HomeSchoolCircleViewController>(
                [](HomeSchoolCircleViewController& screen) { screen.closeWriteList(); }));
    }
    isOpenWriteLists_ = !isOpenWriteLists_;
    if (!isOpenWriteLists_)
        platform::ModalStack::menuClosed(dropDownView_.get());
}

void HomeSchoolCircleViewController::buildWriteList()
{
    if (dropDownView_)
        return;
    double height = kMenuRowHeight * double(dropDownInfos_.size());
    dropDownView_ = std::make_shared<UIView>(
        // At the top right, whole on the screen (its own width would take it
        // past the right edge from where the inset puts it).
        platform::Rect(std::min(view()->bounds().width() - kMenuRightInset, view()->bounds().width() - kMenuWidth), 0,
            kMenuWidth, height));
    dropDownView_->setOutletName("dropDownView");
    dropDownView_->setBackgroundColor(kMenuColor);
    dropDownView_->layer()->setCornerRadius(4);
    dropDownView_->setClipsToBounds(true);
    auto me = self<HomeSchoolCircleViewController>();
    for (std::size_t i = 0; i < dropDownInfos_.size(); ++i) {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setFrame(platform::Rect(0, kMenuRowHeight * double(i), kMenuWidth, kMenuRowHeight));
        button->setTag(kMenuTagBase + int(i));
        button->setTitle(dropDownInfos_[i]["title"].stringValue(), UIControlStateNormal);
        button->titleLabel()->setFont(UIFont::systemFont(14));
        button->setTitleColor(platform::Color::whiteColor(), UIControlStateNormal);
        button->setTitleColor(platform::Color::fromWhite(0, 0.6), UIControlStateHighlighted);
        button->addTarget(me, &HomeSchoolCircleViewController::writeWeiboWithType, UIControlEventTouchUpInside);
        dropDownView_->addSubview(button);
        if (i + 1 < dropDownInfos_.size()) {
            auto line = std::make_shared<UIView>(platform::Rect(5, kMenuRowHeight * double(i + 1), 90, 1));
            line->setBackgroundColor(kMenuLineColor);
            dropDownView_->addSubview(line);
        }
    }
    view()->addSubview(dropDownView_);
}

void HomeSchoolCircleViewController::writeWeiboWithType(UIControl* sender)
{
    long index = sender ? long(sender->tag()) - kMenuTagBase : -1;
    if (index >= 0 && index < long(dropDownInfos_.size())) {
        auto name = dropDownInfos_[std::size_t(index)]["controller"].stringValue();
        push(*this, platform::ClassRegistry::shared().createAs<UIViewController>(name));
    }
    closeWriteList();
}

void HomeSchoolCircleViewController::closeWriteList()
{
    if (dropDownView_) {
        dropDownView_->setAlpha(0);
        platform::ModalStack::menuClosed(dropDownView_.get());
    }
    isOpenWriteLists_ = false;
}

// ---- Row buttons -------------------------------------------------------------------------

std::shared_ptr<core::WeiboData> HomeSchoolCircleViewController::weiboOfSender(UIControl* sender) const
{
    if (!sender)
        return nullptr;
    auto cell = std::dynamic_pointer_cast<WeiboCell>(ORBHelper::getCellFromTableView(tableView_, sender->sharedView()));
    return cell ? cell->data() : nullptr;
}

void HomeSchoolCircleViewController::btnDoComment(UIControl* sender)
{
    auto post = weiboOfSender(sender);
    if (!post)
        return;
    auto screen = platform::ClassRegistry::shared().createAs<UIViewController>("WeiboCommentViewController");
    if (auto target = std::dynamic_pointer_cast<WeiboIdTarget>(screen))
        target->setWeiboId(post->weiboId);
    push(*this, screen);
}

void HomeSchoolCircleViewController::btnDoPraise(UIControl* sender)
{
    auto post = weiboOfSender(sender);
    if (!post)
        return;
    long long weiboId = post->weiboId;
    // Praised already, or the praise is on its way: a second tap sends nothing.
    if (!PraiseBook::shared().begin(weiboId))
        return;
    auto account = core::MyAccountInfo::currentAccount();
    platform::Dictionary params;
    params.set("weiboId", weiboId);
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        kPraiseRequest, platform::Value(std::move(params)), [] {},
        // The book and the news do not depend on this screen being there.
        weakCallbackAfter<HomeSchoolCircleViewController>(
            [weiboId, account] {
                PraiseBook::shared().succeeded(weiboId, account);
                platform::Dictionary info;
                info.set("weiboId", weiboId);
                platform::NotificationCenter::defaultCenter().post(kPraiseWeiboSuccess, {}, std::move(info));
            },
            [](HomeSchoolCircleViewController&, const platform::Value&) {}),
        weakCallbackAfter<HomeSchoolCircleViewController>(
            [weiboId, account] { PraiseBook::shared().failed(weiboId, account); },
            [](HomeSchoolCircleViewController&, const std::string& message) {
                ORBHelper::showProgressHud(message, false, true);
            }));
}

// ---- Notifications -----------------------------------------------------------------------

long HomeSchoolCircleViewController::rowOfWeibo(const platform::Notification& notification) const
{
    const platform::Value& id = notification.userInfo.get("weiboId");
    if (!id.isNumber() && !id.isString())
        return -1;
    long long weiboId = id.longLongValue();
    for (std::size_t i = 0; i < listData_.size(); ++i) {
        if (listData_[i]->weiboId == weiboId)
            return long(i);
    }
    return -1;
}

void HomeSchoolCircleViewController::reloadRow(long row)
{
    tableView_->reloadRowsAtIndexPaths({ NSIndexPath::indexPathForRow(row, 0) }, UITableViewRowAnimationAutomatic);
}

void HomeSchoolCircleViewController::onSendWeibo(const platform::Notification&) { refresh(); }

void HomeSchoolCircleViewController::onCommentWeibo(const platform::Notification& notification)
{
    long row = rowOfWeibo(notification);
    if (row < 0)
        return;
    listData_[std::size_t(row)]->commentNum = oneMore(listData_[std::size_t(row)]->commentNum);
    reloadRow(row);
}

void HomeSchoolCircleViewController::onPraiseWeibo(const platform::Notification& notification)
{
    long row = rowOfWeibo(notification);
    if (row < 0)
        return;
    listData_[std::size_t(row)]->praise = oneMore(listData_[std::size_t(row)]->praise);
    reloadRow(row);
}

void HomeSchoolCircleViewController::onDeleteWeibo(const platform::Notification& notification)
{
    long row = rowOfWeibo(notification);
    if (row < 0)
        return;
    listData_.erase(listData_.begin() + row);
    tableView_->deleteRowsAtIndexPaths({ NSIndexPath::indexPathForRow(row, 0) }, UITableViewRowAnimationAutomatic);
}

// ---- Table -------------------------------------------------------------------------------

std::shared_ptr<UITableViewCell> HomeSchoolCircleViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    auto cell = BaseCell::dequeue<WeiboCell>(*table);
    cell->setDelegate(weakSelf<HomeSchoolCircleViewController>());
    if (path.row >= 0 && path.row < long(listData_.size()))
        cell->configWithWeiboData(listData_[std::size_t(path.row)]);
    return cell;
}

std::optional<double> HomeSchoolCircleViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    if (path.row < 0 || path.row >= long(listData_.size()))
        return std::nullopt;
    return WeiboCell::heifhtForWeiboData(*listData_[std::size_t(path.row)]);
}

void HomeSchoolCircleViewController::didSelectRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    if (path.row < 0 || path.row >= long(listData_.size()))
        return;
    auto screen = platform::ClassRegistry::shared().createAs<UIViewController>("WeiboDetailsViewController");
    if (auto target = std::dynamic_pointer_cast<WeiboDataTarget>(screen))
        target->setWeiboData(listData_[std::size_t(path.row)]);
    push(*this, screen);
}

} // namespace circle
