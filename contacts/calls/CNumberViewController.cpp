#include "contacts/calls/CNumberViewController.h"

#include "contacts/calls/CallNumberViewController.h"
#include "contacts/calls/HistoryNumberCell.h"
#include "contacts/warn/WarnPrompt.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "ui/ORBHelper.h"
#include "ui/overlay/ProgressOverlay.h"

namespace {
constexpr const char* kSyncing = "正在同步...";
constexpr const char* kLoadingPage = "请求数据中";
constexpr const char* kPageFailed = "请求数据失败，请重试";
constexpr double kOtherTableRowHeight = 44;

std::shared_ptr<UIView> applicationWindow() { return UIApplication::sharedApplication().keyWindow(); }
} // namespace

CNumberViewController::CNumberViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle(kTitle);
}

void CNumberViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("historyTableView", historyTableView_);
}

void CNumberViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto self = BaseViewController::self<CNumberViewController>();
    historyTableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    historyTableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    historyTableView_->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(self));
    historyTableView_->setPageSize(kPageSize);
    historyTableView_->loadTopData();
    dialView_ = VelaDialView::sharedVelaDialView();
    dialView_->setDelegate(weakSelf<CNumberViewController>());
    dialView_->showInView(view());
    checkService();
    // The history ends where the pad begins, on either screen.
    keepAtVisibleBottom(historyTableView_, dialView_);
}

void CNumberViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    visible_ = true;
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    // Back from a call: the pad is this screen's again.
    if (dialView_) {
        dialView_->setDelegate(weakSelf<CNumberViewController>());
        dialView_->showInView(view());
    }
    // Back from a call: the call just made (and how it ended) is in the
    // history now, on its first page.
    if (callOpened_ && historyTableView_) {
        callOpened_ = false;
        reloadFirstPage();
    }
}

void CNumberViewController::reloadFirstPage()
{
    const int generation = loadGeneration_;
    historyTableView_->loadTopData();
    // The pull-down band ignores a trigger while a page is still loading:
    // the first page is asked for all the same, and the load out goes stale.
    if (generation == loadGeneration_) {
        historyTableView_->setCurPage(1);
        loadPage();
    }
}

void CNumberViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    visible_ = false;
    // What this screen put on the window is this screen's: it does not stay
    // over whatever comes next.
    contacts::hideWarnView(prompt_);
    prompt_.reset();
    for (const auto& weak : { checkOverlay_, pageOverlay_ }) {
        if (auto overlay = weak.lock())
            overlay->hide(false);
    }
}

std::shared_ptr<ProgressOverlay> CNumberViewController::showWaiting(const std::string& text)
{
    auto window = applicationWindow();
    if (!window)
        return nullptr;
    auto overlay = ProgressOverlay::showHUDAddedTo(window, true);
    overlay->setAnimationType(ProgressOverlayAnimationZoom);
    overlay->setMode(ProgressOverlayModeSpinner);
    overlay->setLabelText(text);
    overlay->setRemoveFromSuperViewOnHide(true);
    return overlay;
}

void CNumberViewController::checkService()
{
    checkOverlay_ = showWaiting(kSyncing);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        static_cast<int>(core::ORBRequestType::CtdCheck), platform::Value(), nullptr,
        weakCallback<CNumberViewController>([](CNumberViewController& screen, const platform::Value& reply) {
            if (auto overlay = screen.checkOverlay_.lock())
                overlay->hide(true);
            auto window = applicationWindow();
            if (reply["status"].intValue() != 0) {
                screen.strWarn_ = reply["resultMsg"].stringValue();
                if (screen.visible_ && !contacts::warnSilenced(kCallNumberKey)) {
                    screen.warnState_ = WarnView::kConfirmVariant;
                    screen.prompt_ = contacts::showWarnView(
                        window, screen.strWarn_, WarnView::kConfirmVariant, screen.weakSelf<CNumberViewController>(), 0);
                }
            } else if (screen.visible_) {
                screen.warnState_ = WarnView::kNoticeVariant;
                screen.prompt_ = contacts::showWarnView(window, reply["dealResult"].stringValue(),
                    WarnView::kNoticeVariant, screen.weakSelf<CNumberViewController>(), 0);
            }
        }),
        weakCallback<CNumberViewController>([](CNumberViewController& screen, const std::string& message) {
            if (auto overlay = screen.checkOverlay_.lock())
                overlay->hide(false);
            // A failure is no work in progress: the text alone.
            ORBHelper::showProgressHud(message, false, true);
            if (screen.visible_)
                screen.popViewController();
        }));
}

