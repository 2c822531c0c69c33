#pragma once

#include "app/base/BaseViewController.h"
#include "circle/feed/CircleTargets.h"
#include "circle/feed/WeiboContentCell.h"
#include "core/model/WeiboReplyData.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UITableView.h"

#include <memory>
#include <vector>

class UIButton;
class UIControl;

namespace circle {

// "话题正文": one post in full over all of its comments (paged, a new one
// of this post inserted at the top), praise, the comment writer, and
// deletion for the post's own author: the account whose id and role are
// the sender's (another role may carry the same number).
//
// A comment page that comes back after a refresh is dropped. The footer's
// spinner belongs to the load-more of the list shown: a page dropped or a
// first page that replaces the list ends it unless such a load-more is
// still out, so the next scroll to the end asks for the next page again.
class WeiboDetailsViewController final : public BaseViewController,
                                         public WeiboDataTarget,
                                         public WeiboCellDelegate,
                                         public UITableViewDataSource,
                                         public UITableViewDelegate,
                                         public UIActionSheetDelegate,
                                         public UIAlertViewDelegate {
public:
    ORB_CLASS_NAME(WeiboDetailsViewController)

    static constexpr int kCommentsRequest = 52;
    static constexpr int kPraiseRequest = 51;
    static constexpr int kDeleteRequest = 16;
    static constexpr double kCloseDelay = 1.5;

    WeiboDetailsViewController();

    void setWeiboData(std::shared_ptr<core::WeiboData> data) override { weiboData_ = std::move(data); }
    const std::shared_ptr<core::WeiboData>& weiboData() const { return weiboData_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    void getListData();
    void refresh();
    void btnDoComment(UIControl* sender) override;
    void btnDoPraise(UIControl* sender) override;
    void moreAction(UIControl* sender);
    void btnDoGoBack();
    void onCommentWeibo(const platform::Notification& notification);
    void onPraiseWeibo(const platform::Notification& notification);

    void actionSheetClickedButton(UIActionSheet*, long buttonIndex) override;
    void alertViewClickedButton(UIAlertView*, long buttonIndex) override;

    long numberOfRowsInSection(UITableView*, long) override { return 2; }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override;

    std::shared_ptr<UITableView> tableView() const { return tableView_; }
    const std::vector<std::shared_ptr<core::WeiboReplyData>>& listData() const { return listData_; }

private:
    struct PageRequest {
        int page;
        int generation;
    };
    void pageArrived(const PageRequest& request, const platform::Value& result);
    void pageFailed(const PageRequest& request, const std::string& message);
    // Ends the footer's loading state unless a later comment page of the
    // list shown is out (its own reply ends it).
    void releaseLoadMore();
    void reloadRows(std::vector<long> rows);
    void deleteWeibo();

    std::shared_ptr<core::WeiboData> weiboData_;
    std::vector<std::shared_ptr<core::WeiboReplyData>> listData_;
    int page_ = 0;
    // Raised by every refresh: replies of the requests sent before it are dropped.
    int generation_ = 0;
    // The first page of the current refresh has not come back yet: a
    // load-more now would ask for a page of a list not shown.
    bool firstPagePending_ = false;
    // A later page of the list shown is out: the footer's spinner is its.
    bool moreOut_ = false;
    bool isDeleting_ = false;
    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UIButton> btnMore_;
};

} // namespace circle
