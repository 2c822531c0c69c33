#pragma once

#include "app/base/BaseViewController.h"
#include "contacts/calls/VelaDialView.h"
#include "contacts/warn/WarnView.h"
#include "core/model/HistoryInfo.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>
#include <string>
#include <vector>

class ProgressOverlay;

// "点击拨号" of the function grid: the account's click-to-dial history, ten
// calls a page, above the shared dial pad. Opening asks the service whether
// to warn (the prompt sits on the window); a history row or the dial key
// opens the call screen, and coming back from it loads the first page again
// so that the call just made is listed. The screen's waiting overlays are
// its own, so a page arriving late never takes the prompt down with it; a
// failed load-more can be tried again.
class CNumberViewController final : public BaseViewController,
                                    public UITableViewDataSource,
                                    public UITableViewDelegate,
                                    public RefreshTableViewDelegate,
                                    public VelaDialViewDelegate,
                                    public WarnViewDelegate {
public:
    ORB_CLASS_NAME(CNumberViewController)

    static constexpr const char* kTitle = "点击拨号";
    static constexpr const char* kCallNumberKey = "not_warm_callnumber";
    static constexpr int kPageSize = 10;

    CNumberViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    const std::vector<std::shared_ptr<core::HistoryInfo>>& historyData() const { return historyData_; }
    const std::string& strWarn() const { return strWarn_; }

    void onDialView(VelaDialView& dialView, const std::string& makePhoneCall) override;
    void closeWarningViewWithNotNext(bool notNext, long buttonIndex) override;
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView* table) override;
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView* table) override;

    long numberOfRowsInSection(UITableView*, long) override { return static_cast<long>(historyData_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    void didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;

private:
    void checkService();
    void loadPage();
    void pageLoaded(int page, const platform::Value& reply);
    void pageFailed(int page);
    void reloadFirstPage();
    void openCall(const std::shared_ptr<UIViewController>& screen);
    std::shared_ptr<ProgressOverlay> showWaiting(const std::string& text);

    std::shared_ptr<VelaDialView> dialView_;
    std::string strWarn_;
    std::vector<std::shared_ptr<core::HistoryInfo>> historyData_;
    std::shared_ptr<RefreshTableView> historyTableView_;
    std::shared_ptr<platform::Object> info_;
    std::shared_ptr<WarnView> prompt_;
    int warnState_ = WarnView::kConfirmVariant;
    // Which page load is the current one: a pull-down started while a
    // load-more is out makes the load-more's answer stale.
    int loadGeneration_ = 0;
    // On screen: what answers late puts nothing on the window over another screen.
    bool visible_ = false;
    // A call screen was opened from here: coming back shows the call made.
    bool callOpened_ = false;
    std::weak_ptr<ProgressOverlay> pageOverlay_;
    std::weak_ptr<ProgressOverlay> checkOverlay_;
};
