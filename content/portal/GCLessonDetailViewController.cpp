#include "content/portal/GCLessonDetailViewController.h"

#include "content/player/ORBMoviePlayerController.h"
#include "content/portal/DetailViews.h"
#include "content/portal/PortalStyle.h"
#include "core/session/MyAccountInfo.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWindow.h"
#include "ui/controls/EmptyCell.h"

namespace content {

namespace {
    constexpr long kIntroSection = 0;
}

GCLessonDetailViewController::GCLessonDetailViewController()
    : PortalViewController(std::string(kClassName))
{
    setTitle("课程详细");
}

void GCLessonDetailViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    PortalViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("headerView", headerView_);
}

void GCLessonDetailViewController::viewDidLoad()
{
    PortalViewController::viewDidLoad();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &GCLessonDetailViewController::btnBackTouchUpInside));
    fitToScreen(tableView_);
    lblName_->setTextColor(hexColor("568607"));
    lblNameMarginY_ = headerView_->frame().height() - lblName_->frame().height();
    layoutHeader();
    auto self = BaseViewController::self<GCLessonDetailViewController>();
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    tableView_->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(self));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView_->loadTopData();
}

void GCLessonDetailViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

void GCLessonDetailViewController::layoutHeader()
{
    std::string name = lesson_ ? lesson_->name().value_or("") : "";
    lblName_->setText(name);
    double height = textHeight(name, lblName_->font(), lblName_->frame().width());
    auto label = lblName_->frame();
    label.size.height = height;
    lblName_->setFrame(label);
    auto frame = headerView_->frame();
    frame.size.height = height + lblNameMarginY_;
    headerView_->setFrame(frame);
    tableView_->setTableHeaderView(headerView_);
}

bool GCLessonDetailViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*)
{
    auto account = core::MyAccountInfo::currentAccount();
    std::optional<std::string> sequence;
    if (account && !account->stuSquence.empty())
        sequence = account->stuSquence;
    hold(request_,
        APIRequest::lessonDetail(lesson_ ? lesson_->uid : 0, account ? std::int32_t(account->uid) : 0, sequence));
    return true;
}

void GCLessonDetailViewController::apiRequestFinished(APIRequest& request)
{
    auto result = GCResultInfo::instanceWithObj(request.responseData());
    release(request_);
    std::optional<std::string> error;
    if (!result) {
        error = "解析错误";
    } else if (result->isSuccess() && !result->data.isNull()) {
        if (auto lesson = GCLessonInfo::instanceWithObj(result->data))
            lesson_ = lesson;
        else
            error = "数据不完整";
    } else {
        error = errorText(result, "未知错误");
    }
    if (error)
        showHint(*error);
    tableView_->doneLoadingTableViewData();
}

void GCLessonDetailViewController::apiRequestFailed(APIRequest&)
{
    release(request_);
    showHint("请求失败");
    tableView_->doneLoadingTableViewData();
}

std::size_t GCLessonDetailViewController::videoCount() const
{
    return lesson_ && lesson_->videos ? lesson_->videos->size() : 0;
}

long GCLessonDetailViewController::numberOfRowsInSection(UITableView*, long section)
{
    if (section == kIntroSection)
        return 1;
    long rows = long(videoCount());
    return rows == 0 && tableView_->hasLoad() ? 1 : rows;
}

namespace {
    std::string introText(const std::optional<std::string>& intro) { return intro && !intro->empty() ? *intro : "无"; }
}

std::shared_ptr<UITableViewCell> GCLessonDetailViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    if (path.section == kIntroSection) {
        auto cell = BaseCell::dequeue<DetailCell>(*table);
        cell->setDetail(introText(lesson_ ? lesson_->intro : std::nullopt), !(lesson_ && lesson_->introVisible));
        return cell;
    }
    auto row = std::size_t(path.row);
    if (row >= videoCount())
        return BaseCell::dequeue<EmptyCell>(*table);
    auto cell = BaseCell::dequeue<GCVideoCell>(*table);
    cell->setVideo((*lesson_->videos)[row]);
    return cell;
}

