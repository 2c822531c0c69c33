#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/HotActivityInfo.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"

#include <memory>
#include <vector>

class UIControl;

namespace content {

// An activity's row: its icon, title, wrapped content and time. The row lays
// itself out for the activity and takes the height that gives.
class HotActivityCell final : public UITableViewCell {
public:
    ORB_CLASS_NAME(HotActivityCell)

    static constexpr const char* kIdentifier = "Cell";

    HotActivityCell(UITableViewCellStyle style, std::string reuseIdentifier)
        : UITableViewCell(style, std::move(reuseIdentifier))
    {
    }

    const std::shared_ptr<core::HotActivityInfo>& hotActivityInfo() const { return hotActivityInfo_; }
    void setHotActivityInfo(std::shared_ptr<core::HotActivityInfo> info);

private:
    std::shared_ptr<core::HotActivityInfo> hotActivityInfo_;
};

// "热门活动": the activities the platform publishes for the user's area; a
// row opens the activity's page.
class HotActivityViewController final : public BaseViewController,
                                        public UITableViewDataSource,
                                        public UITableViewDelegate {
public:
    ORB_CLASS_NAME(HotActivityViewController)

    static constexpr int kActivitiesRequest = 49;

    HotActivityViewController();

    const std::vector<std::shared_ptr<core::HotActivityInfo>>& hotActivities() const { return hotActivities_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void loadDatas();
    void backToViewController(UIControl* sender);

    long numberOfRowsInSection(UITableView*, long) override { return long(hotActivities_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    void didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;

private:
    std::shared_ptr<core::HotActivityInfo> activityAt(long row) const;

    std::vector<std::shared_ptr<core::HotActivityInfo>> hotActivities_;
    std::shared_ptr<UITableView> activityTableView_;
};

} // namespace content
