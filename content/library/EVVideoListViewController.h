#pragma once

#include "app/base/BaseViewController.h"
#include "content/library/EVModels.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/BaseCell.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>
#include <vector>

class UIControl;
class UIImageView;
class UILabel;

namespace content {

// A video of a subject's list: cover, title, play count and day.
class EVVideoCell final : public BaseCell {
public:
    ORB_CLASS_NAME(EVVideoCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    const std::shared_ptr<EVVideoInfo>& video() const { return video_; }
    // Nothing changes on screen for no video.
    void setVideo(std::shared_ptr<EVVideoInfo> video);

private:
    std::shared_ptr<EVVideoInfo> video_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UIImageView> imgIcon_;
    std::shared_ptr<UILabel> lblPlayCount_;
    std::shared_ptr<UILabel> lblTime_;
};

// "<grade> <subject>": every video of one subject, a page at a time. The
// teachers' picks (a subject id below 1) are listed by their source instead.
class EVVideoListViewController final : public BaseViewController,
                                        public UITableViewDataSource,
                                        public UITableViewDelegate,
                                        public RefreshTableViewDelegate {
public:
    ORB_CLASS_NAME(EVVideoListViewController)

    static constexpr int kBySubjectRequest = 38;
    static constexpr int kBySourceRequest = 40;
    static constexpr int kPicksSource = 2;

    EVVideoListViewController();
    static std::shared_ptr<EVVideoListViewController> initWithSubject(
        std::shared_ptr<EVSubjectInfo> subject, std::shared_ptr<EVGradeInfo> grade);

    const std::shared_ptr<EVSubjectInfo>& subject() const { return subject_; }
    void setSubject(std::shared_ptr<EVSubjectInfo> subject);
    const std::shared_ptr<EVGradeInfo>& grade() const { return grade_; }
    void setGrade(std::shared_ptr<EVGradeInfo> grade);
    const std::vector<std::shared_ptr<EVVideoInfo>>& videos() const { return videos_; }
    const std::shared_ptr<RefreshTableView>& tableView() const { return tableView_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void loadData();
    void btnBackTouchUpInside(UIControl* sender);

    long numberOfRowsInSection(UITableView* table, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForFooterInSection(UITableView*, long) override;
    std::shared_ptr<UIView> viewForFooterInSection(UITableView*, long) override;
    void didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*) override;
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override;

private:
    void updateTitle();
    void pageArrived(int page, int generation, const platform::Value& reply);
    void pageFailed(int page, int generation);

    std::shared_ptr<EVSubjectInfo> subject_;
    std::shared_ptr<EVGradeInfo> grade_;
    std::vector<std::shared_ptr<EVVideoInfo>> videos_;
    int generation_ = 0;
    std::shared_ptr<RefreshTableView> tableView_;
};

} // namespace content
