#include "content/portal/GCViewController.h"

#include "content/portal/GCLessonListViewController.h"
#include "content/portal/GCLiveVideoDetailViewController.h"
#include "content/portal/GCSubjectCell.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIView.h"

namespace content {

namespace {
    constexpr const char* kTitle = "成长课堂";
    constexpr int kSubjectsTag = 0;
}

GCViewController::GCViewController()
    : PortalViewController(std::string(kClassName))
{
    setTitle(kTitle);
}

void GCViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    PortalViewController::declareLayoutBindings(bindings);
    bindings.outlet("btnTab0", btnTab0_);
    bindings.outlet("btnTab1", btnTab1_);
    bindings.outlet("contentView", contentView_);
    bindings.outlet("cursor", cursor_);
    bindings.outlet("imgTop", imgTop_);
    bindings.outlet("tableView0", tableView0_);
    bindings.outlet("tableView1", tableView1_);
    bindings.action("btnTabTouchUpInside:", &GCViewController::btnTabTouchUpInside);
}

void GCViewController::viewDidLoad()
{
    PortalViewController::viewDidLoad();
    observe(LOGIN_SUCCESS_NOTIFICATION, &GCViewController::loginSucceeded);
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &GCViewController::btnBackTouchUpInside));
    fitToScreen(contentView_);
    auto self = BaseViewController::self<GCViewController>();
    for (const auto& table : { tableView0_, tableView1_ }) {
        table->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
        table->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
        table->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(self));
        table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    }
    hold(request_, APIRequest::userLogin());
}

void GCViewController::viewWillAppear(bool animated)
{
    PortalViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
}

void GCViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

void GCViewController::btnTabTouchUpInside(UIControl* sender)
{
    for (const auto& button : { btnTab0_, btnTab1_ }) {
        if (button.get() == sender)
            setCurrentBtn(button);
    }
}

void GCViewController::loginSucceeded(const platform::Notification&)
{
    switchToView(currentBtn_ ? currentBtn_->tag() : kSubjectsTag);
    if (!currentBtn_)
        setCurrentBtn(btnTab0_);
}

void GCViewController::setCurrentBtn(const std::shared_ptr<UIButton>& button)
{
    if (!button || button == currentBtn_)
        return;
    if (currentBtn_)
        currentBtn_->setEnabled(true);
    currentBtn_ = button;
    currentBtn_->setEnabled(false);
    double x = button->center().x;
    auto cursor = cursor_;
    UIView::animateWithDuration(kCursorSeconds, [cursor, x] { cursor->setCenter({ x, cursor->center().y }); });
    switchToView(button->tag());
}

void GCViewController::switchToView(int tag)
{
    if (!isViewLoaded())
        return;
    auto table = tag == kSubjectsTag ? tableView0_ : tableView1_;
    table->setFrame(contentView_->bounds());
    for (const auto& subview : std::vector(contentView_->subviews()))
        subview->removeFromSuperview();
    contentView_->addSubview(table);
    if (!table->hasLoad())
        table->loadTopData();
}

RefreshTableView* GCViewController::tableFor(const APIRequest& request) const
{
    return request.api() == APIRequest::kSubjectItems ? tableView0_.get() : tableView1_.get();
}

bool GCViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView* table)
{
    if (table->tag() == kSubjectsTag)
        hold(subjectRequest_, APIRequest::subjectItems());
    else
        hold(liveVideoRequest_, APIRequest::livevideoItems());
    return true;
}

void GCViewController::apiRequestStarted(APIRequest& request)
{
    if (request.api() != APIRequest::kUserLogin)
        return;
    view()->bringSubviewToFront(hud());
    hud()->setMode(ProgressOverlayModeSpinner);
    hud()->setLabelText("请求接入中");
    hud()->show(true);
}

