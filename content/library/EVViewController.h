#pragma once

#include "app/base/BaseViewController.h"
#include "content/library/EVHomeCells.h"
#include "content/library/EVModels.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>
#include <vector>

class UIButton;
class UIControl;
class UIScrollView;

namespace content {

// "教学视频": the home of the platform's video library. The grades the
// server offers sit in a drop-down menu under the bar's grade button; for the
// current grade each subject shows a heading row and its videos two to a row,
// the teachers' picks first. A heading leads to the subject's full list, a
// video to its detail.
class EVViewController final : public BaseViewController,
                               public UITableViewDataSource,
                               public UITableViewDelegate,
                               public RefreshTableViewDelegate,
                               public EVHeaderCellDelegate,
                               public EVCellDelegate {
public:
    ORB_CLASS_NAME(EVViewController)

    static constexpr int kGradesRequest = 36;
    static constexpr int kHomeRequest = 35;
    static constexpr double kGradeRowHeight = 40;
    static constexpr std::size_t kGradeRowsShown = 5;
    static constexpr double kGradeFontSize = 14;

    EVViewController();

    const std::shared_ptr<EVGradeInfo>& grade() const { return grade_; }
    void setGrade(std::shared_ptr<EVGradeInfo> grade);
    const std::vector<std::shared_ptr<EVGradeInfo>>& grades() const { return grades_; }
    const std::vector<std::shared_ptr<EVSubjectInfo>>& subjects() const { return subjects_; }
    const std::shared_ptr<EVSubjectInfo>& teaSubject() const { return teaSubject_; }
    bool isOpen() const { return open_; }
    void setOpen(bool open);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void loadGrades();
    void loadHomeData();
    void btnGradeTouchUpInside(UIControl* sender);
    void btnTouchUpInside(UIControl* sender);
    void btnBackTouchUpInside(UIControl* sender);

    long numberOfSectionsInTableView(UITableView*) override;
    long numberOfRowsInSection(UITableView* table, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForFooterInSection(UITableView*, long) override;
    std::shared_ptr<UIView> viewForFooterInSection(UITableView*, long) override;
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*) override;
    // The home has no pages.
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override { return false; }

    void headerCellDidClickMore(EVHeaderCell* cell, const std::shared_ptr<EVSubjectInfo>& subject) override;
    void evCellDidClickItem(EVCell* cell, const std::shared_ptr<EVVideoInfo>& video) override;

private:
    std::shared_ptr<EVSubjectInfo> subjectOfSection(long section) const;
    void gradesArrived(int generation, const platform::Value& reply);
    void homeArrived(int generation, const platform::Value& reply);
    void loadFailed(int generation);

    std::shared_ptr<EVGradeInfo> grade_;
    std::vector<std::shared_ptr<EVGradeInfo>> grades_;
    std::vector<std::shared_ptr<EVSubjectInfo>> subjects_;
    std::shared_ptr<EVSubjectInfo> teaSubject_;
    bool open_ = false;
    // A reload started while an earlier one is under way makes the earlier
    // one's replies stale: they are dropped.
    int generation_ = 0;
    std::shared_ptr<RefreshTableView> tableView_;
    std::shared_ptr<UIButton> btnGrade_;
    std::shared_ptr<UIScrollView> gradeScrollView_;
    std::shared_ptr<UIView> nibRightItem_;
};

} // namespace content