std::optional<double> GCLessonDetailViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    // The row is measured from the text it shows: "无" in place of a missing
    // introduction needs its line as much as any introduction does.
    if (path.section == kIntroSection)
        return DetailCell::height(
            introText(lesson_ ? lesson_->intro : std::nullopt), !(lesson_ && lesson_->introVisible));
    auto row = std::size_t(path.row);
    if (row >= videoCount())
        return BaseCell::height<EmptyCell>();
    return GCVideoCell::height((*lesson_->videos)[row]);
}

std::optional<double> GCLessonDetailViewController::heightForHeaderInSection(UITableView*, long)
{
    return DetailHeader::height();
}

std::shared_ptr<UIView> GCLessonDetailViewController::viewForHeaderInSection(UITableView*, long section)
{
    auto header = DetailHeader::header();
    if (!header)
        return nullptr;
    if (section == kIntroSection) {
        header->setTitle("课程介绍");
    } else {
        header->setTitle("课件列表");
        header->setSubtitle(std::to_string(lesson_ ? lesson_->videoCount : 0));
    }
    return header;
}

std::optional<double> GCLessonDetailViewController::heightForFooterInSection(UITableView*, long section)
{
    return section == kIntroSection ? 0.0 : (videoCount() > 0 ? kFooterHeight : 0.0);
}

std::shared_ptr<UIView> GCLessonDetailViewController::viewForFooterInSection(UITableView*, long section)
{
    if (section == kIntroSection)
        return nullptr;
    return std::make_shared<UIView>(platform::Rect(0, 0, 320, videoCount() > 0 ? kFooterHeight : 0.0));
}

void GCLessonDetailViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    if (path.section == kIntroSection) {
        if (!lesson_)
            return;
        lesson_->introVisible = !lesson_->introVisible;
        table->reloadRowsAtIndexPaths({ path }, UITableViewRowAnimationNone);
        return;
    }
    auto row = std::size_t(path.row);
    if (row >= videoCount())
        return;
    const GCVideoInfo& video = *(*lesson_->videos)[row];
    if (video.isPlayable()) {
        play(video);
        return;
    }
    if (subject_ && subject_->name == std::string(kPurchasableSubject)) {
        if (auto navigation = navigationController())
            navigation->pushViewController(std::make_shared<GCPurchasingViewController>(), true);
        return;
    }
    showAlert("暂时无法播放该视频");
}

void GCLessonDetailViewController::play(const GCVideoInfo& video)
{
    // An address that forms no URL is as good as none.
    auto address = addressOf(video.src);
    if (!address) {
        showAlert("暂无视频可供播放");
        return;
    }
    auto player = std::make_shared<ORBMoviePlayerController>(address->absoluteString());
    auto window = UIWindow::keyWindow();
    auto root = window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
    if (root)
        root->presentViewController(player, true);
}

void GCLessonDetailViewController::showAlert(const std::string& message)
{
    auto alert = std::make_shared<UIAlertView>("提示", message, std::weak_ptr<UIAlertViewDelegate>(), "确定");
    alert->show();
}

// ---- GCPurchasingViewController ---------------------------------------------------------

GCPurchasingViewController::GCPurchasingViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle("开通包月");
}

void GCPurchasingViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("scrollView", scrollView_);
    bindings.outlet("contentView", contentView_);
    bindings.action("btnSubmitTouchUpInside:", &GCPurchasingViewController::btnSubmitTouchUpInside);
}

void GCPurchasingViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &GCPurchasingViewController::btnBackTouchUpInside));
    keepAtVisibleBottom(scrollView_);
    auto frame = contentView_->frame();
    frame.origin = { 0, 0 };
    contentView_->setFrame(frame);
    scrollView_->addSubview(contentView_);
    scrollView_->setContentSize(frame.size);
}

void GCPurchasingViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

void GCPurchasingViewController::btnSubmitTouchUpInside(UIControl*)
{
    auto alert = std::make_shared<UIAlertView>(
        "消息", "申请开通提交成功，请耐心等待我们的回复", std::weak_ptr<UIAlertViewDelegate>(), "确定");
    alert->show();
}

} // namespace content