void GCViewController::apiRequestFinished(APIRequest& request)
{
    auto result = GCResultInfo::instanceWithObj(request.responseData());
    if (request.api() == APIRequest::kUserLogin) {
        release(request_);
        std::shared_ptr<GCUserInfo> user = isSuccess(result) ? GCUserInfo::instanceWithObj(result->data) : nullptr;
        hud()->hide(true);
        if (!user) {
            showAlert("请求失败", errorText(result, "未知错误"));
            return;
        }
        APIRequest::setUser(user);
        platform::NotificationCenter::defaultCenter().post(LOGIN_SUCCESS_NOTIFICATION);
        return;
    }
    bool subjects = request.api() == APIRequest::kSubjectItems;
    RefreshTableView* table = tableFor(request);
    release(subjects ? subjectRequest_ : liveVideoRequest_);
    const platform::Array* items = isSuccess(result) ? result->data.asArray() : nullptr;
    if (!items) {
        showHint(errorText(result, "未知错误"), kHintSeconds);
    } else if (subjects) {
        subjects_.clear();
        for (const auto& item : *items) {
            auto subject = GCSubjectInfo::instanceWithObj(item);
            if (subject && subject->isListed())
                subjects_.push_back(subject);
        }
    } else {
        liveVideos_.clear();
        for (const auto& item : *items) {
            if (auto live = GCLiveVideoInfo::instanceWithObj(item))
                liveVideos_.push_back(live);
        }
    }
    table->doneLoadingTableViewData();
}

void GCViewController::apiRequestFailed(APIRequest& request)
{
    if (request.api() == APIRequest::kUserLogin) {
        release(request_);
        hud()->hide(true);
        showAlert("出错", "请求接入失败");
        return;
    }
    RefreshTableView* table = tableFor(request);
    release(request.api() == APIRequest::kSubjectItems ? subjectRequest_ : liveVideoRequest_);
    showHint("请求出错", kHintSeconds);
    table->doneLoadingTableViewData();
}

void GCViewController::showAlert(const std::string& title, const std::string& message)
{
    auto alert = std::make_shared<UIAlertView>(
        title, message, std::weak_ptr<UIAlertViewDelegate>(BaseViewController::self<GCViewController>()), "确定");
    alert->show();
}

void GCViewController::alertViewClickedButton(UIAlertView*, long) { popViewController(); }

long GCViewController::numberOfRowsInSection(UITableView* table, long)
{
    return table->tag() == kSubjectsTag ? long(subjects_.size()) : long(liveVideos_.size());
}

std::shared_ptr<UITableViewCell> GCViewController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    auto row = std::size_t(path.row);
    if (table->tag() == kSubjectsTag) {
        auto cell = BaseCell::dequeue<GCSubjectCell>(*table);
        cell->setSubject(row < subjects_.size() ? subjects_[row] : nullptr);
        return cell;
    }
    auto cell = BaseCell::dequeue<GCLiveVideoCell>(*table);
    cell->setLiveVideo(row < liveVideos_.size() ? liveVideos_[row] : nullptr);
    return cell;
}

std::optional<double> GCViewController::heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    if (table->tag() == kSubjectsTag)
        return BaseCell::height<GCSubjectCell>();
    auto row = std::size_t(path.row);
    return row < liveVideos_.size() ? GCLiveVideoCell::height(liveVideos_[row]) : 0.0;
}

std::optional<double> GCViewController::heightForHeaderInSection(UITableView* table, long)
{
    return table->tag() == kSubjectsTag ? imgTop_->frame().height() : 0.0;
}

std::shared_ptr<UIView> GCViewController::viewForHeaderInSection(UITableView* table, long)
{
    return table->tag() == kSubjectsTag ? std::static_pointer_cast<UIView>(imgTop_) : nullptr;
}

void GCViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    auto row = std::size_t(path.row);
    auto navigation = navigationController();
    if (table->tag() == kSubjectsTag) {
        if (row >= subjects_.size() || !navigation)
            return;
        auto list = std::make_shared<GCLessonListViewController>();
        list->setSubject(subjects_[row]);
        navigation->pushViewController(list, true);
        return;
    }
    if (row >= liveVideos_.size() || !navigation)
        return;
    auto detail = std::make_shared<GCLiveVideoDetailViewController>();
    detail->setLiveVideo(liveVideos_[row]);
    navigation->pushViewController(detail, true);
}

} // namespace content