void CNumberViewController::closeWarningViewWithNotNext(bool notNext, long buttonIndex)
{
    contacts::hideWarnView(prompt_);
    prompt_.reset();
    if (buttonIndex == WarnView::kConfirmTag && warnState_ == WarnView::kConfirmVariant) {
        contacts::storeWarnTick(kCallNumberKey, notNext);
        return;
    }
    popViewController();
}

bool CNumberViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView* table)
{
    table->setCurPage(1);
    loadPage();
    return true;
}

bool CNumberViewController::refreshTableViewFooterDidTriggerLoadMore(RefreshTableView* table)
{
    table->setCurPage(table->curPage() + 1);
    loadPage();
    return true;
}

void CNumberViewController::loadPage()
{
    const int page = historyTableView_->curPage();
    const int generation = ++loadGeneration_;
    if (auto old = pageOverlay_.lock())
        old->hide(false);
    pageOverlay_ = showWaiting(kLoadingPage);
    platform::Dictionary params;
    params.set("page", page);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        static_cast<int>(core::ORBRequestType::CtdHistory), platform::Value(std::move(params)), nullptr,
        weakCallback<CNumberViewController>(
            [page, generation](CNumberViewController& screen, const platform::Value& reply) {
                if (generation == screen.loadGeneration_)
                    screen.pageLoaded(page, reply);
            }),
        weakCallback<CNumberViewController>([page, generation](CNumberViewController& screen, const std::string&) {
            if (generation == screen.loadGeneration_)
                screen.pageFailed(page);
        }));
}

void CNumberViewController::pageLoaded(int page, const platform::Value& reply)
{
    if (auto overlay = pageOverlay_.lock())
        overlay->hide(true);
    auto rows = core::HistoryInfo::historiesWithItems(reply["items"]);
    if (page <= 1)
        historyData_.clear();
    historyData_.insert(historyData_.end(), rows.begin(), rows.end());
    historyTableView_->setPageCount(rows.empty() ? 0 : page + 1);
    historyTableView_->doneLoadingTableViewData();
    historyTableView_->reloadData();
}

void CNumberViewController::pageFailed(int page)
{
    if (auto overlay = pageOverlay_.lock())
        overlay->hide(false);
    ORBHelper::showProgressHud(kPageFailed, false, true);
    // The page was not had: the next load-more asks for it again.
    if (page > 1)
        historyTableView_->setCurPage(page - 1);
    historyTableView_->doneLoadingTableViewData();
}

std::shared_ptr<UITableViewCell> CNumberViewController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    auto cell = BaseCell::dequeue<HistoryNumberCell>(*table);
    if (path.row >= 0 && static_cast<std::size_t>(path.row) < historyData_.size())
        cell->setHistory(historyData_[static_cast<std::size_t>(path.row)]);
    return cell;
}

std::optional<double> CNumberViewController::heightForRowAtIndexPath(UITableView* table, const NSIndexPath&)
{
    return table == historyTableView_.get() ? BaseCell::height<HistoryNumberCell>() : kOtherTableRowHeight;
}

void CNumberViewController::openCall(const std::shared_ptr<UIViewController>& screen)
{
    if (auto navigation = navigationController(); navigation && screen) {
        callOpened_ = true;
        navigation->pushViewController(screen, true);
    }
}

void CNumberViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    if (path.row < 0 || static_cast<std::size_t>(path.row) >= historyData_.size())
        return;
    auto history = historyData_[static_cast<std::size_t>(path.row)];
    info_ = history;
    auto call = std::make_shared<CallNumberViewController>();
    call->setHistory(history);
    call->setStrWarn(strWarn_);
    call->setCallType(history->callerType);
    openCall(call);
}

void CNumberViewController::onDialView(VelaDialView&, const std::string& makePhoneCall)
{
    auto contact = std::make_shared<core::ContactInfo>();
    contact->phone = makePhoneCall;
    info_ = contact;
    auto call = std::make_shared<CallNumberViewController>();
    call->setContact(contact);
    call->setStrWarn(strWarn_);
    call->setCallType(3);
    openCall(call);
}
