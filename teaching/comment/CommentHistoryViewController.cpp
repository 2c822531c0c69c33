#include "teaching/comment/CommentHistoryViewController.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "core/session/MyAccountInfo.h"
#include "platform/os/Log.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationBar.h"
#include "teaching/TeachingReplies.h"
#include "teaching/comment/CommentHistoryCell.h"
#include "ui/ORBHelper.h"
#include "ui/tables/InfiniteScrollingView.h"

CommentHistoryViewController::CommentHistoryViewController()
    : BaseViewController(std::string(kClassName))
{
}

void CommentHistoryViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("studentInfoView", studentInfoView_);
    bindings.outlet("historyTableView", historyTableView_);
    bindings.outlet("loadingView", loadingView_);
    bindings.optionalAction("backAction:", &CommentHistoryViewController::backAction);
}

void CommentHistoryViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    currentPage_ = 1;
    totalPage_ = 1;
    pageSize_ = kPageSize;
    if (auto account = core::MyAccountInfo::currentAccount(); account && account->type == 1)
        setTitle(kTeacherTitle);
    auto self = BaseViewController::self<CommentHistoryViewController>();
    historyTableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    historyTableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    historyTableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    // The history ends at the foot of the screen on either screen.
    keepAtVisibleBottom(historyTableView_);
    const auto host = studentInfoView_->bounds().size;
    studentView_ = std::make_shared<StudentPhotoView>(
        platform::Rect(kPhotoInset, kPhotoInset, host.width - kPhotoWidthCut, host.height - kPhotoHeightCut));
    initHistoryView();
}

void CommentHistoryViewController::viewWillAppear(bool animated)
{
    if (auto navigation = navigationController()) {
        navigation->setNavigationBarHidden(false, true);
        navigation->navigationBar()->setTranslucent(false);
    }
    BaseViewController::viewWillAppear(animated);
}

void CommentHistoryViewController::initHistoryView()
{
    studentView_->setHasName(true);
    studentView_->setHasHistory(false);
    studentView_->setStudentInfo(studentInfo_);
    studentInfoView_->addSubview(studentView_);
    historyDatas_.clear();
    loadHistoryDatas();
    const auto overlay = loadingView_->bounds().size;
    showInOverlay(ORBHelper::loadingView(platform::Rect(0, 0, overlay.width, overlay.height), kLoadingText, true));
    addInfiniteScrollingWithActionHandler(*historyTableView_,
        [more = weakCallback<CommentHistoryViewController>(&CommentHistoryViewController::loadMoreDatas)] { more(); });
}

void CommentHistoryViewController::showInOverlay(const std::shared_ptr<UIView>& view)
{
    auto views = loadingView_->subviews();
    for (const auto& old : views)
        old->removeFromSuperview();
    loadingView_->addSubview(view);
}

void CommentHistoryViewController::loadHistoryDatas()
{
    platform::Dictionary params;
    params.set("studentId", studentInfo_ ? studentInfo_->studentId : 0);
    params.set("pageSize", pageSize_);
    params.set("page", currentPage_);
    params.set("type", studentInfo_ ? studentInfo_->type : 0);
    platform::Value value(std::move(params));
    platform::log("params:%s\n", value.description().c_str());
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        static_cast<int>(core::ORBRequestType::CommentHistory), value,
        [] { platform::log("start load comment historys\n"); },
        weakCallback<CommentHistoryViewController>(&CommentHistoryViewController::pageArrived),
        weakCallback<CommentHistoryViewController>(&CommentHistoryViewController::pageFailed));
}

void CommentHistoryViewController::pageArrived(const platform::Value& result)
{
    const long long total = result["total"].intValue();
    if (total > pageSize_)
        totalPage_ = int((total + pageSize_ - 1) / pageSize_);
    else
        setShowsInfiniteScrolling(*historyTableView_, false);
    for (auto& entry : teaching::modelsIn<core::CommentHistoryInfo>(result["historyInfos"]))
        historyDatas_.push_back(std::move(entry));
    if (historyDatas_.empty()) {
        const auto overlay = loadingView_->bounds().size;
        showInOverlay(ORBHelper::errorView(platform::Rect(0, 0, overlay.width, overlay.height), kEmptyText));
        return;
    }
    historyTableView_->reloadData();
    if (auto footer = infiniteScrollingView(*historyTableView_))
        footer->stopAnimating();
    loadingView_->removeFromSuperview();
}

void CommentHistoryViewController::pageFailed(const std::string&)
{
    if (historyDatas_.empty()) {
        const auto overlay = loadingView_->bounds().size;
        showInOverlay(ORBHelper::errorView(platform::Rect(0, 0, overlay.width, overlay.height), kFailedText));
        return;
    }
    // The page did not come: it is asked for again by the next scroll to
    // the end, and the footer is free for that scroll.
    if (currentPage_ > 1)
        --currentPage_;
    if (auto footer = infiniteScrollingView(*historyTableView_))
        footer->stopAnimating();
}

void CommentHistoryViewController::loadMoreDatas()
{
    if (totalPage_ <= currentPage_) {
        setShowsInfiniteScrolling(*historyTableView_, false);
        return;
    }
    ++currentPage_;
    loadHistoryDatas();
    setShowsInfiniteScrolling(*historyTableView_, true);
}

std::shared_ptr<UITableViewCell> CommentHistoryViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    auto cell = BaseCell::dequeue<CommentHistoryCell>(*table);
    if (!cell)
        return std::make_shared<UITableViewCell>();
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    if (path.row >= 0 && std::size_t(path.row) < historyDatas_.size())
        cell->setHistory(*historyDatas_[std::size_t(path.row)]);
    return cell;
}

void CommentHistoryViewController::backAction(UIControl*) { popViewController(); }
