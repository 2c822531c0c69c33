#pragma once

#include "content/portal/PortalViewController.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>

class UILabel;
class UIControl;
class UIScrollView;

namespace content {

// "课程详细": a lesson's name, its introduction (cut to 55 points until
// tapped) and its videos, loaded with the viewer's rights. A free, unlocked
// video plays full screen; any other opens the monthly subscription in the
// subject "数学" and is refused elsewhere.
class GCLessonDetailViewController final : public PortalViewController,
                                           public UITableViewDataSource,
                                           public UITableViewDelegate,
                                           public RefreshTableViewDelegate {
public:
    ORB_CLASS_NAME(GCLessonDetailViewController)

    static constexpr double kFooterHeight = 8.0;
    static constexpr const char* kPurchasableSubject = "数学";

    GCLessonDetailViewController();

    void setLesson(std::shared_ptr<GCLessonInfo> lesson) { lesson_ = std::move(lesson); }
    void setSubject(std::shared_ptr<GCSubjectInfo> subject) { subject_ = std::move(subject); }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void btnBackTouchUpInside(UIControl* sender);

    long numberOfSectionsInTableView(UITableView*) override { return 2; }
    long numberOfRowsInSection(UITableView* table, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForHeaderInSection(UITableView*, long) override;
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* table, long section) override;
    std::optional<double> heightForFooterInSection(UITableView*, long section) override;
    std::shared_ptr<UIView> viewForFooterInSection(UITableView* table, long section) override;
    void didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView* table) override;
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override { return false; }

protected:
    void apiRequestFinished(APIRequest& request) override;
    void apiRequestFailed(APIRequest& request) override;

private:
    void layoutHeader();
    std::size_t videoCount() const;
    void play(const GCVideoInfo& video);
    void showAlert(const std::string& message);

    std::shared_ptr<GCLessonInfo> lesson_;
    std::shared_ptr<GCSubjectInfo> subject_;
    std::shared_ptr<APIRequest> request_;
    std::shared_ptr<RefreshTableView> tableView_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UIView> headerView_;
    double lblNameMarginY_ = 0;
};

// "开通包月": the monthly subscription's page; submitting only thanks the person.
class GCPurchasingViewController final : public BaseViewController {
public:
    ORB_CLASS_NAME(GCPurchasingViewController)

    GCPurchasingViewController();
    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void btnSubmitTouchUpInside(UIControl* sender);
    void btnBackTouchUpInside(UIControl* sender);

private:
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<UIView> contentView_;
};

} // namespace content
