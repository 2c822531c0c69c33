#pragma once

#include "content/portal/PortalViewController.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>
#include <vector>

class UIControl;
class UIImageView;
class UILabel;

namespace content {

// "直播详细": a live-lesson series with its lector (introduction cut until
// tapped), its scheduled lessons and how to watch them on a computer. A tap
// on an ended lesson that has a recording plays it full screen.
class GCLiveVideoDetailViewController final : public PortalViewController,
                                              public UITableViewDataSource,
                                              public UITableViewDelegate,
                                              public RefreshTableViewDelegate {
public:
    ORB_CLASS_NAME(GCLiveVideoDetailViewController)

    static constexpr double kLastFooterHeight = 10.0;

    GCLiveVideoDetailViewController();

    void setLiveVideo(std::shared_ptr<GCLiveVideoInfo> liveVideo);
    // "请使用PC前往…": the guide to the series' web page.
    std::string guideText() const;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void btnScanTouchUpInside(UIControl* sender);
    void btnBackTouchUpInside(UIControl* sender);

    long numberOfSectionsInTableView(UITableView*) override;
    long numberOfRowsInSection(UITableView* table, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForHeaderInSection(UITableView*, long) override;
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* table, long section) override;
    std::optional<double> heightForFooterInSection(UITableView* table, long section) override;
    std::shared_ptr<UIView> viewForFooterInSection(UITableView* table, long section) override;
    void didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView* table) override;
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override { return false; }

protected:
    void apiRequestFinished(APIRequest& request) override;
    void apiRequestFailed(APIRequest& request) override;

private:
    enum class Section { Lector, Lessons, Guide };
    Section sectionKind(long section) const;
    std::vector<std::shared_ptr<GCLiveVideoItemInfo>> lessons() const;
    void layoutHeader();

    std::shared_ptr<GCLiveVideoInfo> liveVideo_;
    std::shared_ptr<APIRequest> request_;
    std::shared_ptr<RefreshTableView> tableView_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UIImageView> imgView_;
    std::shared_ptr<UIView> headerView_;
    std::shared_ptr<UITableViewCell> lectorCell_;
    std::shared_ptr<UIImageView> imgLectorAvatar_;
    std::shared_ptr<UILabel> lblLectorName_;
    double lblNameMarginY_ = 0;
};

} // namespace content
