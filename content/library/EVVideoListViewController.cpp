#include "content/library/EVVideoListViewController.h"

#include "content/library/EVVideoDetailViewController.h"
#include "content/library/LibraryKit.h"
#include "content/portal/PortalStyle.h"
#include "core/network/ORBNetworkHelper.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/controls/EmptyCell.h"
#include "ui/images/RemoteImageView.h"

namespace content {

// ---- EVVideoCell ----------------------------------------------------------------------------

void EVVideoCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("imgIcon", imgIcon_);
    bindings.outlet("lblPlayCount", lblPlayCount_);
    bindings.outlet("lblTime", lblTime_);
}

void EVVideoCell::setVideo(std::shared_ptr<EVVideoInfo> video)
{
    if (!video)
        return;
    video_ = std::move(video);
    lblName_->setText(video_->title.value_or(""));
    setImageURL(imgIcon_, addressOf(video_->picPath));
    lblPlayCount_->setText("播放次数:" + std::to_string(video_->readCount));
    lblTime_->setText(formatLibraryTime(video_->createTime, "yyyy-MM-dd"));
}

// ---- EVVideoListViewController ------------------------------------------------------------

EVVideoListViewController::EVVideoListViewController()
    : BaseViewController(std::string(kClassName))
{
}

std::shared_ptr<EVVideoListViewController> EVVideoListViewController::initWithSubject(
    std::shared_ptr<EVSubjectInfo> subject, std::shared_ptr<EVGradeInfo> grade)
{
    auto screen = std::make_shared<EVVideoListViewController>();
    screen->setSubject(std::move(subject));
    screen->setGrade(std::move(grade));
    return screen;
}

void EVVideoListViewController::setSubject(std::shared_ptr<EVSubjectInfo> subject)
{
    subject_ = std::move(subject);
    updateTitle();
}

void EVVideoListViewController::setGrade(std::shared_ptr<EVGradeInfo> grade)
{
    grade_ = std::move(grade);
    updateTitle();
}

void EVVideoListViewController::updateTitle()
{
    std::string gradeName = grade_ ? grade_->gradeName.value_or("") : "";
    std::string subjectName = subject_ ? subject_->subjectName.value_or("") : "";
    setTitle(gradeName + " " + subjectName);
}

void EVVideoListViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
}

void EVVideoListViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<EVVideoListViewController>();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &EVVideoListViewController::btnBackTouchUpInside));
    library::fitShortScreen(*view(), *tableView_);
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    tableView_->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(me));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView_->loadTopData();
}

void EVVideoListViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

bool EVVideoListViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*)
{
    // A pull starts the list again: whatever page was under way is stale.
    ++generation_;
    tableView_->setCurPage(1);
    loadData();
    return true;
}

bool EVVideoListViewController::refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*)
{
    tableView_->setCurPage(tableView_->curPage() + 1);
    loadData();
    return true;
}

void EVVideoListViewController::loadData()
{
    if (!subject_)
        return;
    int page = tableView_->curPage();
    int generation = generation_;
    platform::Dictionary params;
    int type = kBySubjectRequest;
    if (subject_->subjectId >= 1) {
        params.set("subjectId", subject_->subjectId);
        params.set("gradeBank", grade_ ? grade_->gradeBank : 0);
    } else {
        type = kBySourceRequest;
        params.set("source", kPicksSource);
    }
    params.set("page", page);
    library::showLoading();
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(type,
        platform::Value(std::move(params)), nullptr,
        weakCallbackAfter<EVVideoListViewController>(library::hideOverlay,
            [page, generation](EVVideoListViewController& screen, const platform::Value& reply) {
                screen.pageArrived(page, generation, reply);
            }),
        weakCallbackAfter<EVVideoListViewController>(library::showFailed, [page, generation](EVVideoListViewController& screen,
                                                    const std::string&) { screen.pageFailed(page, generation); }));
}

void EVVideoListViewController::pageArrived(int page, int generation, const platform::Value& reply)
{
    if (generation != generation_)
        return;
    library::hideOverlay();
    library::takePage(videos_, reply, "videoItems", &EVVideoInfo::videoWithObj, page, *tableView_);
}

void EVVideoListViewController::pageFailed(int page, int generation)
{
    if (generation != generation_)
        return;
    library::pageFailed(page, *tableView_);
}

long EVVideoListViewController::numberOfRowsInSection(UITableView*, long)
{
    return videos_.empty() ? 1 : long(videos_.size());
}

std::shared_ptr<UITableViewCell> EVVideoListViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    if (videos_.empty())
        return BaseCell::dequeue<EmptyCell>(*table);
    auto cell = BaseCell::dequeue<EVVideoCell>(*table);
    if (std::size_t(path.row) < videos_.size())
        cell->setVideo(videos_[std::size_t(path.row)]);
    return cell;
}

std::optional<double> EVVideoListViewController::heightForRowAtIndexPath(UITableView* table, const NSIndexPath&)
{
    return videos_.empty() ? table->frame().height() : BaseCell::height<EVVideoCell>();
}

std::optional<double> EVVideoListViewController::heightForFooterInSection(UITableView*, long)
{
    return library::kSectionFooterHeight;
}

std::shared_ptr<UIView> EVVideoListViewController::viewForFooterInSection(UITableView*, long)
{
    return library::emptyFooter();
}

void EVVideoListViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    if (path.row < 0 || std::size_t(path.row) >= videos_.size())
        return;
    if (auto navigation = navigationController())
        navigation->pushViewController(EVVideoDetailViewController::initWithVideo(videos_[std::size_t(path.row)]), true);
}

} // namespace content
