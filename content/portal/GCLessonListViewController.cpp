#include "content/portal/GCLessonListViewController.h"

#include "content/portal/GCLessonCell.h"
#include "content/portal/GCLessonDetailViewController.h"
#include "content/portal/PortalStyle.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/controls/EmptyCell.h"

namespace content {

GCLessonListViewController::GCLessonListViewController()
    : PortalViewController(std::string(kClassName))
{
    setTitle("微视频");
}

void GCLessonListViewController::setSubject(std::shared_ptr<GCSubjectInfo> subject)
{
    subject_ = std::move(subject);
    if (subject_)
        setTitle(subject_->name.value_or("") + "课程");
}

void GCLessonListViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    PortalViewController::declareLayoutBindings(bindings);
    bindings.outlet("searchBar", searchBar_);
    bindings.outlet("txtSearch", txtSearch_);
    bindings.outlet("searchBg", searchBg_);
    bindings.outlet("btnSearch", btnSearch_);
    bindings.outlet("tableView", tableView_);
    bindings.action("txtEditingChanged:", &GCLessonListViewController::txtEditingChanged);
    bindings.action("btnCancelTouchUpInside:", &GCLessonListViewController::btnCancelTouchUpInside);
}

void GCLessonListViewController::viewDidLoad()
{
    PortalViewController::viewDidLoad();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &GCLessonListViewController::btnBackTouchUpInside));
    fitToScreen(tableView_);
    btnSearch_->setBackgroundColor(hexColor("7fc410"));
    roundCorners(*btnSearch_, 4.0);
    roundCorners(*searchBg_, 4.0);
    searchWidth_ = searchBar_->frame().width();
    auto self = BaseViewController::self<GCLessonListViewController>();
    txtSearch_->setDelegate(std::weak_ptr<UITextFieldDelegate>(self));
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    tableView_->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(self));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView_->loadTopData();
}

void GCLessonListViewController::viewWillDisappear(bool animated)
{
    PortalViewController::viewWillDisappear(animated);
    view()->endEditing(true);
}

void GCLessonListViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

bool GCLessonListViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*)
{
    hold(request_, APIRequest::lessonItems(subject_ ? std::optional(subject_->sid) : std::nullopt));
    return true;
}

void GCLessonListViewController::apiRequestFinished(APIRequest& request)
{
    auto result = GCResultInfo::instanceWithObj(request.responseData());
    release(request_);
    if (!result) {
        showHint("请求失败");
    } else if (!result->isSuccess() || !result->data.isArray()) {
        // A refused reply is an error whatever its data.
        showHint(errorText(result, "未知错误"));
    } else {
        std::vector<std::shared_ptr<GCLessonInfo>> lessons;
        for (const auto& item : *result->data.asArray()) {
            if (auto lesson = GCLessonInfo::instanceWithObj(item))
                lessons.push_back(lesson);
        }
        setListDataAll(std::move(lessons));
    }
    tableView_->doneLoadingTableViewData();
}

void GCLessonListViewController::apiRequestFailed(APIRequest&)
{
    release(request_);
    showHint("请求失败");
    tableView_->doneLoadingTableViewData();
}

void GCLessonListViewController::setListDataAll(std::vector<std::shared_ptr<GCLessonInfo>> lessons)
{
    listDataAll_ = std::move(lessons);
    refreshSearchData();
}

void GCLessonListViewController::refreshSearchData()
{
    // Before the view loads there is no search text and no list to reload.
    listData_ = LessonSearch(isViewLoaded() ? txtSearch_->text() : std::string()).filter(listDataAll_);
    if (isViewLoaded())
        tableView_->reloadData();
}

void GCLessonListViewController::txtEditingChanged(UIControl*) { refreshSearchData(); }

void GCLessonListViewController::btnCancelTouchUpInside(UIControl*) { view()->endEditing(true); }

bool GCLessonListViewController::textFieldShouldReturn(UITextField*)
{
    view()->endEditing(true);
    return true;
}

void GCLessonListViewController::textFieldDidBeginEditing(UITextField*) { setSearchWidth(view()->bounds().width()); }

void GCLessonListViewController::textFieldDidEndEditing(UITextField*) { setSearchWidth(searchWidth_); }

void GCLessonListViewController::setSearchWidth(double width)
{
    auto bar = searchBar_;
    UIView::animateWithDuration(kSearchSeconds, [bar, width] {
        auto frame = bar->frame();
        frame.size.width = width;
        bar->setFrame(frame);
    });
}

long GCLessonListViewController::numberOfRowsInSection(UITableView*, long)
{
    long rows = long(listData_.size());
    return rows == 0 && tableView_->hasLoad() ? 1 : rows;
}

std::shared_ptr<UITableViewCell> GCLessonListViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    if (listData_.empty())
        return BaseCell::dequeue<EmptyCell>(*table);
    auto cell = BaseCell::dequeue<GCLessonCell>(*table);
    auto row = std::size_t(path.row);
    cell->setLesson(row < listData_.size() ? listData_[row] : nullptr);
    return cell;
}

std::optional<double> GCLessonListViewController::heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    if (listData_.empty())
        return table->frame().height();
    auto row = std::size_t(path.row);
    return GCLessonCell::height(row < listData_.size() ? listData_[row] : nullptr);
}

void GCLessonListViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    auto row = std::size_t(path.row);
    auto navigation = navigationController();
    if (row >= listData_.size() || !navigation)
        return;
    auto detail = std::make_shared<GCLessonDetailViewController>();
    detail->setLesson(listData_[row]);
    detail->setSubject(subject_);
    navigation->pushViewController(detail, true);
}

} // namespace content
