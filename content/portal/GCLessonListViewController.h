#pragma once

#include "content/lessons/LessonSearch.h"
#include "content/portal/PortalViewController.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>
#include <vector>

class UIButton;
class UIControl;

namespace content {

// A subject's lessons ("%@课程"), searched as the person types: the text is
// a wildcard pattern over the lesson's name, keyword and their pinyin
// (LessonSearch). A lesson opens its detail.
class GCLessonListViewController final : public PortalViewController,
                                         public UITableViewDataSource,
                                         public UITableViewDelegate,
                                         public RefreshTableViewDelegate,
                                         public UITextFieldDelegate {
public:
    ORB_CLASS_NAME(GCLessonListViewController)

    static constexpr double kSearchSeconds = 0.25;

    GCLessonListViewController();

    void setSubject(std::shared_ptr<GCSubjectInfo> subject);
    void setListDataAll(std::vector<std::shared_ptr<GCLessonInfo>> lessons);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    void txtEditingChanged(UIControl* sender);
    void btnCancelTouchUpInside(UIControl* sender);
    void btnBackTouchUpInside(UIControl* sender);

    bool textFieldShouldReturn(UITextField* field) override;
    void textFieldDidBeginEditing(UITextField* field) override;
    void textFieldDidEndEditing(UITextField* field) override;

    long numberOfRowsInSection(UITableView* table, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    void didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView* table) override;
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override { return false; }

protected:
    void apiRequestFinished(APIRequest& request) override;
    void apiRequestFailed(APIRequest& request) override;

private:
    void refreshSearchData();
    void setSearchWidth(double width);

    std::shared_ptr<GCSubjectInfo> subject_;
    std::vector<std::shared_ptr<GCLessonInfo>> listDataAll_;
    std::vector<std::shared_ptr<GCLessonInfo>> listData_;
    std::shared_ptr<APIRequest> request_;
    std::shared_ptr<UIView> searchBar_;
    std::shared_ptr<UITextField> txtSearch_;
    std::shared_ptr<UIView> searchBg_;
    std::shared_ptr<UIButton> btnSearch_;
    std::shared_ptr<RefreshTableView> tableView_;
    double searchWidth_ = 0;
};

} // namespace content
