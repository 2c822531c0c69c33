#include "content/portal/GCLiveVideoDetailViewController.h"

#include "content/player/ORBMoviePlayerController.h"
#include "content/portal/DetailViews.h"
#include "content/portal/PortalStyle.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "ui/controls/EmptyCell.h"
#include "ui/images/RemoteImageView.h"

namespace content {

GCLiveVideoDetailViewController::GCLiveVideoDetailViewController()
    : PortalViewController(std::string(kClassName))
{
    setTitle("直播详细");
}

void GCLiveVideoDetailViewController::setLiveVideo(std::shared_ptr<GCLiveVideoInfo> liveVideo)
{
    liveVideo_ = std::move(liveVideo);
    if (isViewLoaded())
        layoutHeader();
}

std::string GCLiveVideoDetailViewController::guideText() const
{
    return "请使用PC前往" + (liveVideo_ ? liveVideo_->link.value_or("") : std::string())
        + "，用APP相同的用户名和密码登录，在首页点击相应直播课程即可学习";
}

void GCLiveVideoDetailViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    PortalViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("imgView", imgView_);
    bindings.outlet("headerView", headerView_);
    bindings.outlet("lectorCell", lectorCell_);
    bindings.outlet("imgLectorAvatar", imgLectorAvatar_);
    bindings.outlet("lblLectorName", lblLectorName_);
    bindings.action("btnScanTouchUpInside:", &GCLiveVideoDetailViewController::btnScanTouchUpInside);
}

void GCLiveVideoDetailViewController::viewDidLoad()
{
    PortalViewController::viewDidLoad();
    setLeftItem(
        imageBarButton("public_back_btn.png", "btnBack", &GCLiveVideoDetailViewController::btnBackTouchUpInside));
    fitToScreen(tableView_);
    lblName_->setTextColor(hexColor("568607"));
    lblLectorName_->setTextColor(hexColor("7fc410"));
    roundCorners(*imgLectorAvatar_, imgLectorAvatar_->frame().width() / 2);
    lblNameMarginY_ = headerView_->frame().height() - lblName_->frame().height();
    auto self = BaseViewController::self<GCLiveVideoDetailViewController>();
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    tableView_->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(self));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    layoutHeader();
    tableView_->loadTopData();
}

void GCLiveVideoDetailViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

void GCLiveVideoDetailViewController::layoutHeader()
{
    if (!isViewLoaded())
        return;
    std::string name = liveVideo_ ? liveVideo_->name.value_or("") : "";
    lblName_->setText(name);
    if (liveVideo_ && liveVideo_->image)
        setImageURL(imgView_, addressOf(liveVideo_->image));
    double height = textHeight(name, lblName_->font(), lblName_->frame().width());
    auto label = lblName_->frame();
    label.size.height = height;
    lblName_->setFrame(label);
    auto frame = headerView_->frame();
    frame.size.height = height + lblNameMarginY_;
    headerView_->setFrame(frame);
    auto lector = liveVideo_ ? liveVideo_->lector : nullptr;
    if (lector && lector->avatar)
        setImageURL(imgLectorAvatar_, addressOf(lector->avatar));
    lblLectorName_->setText(lector ? lector->name.value_or("") : "");
    tableView_->setTableHeaderView(headerView_);
}

bool GCLiveVideoDetailViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*)
{
    hold(request_, APIRequest::liveVideoDetail(liveVideo_ ? liveVideo_->uid : 0));
    return true;
}

void GCLiveVideoDetailViewController::apiRequestFinished(APIRequest& request)
{
    auto result = GCResultInfo::instanceWithObj(request.responseData());
    release(request_);
    std::optional<std::string> error;
    if (!result) {
        error = "解析错误";
    } else if (result->isSuccess() && !result->data.isNull()) {
        if (auto live = GCLiveVideoInfo::instanceWithObj(result->data)) {
            liveVideo_ = live;
            layoutHeader();
        } else {
            error = "数据不完整";
        }
    } else {
        // An empty message tells nothing: it reads as none.
        error = errorText(result, "未知错误");
    }
    if (error)
        showHint(*error);
    tableView_->doneLoadingTableViewData();
}

void GCLiveVideoDetailViewController::apiRequestFailed(APIRequest&)
{
    release(request_);
    showHint("请求失败");
    tableView_->doneLoadingTableViewData();
}

GCLiveVideoDetailViewController::Section GCLiveVideoDetailViewController::sectionKind(long section) const
{
    bool hasLector = liveVideo_ && liveVideo_->lector;
    if (!hasLector)
        ++section;
    return section == 0 ? Section::Lector : section == 1 ? Section::Lessons : Section::Guide;
}

