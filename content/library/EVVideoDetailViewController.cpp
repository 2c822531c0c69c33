#include "content/library/EVVideoDetailViewController.h"

#include "content/library/EVCommentCells.h"
#include "content/library/LibraryKit.h"
#include "content/player/ORBMoviePlayerController.h"
#include "content/portal/PortalStyle.h"
#include "core/network/ORBNetworkHelper.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "ui/images/RemoteImageView.h"

#include <cmath>

namespace content {

namespace {

    void tell(const std::string& message)
    {
        std::make_shared<UIAlertView>("提示", message, std::weak_ptr<UIAlertViewDelegate>(), "确定")->show();
    }

} // namespace

// ---- EVVideoDetailViewController ----------------------------------------------------------

EVVideoDetailViewController::EVVideoDetailViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle("视频详细");
}

std::shared_ptr<EVVideoDetailViewController> EVVideoDetailViewController::initWithVideo(std::shared_ptr<EVVideoInfo> video)
{
    auto screen = std::make_shared<EVVideoDetailViewController>();
    screen->setVideo(std::move(video));
    return screen;
}

void EVVideoDetailViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
    bindings.outlet("headerView", headerView_);
    bindings.outlet("wrapperView", wrapperView_);
    bindings.outlet("commentHeader", commentHeader_);
    bindings.outlet("imageView", imageView_);
    bindings.outlet("lblTitle", lblTitle_);
    bindings.outlet("lblPlayCount", lblPlayCount_);
    bindings.outlet("lblDesc", lblDesc_);
    bindings.outlet("btnComment", btnComment_);
    bindings.action("btnPlayTouchUpInside:", &EVVideoDetailViewController::btnPlayTouchUpInside);
    bindings.action("btnCommentTouchUpInside:", &EVVideoDetailViewController::btnCommentTouchUpInside);
}

void EVVideoDetailViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<EVVideoDetailViewController>();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &EVVideoDetailViewController::btnBackTouchUpInside));
    library::frameBox(*wrapperView_);
    library::frameBox(*commentHeader_);
    descMarginY_ = headerView_->frame().height() - lblDesc_->frame().height();
    refreshView();
    library::fitShortScreen(*view(), *tableView_);
    commentAdd_ = EVCommentAdd::viewWithDelegate(std::weak_ptr<EVCommentAddDelegate>(me));
    roundCorners(*btnComment_, kCommentButtonRadius);
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    tableView_->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(me));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView_->loadTopData();
}

void EVVideoDetailViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    // The panel lives on the window: it must not stay behind the screen.
    if (commentAdd_ && commentAdd_->superview()) {
        commentAdd_->txtContent()->resignFirstResponder();
        commentAdd_->removeFromSuperview();
    }
}

void EVVideoDetailViewController::refreshView()
{
    const EVVideoInfo empty;
    const EVVideoInfo& video = video_ ? *video_ : empty;
    setImageURL(imageView_, addressOf(video.picPath));
    lblTitle_->setText(video.title.value_or(""));
    lblDesc_->setText(video.remark.value_or(""));
    lblPlayCount_->setText("播放次数:" + std::to_string(video.readCount));
    double desc = textHeight(video.remark.value_or(""), lblDesc_->font(), lblDesc_->frame().width());
    auto frame = headerView_->frame();
    frame.size.height = std::ceil(desc) + descMarginY_;
    headerView_->setFrame(frame);
    tableView_->setTableHeaderView(headerView_);
}

void EVVideoDetailViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

bool EVVideoDetailViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*)
{
    loadDetail();
    return true;
}

void EVVideoDetailViewController::loadDetail()
{
    if (!video_) {
        tableView_->doneLoadingTableViewData();
        return;
    }
    library::showLoading();
    platform::Dictionary params;
    params.set("videoId", video_->videoId);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kDetailRequest,
        platform::Value(std::move(params)), nullptr,
        weakCallbackAfter<EVVideoDetailViewController>(library::hideOverlay, [](EVVideoDetailViewController& screen, const platform::Value& reply) {
            if (auto video = EVVideoInfo::videoWithObj(reply))
                screen.video_ = std::move(video);
            screen.tableView_->doneLoadingTableViewData();
        }),
        weakCallbackAfter<EVVideoDetailViewController>(library::showFailed, [](EVVideoDetailViewController& screen, const std::string&) {
            screen.tableView_->doneLoadingTableViewData();
        }));
}

void EVVideoDetailViewController::btnPlayTouchUpInside(UIControl*)
{
    // An address that forms no web address is as good as none.
    auto address = video_ ? addressOf(video_->webSite) : std::nullopt;
    if (!address)
        return;
    auto player = std::make_shared<ORBMoviePlayerController>(address->absoluteString());
    auto window = UIWindow::keyWindow();
    auto root = window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
    if (root)
        root->presentViewController(player, true);
}

void EVVideoDetailViewController::btnCommentTouchUpInside(UIControl*)
{
    if (commentAdd_)
        commentAdd_->show();
}

void EVVideoDetailViewController::commentAddDidSubmit(EVCommentAdd*, const std::shared_ptr<EVCommentInfo>& comment)
{
    if (!video_ || !comment || isPosting_)
        return;
    isPosting_ = true;
    library::showLoading();
    platform::Dictionary params;
    params.set("videoId", video_->videoId);
    params.set("score", comment->score);
    params.set("content", comment->content.value_or(""));
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kAddCommentRequest,
        platform::Value(std::move(params)), nullptr,
        weakCallbackAfter<EVVideoDetailViewController>(library::hideOverlay,
            [comment](EVVideoDetailViewController& screen, const platform::Value&) { screen.commentPosted(comment); }),
        weakCallbackAfter<EVVideoDetailViewController>(library::showFailed, [](EVVideoDetailViewController& screen, const std::string&) {
            screen.isPosting_ = false;
        }));
}

