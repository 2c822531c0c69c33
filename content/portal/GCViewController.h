#pragma once

#include "content/portal/PortalViewController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>
#include <vector>

class UIButton;
class UIControl;
class UIImageView;

namespace content {

// "成长课堂", the video-lesson portal's home: signs in to the lesson service
// with the portal account each time it opens, then shows two tabs, the
// subjects (those the service marks for listing) and the live-lesson series.
// A subject opens its lesson list, a series its detail. A refused or failed
// sign-in says so in an alert whose button closes the screen.
class GCViewController final : public PortalViewController,
                               public UITableViewDataSource,
                               public UITableViewDelegate,
                               public RefreshTableViewDelegate,
                               public UIAlertViewDelegate {
public:
    ORB_CLASS_NAME(GCViewController)

    static constexpr double kCursorSeconds = 0.25;
    static constexpr double kHintSeconds = 1.2;

    GCViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void btnTabTouchUpInside(UIControl* sender);
    void btnBackTouchUpInside(UIControl* sender);
    void loginSucceeded(const platform::Notification& notification);


    // ---- Tables ---------------------------------------------------------------------
    long numberOfRowsInSection(UITableView* table, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForHeaderInSection(UITableView* table, long section) override;
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* table, long section) override;
    void didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView* table) override;
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override { return false; }

    void alertViewClickedButton(UIAlertView*, long buttonIndex) override;

protected:
    void apiRequestStarted(APIRequest& request) override;
    void apiRequestFinished(APIRequest& request) override;
    void apiRequestFailed(APIRequest& request) override;

private:
    void setCurrentBtn(const std::shared_ptr<UIButton>& button);
    void switchToView(int tag);
    RefreshTableView* tableFor(const APIRequest& request) const;
    void showAlert(const std::string& title, const std::string& message);

    std::shared_ptr<APIRequest> request_;
    std::shared_ptr<APIRequest> subjectRequest_;
    std::shared_ptr<APIRequest> liveVideoRequest_;
    std::shared_ptr<UIButton> currentBtn_;
    std::shared_ptr<UIButton> btnTab0_;
    std::shared_ptr<UIButton> btnTab1_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> cursor_;
    std::shared_ptr<UIImageView> imgTop_;
    std::shared_ptr<RefreshTableView> tableView0_;
    std::shared_ptr<RefreshTableView> tableView1_;
    std::vector<std::shared_ptr<GCSubjectInfo>> subjects_;
    std::vector<std::shared_ptr<GCLiveVideoInfo>> liveVideos_;
};

} // namespace content