std::vector<std::shared_ptr<GCLiveVideoItemInfo>> GCLiveVideoDetailViewController::lessons() const
{
    std::vector<std::shared_ptr<GCLiveVideoItemInfo>> out;
    if (!liveVideo_)
        return out;
    if (liveVideo_->top)
        out.push_back(liveVideo_->top);
    if (liveVideo_->items)
        out.insert(out.end(), liveVideo_->items->begin(), liveVideo_->items->end());
    return out;
}

long GCLiveVideoDetailViewController::numberOfSectionsInTableView(UITableView*)
{
    return liveVideo_ && liveVideo_->lector ? 3 : 2;
}

long GCLiveVideoDetailViewController::numberOfRowsInSection(UITableView*, long section)
{
    switch (sectionKind(section)) {
    case Section::Lector:
        return 2;
    case Section::Lessons: {
        long rows = long(lessons().size());
        return rows == 0 && tableView_->hasLoad() ? 1 : rows;
    }
    case Section::Guide:
        return 1;
    }
    return 0;
}

namespace {
    std::string lectorIntro(const GCUserInfo& lector)
    {
        return lector.intro && !lector.intro->empty() ? *lector.intro : "无简介";
    }
}

std::shared_ptr<UITableViewCell> GCLiveVideoDetailViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    switch (sectionKind(path.section)) {
    case Section::Lector: {
        if (path.row == 0)
            return lectorCell_;
        auto cell = BaseCell::dequeue<DetailCell>(*table);
        cell->setDetail(lectorIntro(*liveVideo_->lector), !liveVideo_->lector->introVisible);
        return cell;
    }
    case Section::Lessons: {
        auto all = lessons();
        if (std::size_t(path.row) >= all.size())
            return BaseCell::dequeue<EmptyCell>(*table);
        auto cell = BaseCell::dequeue<GCLiveVideoItemCell>(*table);
        cell->setItem(all[std::size_t(path.row)]);
        return cell;
    }
    case Section::Guide:
        break;
    }
    auto cell = BaseCell::dequeue<DetailCell>(*table);
    cell->setDetail(guideText());
    return cell;
}

std::optional<double> GCLiveVideoDetailViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    switch (sectionKind(path.section)) {
    case Section::Lector:
        if (path.row == 0)
            return lectorCell_->frame().height();
        return DetailCell::height(lectorIntro(*liveVideo_->lector), !liveVideo_->lector->introVisible);
    case Section::Lessons: {
        auto all = lessons();
        if (std::size_t(path.row) >= all.size())
            return BaseCell::height<EmptyCell>();
        return GCLiveVideoItemCell::height(all[std::size_t(path.row)]);
    }
    case Section::Guide:
        break;
    }
    return DetailCell::height(guideText());
}

std::optional<double> GCLiveVideoDetailViewController::heightForHeaderInSection(UITableView*, long)
{
    return DetailHeader::height();
}

std::shared_ptr<UIView> GCLiveVideoDetailViewController::viewForHeaderInSection(UITableView*, long section)
{
    auto header = DetailHeader::header();
    if (!header)
        return nullptr;
    switch (sectionKind(section)) {
    case Section::Lector:
        header->setTitle("讲师信息");
        break;
    case Section::Lessons:
        header->setTitle("直播列表");
        break;
    case Section::Guide:
        header->setTitle("观看指引");
        break;
    }
    return header;
}

std::optional<double> GCLiveVideoDetailViewController::heightForFooterInSection(UITableView* table, long section)
{
    return section == numberOfSectionsInTableView(table) - 1 ? kLastFooterHeight : 0.0;
}

std::shared_ptr<UIView> GCLiveVideoDetailViewController::viewForFooterInSection(UITableView* table, long section)
{
    return std::make_shared<UIView>(platform::Rect(0, 0, 320, *heightForFooterInSection(table, section)));
}

void GCLiveVideoDetailViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    auto kind = sectionKind(path.section);
    if (kind == Section::Lector && path.row == 1) {
        liveVideo_->lector->introVisible = !liveVideo_->lector->introVisible;
        table->reloadRowsAtIndexPaths({ path }, UITableViewRowAnimationNone);
        return;
    }
    if (kind != Section::Lessons)
        return;
    auto all = lessons();
    if (std::size_t(path.row) >= all.size())
        return;
    // An ended lesson's recording plays as the lesson videos do.
    const auto& item = all[std::size_t(path.row)];
    auto address = item->state == 3 ? addressOf(item->src) : std::nullopt;
    if (!address)
        return;
    auto window = UIWindow::keyWindow();
    auto root = window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
    if (root)
        root->presentViewController(std::make_shared<ORBMoviePlayerController>(address->absoluteString()), true);
}

void GCLiveVideoDetailViewController::btnScanTouchUpInside(UIControl*)
{
    auto alert = std::make_shared<UIAlertView>("提示", guideText(), std::weak_ptr<UIAlertViewDelegate>(), "确定");
    alert->show();
}

} // namespace content
