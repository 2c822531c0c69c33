#pragma once

#include "app/base/BaseViewController.h"
#include "circle/feed/WeiboContentCell.h"
#include "core/model/WeiboData.h"
#include "platform/uikit/UITableView.h"

#include <memory>
#include <vector>

class UIButton;
class UIControl;

namespace circle {

// The second tab, "家校圈": the school's posts in pages of ten, of the kind
// chosen under the title (all, teachers', the classes'), pulled down to
// reload and scrolled to the end for the next page. A row opens the post,
// its buttons the comment writer and a praise; the bar's button writes a
// post (a teacher first picks what to write from a small menu). The
// circle's notifications keep the rows' counts current.
//
// Each page request remembers the kind, the page and the refresh it was
// sent under; a reply that comes back after the kind changed or the list was
// refreshed is dropped, so a late page never replaces or joins a list it
// does not belong to. The footer's spinner belongs to the load-more of the
// list shown: a page dropped or a first page that replaces the list ends it
// unless such a load-more is still out, so the next scroll to the end asks
// for the next page again.
class HomeSchoolCircleViewController final : public BaseViewController,
                                             public UITableViewDataSource,
                                             public UITableViewDelegate,
                                             public WeiboCellDelegate {
public:
    ORB_CLASS_NAME(HomeSchoolCircleViewController)

    static constexpr int kAllPosts = 1;
    static constexpr int kTeacherPosts = 2;
    static constexpr int kClassPosts = 3;
    static constexpr int kFeedRequest = 50;
    static constexpr int kPraiseRequest = 51;
    static constexpr double kMenuWidth = 100;
    static constexpr double kMenuRowHeight = 34;
    static constexpr double kMenuRightInset = 96;
    static constexpr double kMenuFadeDuration = 0.2;
    static constexpr int kMenuTagBase = 200;

    HomeSchoolCircleViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void getListData();
    void refresh();
    void openListIndex(const platform::Value& entry) override;
    void hideOtherListView() override;
    void writeWeibo(UIControl* sender);
    void writeWeiboWithType(UIControl* sender);
    void closeWriteList();
    void btnDoComment(UIControl* sender) override;
    void btnDoPraise(UIControl* sender) override;
    void onCommentWeibo(const platform::Notification& notification);
    void onPraiseWeibo(const platform::Notification& notification);
    void onDeleteWeibo(const platform::Notification& notification);
    void onSendWeibo(const platform::Notification& notification);

    long numberOfRowsInSection(UITableView*, long) override { return long(listData_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    void didSelectRowAtIndexPath(UITableView*, const NSIndexPath&) override;

    std::shared_ptr<UITableView> tableView() const { return tableView_; }

private:
    struct PageRequest {
        int kind;
        int page;
        int generation;
    };
    void pageArrived(const PageRequest& request, const platform::Value& result);
    void pageFailed(const PageRequest& request, const std::string& message);
    bool isStale(const PageRequest& request) const;
    void stopAnimations();
    // Ends the footer's loading state unless a load-more of the list shown
    // is out (its own reply ends it).
    void releaseLoadMore();
    void buildWriteList();
    // The row of the post with that id, or -1.
    long rowOfWeibo(const platform::Notification& notification) const;
    std::shared_ptr<core::WeiboData> weiboOfSender(UIControl* sender) const;
    void reloadRow(long row);

    std::vector<std::shared_ptr<core::WeiboData>> listData_;
    int currentWeiboType_ = kAllPosts;
    int page_ = 0;
    // Raised by every refresh: replies of the requests sent before it are stale.
    int generation_ = 0;
    // The first page of the current refresh has not come back yet: a
    // load-more now would ask for a page of a list not shown.
    bool firstPagePending_ = false;
    // A later page of the list shown is out: the footer's spinner is its.
    bool moreOut_ = false;
    std::shared_ptr<UIView> dropDownView_;
    platform::Array dropDownInfos_;
    bool isOpenWriteLists_ = false;
    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UIButton> btnWrite_;
};

} // namespace circle