void EVVideoDetailViewController::commentPosted(const std::shared_ptr<EVCommentInfo>& comment)
{
    isPosting_ = false;
    library::hideOverlay();
    if (commentAdd_)
        commentAdd_->clearText();
    if (video_ && video_->commentItems)
        video_->commentItems->insert(video_->commentItems->begin(), comment);
    tableView_->reloadData();
    tell("评论发表成功");
}

std::size_t EVVideoDetailViewController::commentCount() const
{
    return video_ && video_->commentItems ? video_->commentItems->size() : 0;
}

long EVVideoDetailViewController::numberOfRowsInSection(UITableView*, long) { return long(commentCount()) + 1; }

std::shared_ptr<UITableViewCell> EVVideoDetailViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    std::size_t count = commentCount();
    if (count == 0)
        return BaseCell::dequeue<EVCommentEmptyCell>(*table);
    if (std::size_t(path.row) >= count)
        return BaseCell::dequeue<EVCommentMoreCell>(*table);
    auto cell = BaseCell::dequeue<EVCommentCell>(*table);
    cell->setComment((*video_->commentItems)[std::size_t(path.row)]);
    return cell;
}

std::optional<double> EVVideoDetailViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    std::size_t count = commentCount();
    if (count == 0)
        return BaseCell::height<EVCommentEmptyCell>();
    if (std::size_t(path.row) >= count)
        return BaseCell::height<EVCommentMoreCell>();
    return EVCommentCell::height((*video_->commentItems)[std::size_t(path.row)]);
}

std::optional<double> EVVideoDetailViewController::heightForFooterInSection(UITableView*, long)
{
    return library::kSectionFooterHeight;
}

std::shared_ptr<UIView> EVVideoDetailViewController::viewForFooterInSection(UITableView*, long)
{
    return library::emptyFooter();
}

void EVVideoDetailViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    std::size_t count = commentCount();
    if (count == 0 || std::size_t(path.row) != count)
        return;
    auto list = std::make_shared<EVCommentListViewController>(std::string(EVCommentListViewController::kClassName));
    list->setVideo(video_);
    if (auto navigation = navigationController())
        navigation->pushViewController(list, true);
}

// ---- EVCommentListViewController ----------------------------------------------------------

EVCommentListViewController::EVCommentListViewController()
    : EVCommentListViewController(std::string(kClassName))
{
}

EVCommentListViewController::EVCommentListViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
{
    setTitle("评论列表");
}

void EVCommentListViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
    bindings.outlet("header", header_);
}

void EVCommentListViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<EVCommentListViewController>();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &EVCommentListViewController::btnBackTouchUpInside));
    library::fitShortScreen(*view(), *tableView_);
    library::frameBox(*header_);
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    tableView_->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(me));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView_->setAllowsSelection(false);
    tableView_->loadTopData();
}

void EVCommentListViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

bool EVCommentListViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*)
{
    ++generation_;
    tableView_->setCurPage(1);
    loadData();
    return true;
}

bool EVCommentListViewController::refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*)
{
    tableView_->setCurPage(tableView_->curPage() + 1);
    loadData();
    return true;
}

void EVCommentListViewController::loadData()
{
    if (!video_) {
        tableView_->doneLoadingTableViewData();
        return;
    }
    int page = tableView_->curPage();
    int generation = generation_;
    library::showLoading();
    platform::Dictionary params;
    params.set("videoId", video_->videoId);
    params.set("page", page);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kCommentsRequest,
        platform::Value(std::move(params)), nullptr,
        weakCallbackAfter<EVCommentListViewController>(library::hideOverlay,
            [page, generation](EVCommentListViewController& screen, const platform::Value& reply) {
                screen.pageArrived(page, generation, reply);
            }),
        weakCallbackAfter<EVCommentListViewController>(library::showFailed, [page, generation](EVCommentListViewController& screen,
                                                      const std::string&) { screen.pageFailed(page, generation); }));
}

void EVCommentListViewController::pageArrived(int page, int generation, const platform::Value& reply)
{
    if (generation != generation_)
        return;
    library::hideOverlay();
    library::takePage(comments_, reply, "commentItems", &EVCommentInfo::commentWithObj, page, *tableView_);
}

void EVCommentListViewController::pageFailed(int page, int generation)
{
    if (generation != generation_)
        return;
    library::pageFailed(page, *tableView_);
}

std::shared_ptr<UITableViewCell> EVCommentListViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    auto cell = BaseCell::dequeue<EVCommentCell>(*table);
    if (std::size_t(path.row) < comments_.size())
        cell->setComment(comments_[std::size_t(path.row)]);
    return cell;
}

std::optional<double> EVCommentListViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    return EVCommentCell::height(std::size_t(path.row) < comments_.size() ? comments_[std::size_t(path.row)] : nullptr);
}

std::optional<double> EVCommentListViewController::heightForFooterInSection(UITableView*, long)
{
    return library::kSectionFooterHeight;
}

std::shared_ptr<UIView> EVCommentListViewController::viewForFooterInSection(UITableView*, long)
{
    return library::emptyFooter();
}

} // namespace content
