#pragma once

#include "app/base/BaseViewController.h"
#include "content/library/EVCommentAdd.h"
#include "content/library/EVModels.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>
#include <vector>

class UIButton;
class UIControl;
class UIImageView;
class UILabel;

namespace content {

// "视频详细": one video's cover (tap to play full screen), title, play count
// and description over the comments its detail reply carries, a row leading
// to all of them, and the panel to post one with a rating.
class EVVideoDetailViewController final : public BaseViewController,
                                          public UITableViewDataSource,
                                          public UITableViewDelegate,
                                          public RefreshTableViewDelegate,
                                          public EVCommentAddDelegate {
public:
    ORB_CLASS_NAME(EVVideoDetailViewController)

    static constexpr int kDetailRequest = 39;
    static constexpr int kAddCommentRequest = 42;
    static constexpr double kCommentButtonRadius = 2;

    EVVideoDetailViewController();
    static std::shared_ptr<EVVideoDetailViewController> initWithVideo(std::shared_ptr<EVVideoInfo> video);

    const std::shared_ptr<EVVideoInfo>& video() const { return video_; }
    void setVideo(std::shared_ptr<EVVideoInfo> video) { video_ = std::move(video); }
    const std::shared_ptr<EVCommentAdd>& commentAdd() const { return commentAdd_; }
    const std::shared_ptr<RefreshTableView>& tableView() const { return tableView_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    void loadDetail();
    void btnPlayTouchUpInside(UIControl* sender);
    void btnCommentTouchUpInside(UIControl* sender);
    void btnBackTouchUpInside(UIControl* sender);
    void commentAddDidSubmit(EVCommentAdd* panel, const std::shared_ptr<EVCommentInfo>& comment) override;

    long numberOfRowsInSection(UITableView* table, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForFooterInSection(UITableView*, long) override;
    std::shared_ptr<UIView> viewForFooterInSection(UITableView*, long) override;
    void didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*) override;
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override { return false; }

private:
    void refreshView();
    std::size_t commentCount() const;
    void commentPosted(const std::shared_ptr<EVCommentInfo>& comment);

    std::shared_ptr<EVVideoInfo> video_;
    std::shared_ptr<EVCommentAdd> commentAdd_;
    bool isPosting_ = false;
    double descMarginY_ = 0;
    std::shared_ptr<RefreshTableView> tableView_;
    std::shared_ptr<UIView> headerView_;
    std::shared_ptr<UIView> wrapperView_;
    std::shared_ptr<UIView> commentHeader_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UILabel> lblTitle_;
    std::shared_ptr<UILabel> lblPlayCount_;
    std::shared_ptr<UILabel> lblDesc_;
    std::shared_ptr<UIButton> btnComment_;
};

// "评论列表": all comments of a video, a page at a time.
class EVCommentListViewController final : public BaseViewController,
                                          public UITableViewDataSource,
                                          public UITableViewDelegate,
                                          public RefreshTableViewDelegate {
public:
    ORB_CLASS_NAME(EVCommentListViewController)

    static constexpr int kCommentsRequest = 41;

    EVCommentListViewController();
    explicit EVCommentListViewController(std::string nibName);

    const std::shared_ptr<EVVideoInfo>& video() const { return video_; }
    void setVideo(std::shared_ptr<EVVideoInfo> video) { video_ = std::move(video); }
    const std::vector<std::shared_ptr<EVCommentInfo>>& comments() const { return comments_; }
    const std::shared_ptr<RefreshTableView>& tableView() const { return tableView_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void loadData();
    void btnBackTouchUpInside(UIControl* sender);

    long numberOfRowsInSection(UITableView*, long) override { return long(comments_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override;
    std::optional<double> heightForFooterInSection(UITableView*, long) override;
    std::shared_ptr<UIView> viewForFooterInSection(UITableView*, long) override;
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*) override;
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override;

private:
    void pageArrived(int page, int generation, const platform::Value& reply);
    void pageFailed(int page, int generation);

    std::shared_ptr<EVVideoInfo> video_;
    std::vector<std::shared_ptr<EVCommentInfo>> comments_;
    int generation_ = 0;
    std::shared_ptr<RefreshTableView> tableView_;
    std::shared_ptr<UIView> header_;
};

} // namespace content
