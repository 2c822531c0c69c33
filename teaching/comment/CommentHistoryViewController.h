#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/CommentHistoryInfo.h"
#include "core/model/StudentInfo.h"
#include "platform/uikit/UITableView.h"
#include "teaching/comment/StudentPhotoView.h"

#include <memory>
#include <vector>

// The comments one student has received, ten a page, the next page loaded
// when the person scrolls to the end of the list.
class CommentHistoryViewController final : public BaseViewController,
                                           public UITableViewDataSource,
                                           public UITableViewDelegate {
public:
    ORB_CLASS_NAME(CommentHistoryViewController)

    static constexpr const char* kTeacherTitle = "点评记录";
    static constexpr const char* kLoadingText = "加载点评中...";
    static constexpr const char* kEmptyText = "找不到相关点评记录";
    static constexpr const char* kFailedText = "对不起，获取点评数据失败！";
    static constexpr int kPageSize = 10;
    static constexpr double kRowHeight = 80;
    static constexpr double kPhotoInset = 5;
    static constexpr double kPhotoWidthCut = 16;
    static constexpr double kPhotoHeightCut = 18;

    CommentHistoryViewController();

    void setStudentInfo(std::shared_ptr<core::StudentInfo> studentInfo) { studentInfo_ = std::move(studentInfo); }
    const std::shared_ptr<core::StudentInfo>& studentInfo() const { return studentInfo_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void backAction(UIControl* sender);

    void initHistoryView();
    void loadHistoryDatas();
    void loadMoreDatas();

    long numberOfRowsInSection(UITableView*, long) override { return long(historyDatas_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override { return kRowHeight; }

private:
    void pageArrived(const platform::Value& result);
    void pageFailed(const std::string& message);
    void showInOverlay(const std::shared_ptr<UIView>& view);

    std::shared_ptr<core::StudentInfo> studentInfo_;
    std::vector<std::shared_ptr<core::CommentHistoryInfo>> historyDatas_;
    std::shared_ptr<StudentPhotoView> studentView_;
    int currentPage_ = 1;
    int totalPage_ = 1;
    int pageSize_ = kPageSize;

    std::shared_ptr<UIView> studentInfoView_;
    std::shared_ptr<UITableView> historyTableView_;
    std::shared_ptr<UIView> loadingView_;
};
