#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/StudentInfo.h"
#include "core/model/SuggestCommentInfo.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"
#include "teaching/comment/StudentPhotoView.h"

#include <memory>
#include <string>
#include <vector>

class UIButton;
class UIScrollView;

// One comment with a rank from 1 to 5 for the students chosen on the
// selection screen, sent for all of them in one request. The class's
// suggested comments can be taken as the starting text; each student's
// photo leads to that student's comment history.
class CommentViewController final : public BaseViewController,
                                    public UITableViewDataSource,
                                    public UITableViewDelegate,
                                    public UITextViewDelegate,
                                    public StudentPhotoViewDelegate {
public:
    ORB_CLASS_NAME(CommentViewController)

    static constexpr const char* kSingleTitle = "单个点评";
    static constexpr const char* kBatchTitle = "批量点评";
    static constexpr const char* kPlaceholder = "请输入评语内容...";
    static constexpr double kPlaceholderWhite = 0.8275;
    static constexpr const char* kEmptyAlertTitle = "警告";
    static constexpr const char* kEmptyAlertMessage = "点评内容不能为空";
    static constexpr const char* kEmptyAlertButton = "确定";
    static constexpr const char* kSendingText = "正在点评学生...";
    static constexpr const char* kRankImageFormat = "comment_icon_%d.png";
    static constexpr const char* kRankMarkImage = "login_checkbox_fg.png";
    static constexpr int kRankCount = 5;
    static constexpr double kRankLeft = 20;
    static constexpr double kRankStep = 49;
    static constexpr double kRankTop = 3;
    static constexpr double kRankSide = 34;
    static constexpr double kRowHeight = 50;
    static constexpr int kRowTagBase = 100;
    static constexpr double kPopDelay = 1.5;

    CommentViewController();

    void setStudentsInfo(std::vector<std::shared_ptr<core::StudentInfo>> students) { studentsInfo_ = std::move(students); }
    void setClassId(int classId) { classId_ = classId; }
    void setIsAllStudent(bool isAllStudent) { isAllStudent_ = isAllStudent; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Actions ------------------------------------------------------------------------
    void commentAction(UIControl* sender);
    void backAction(UIControl* sender);
    void selectedIcon(UIControl* sender);
    void selectedCell(UIControl* sender);
    void done();
    void goToCommentHistory(const std::shared_ptr<core::StudentInfo>& studentInfo) override;

    // ---- Table and text ---------------------------------------------------------------
    long numberOfRowsInSection(UITableView*, long) override { return long(allSuggestComments_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override { return kRowHeight; }
    void didSelectRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    bool textViewShouldBeginEditing(UITextView*) override;

private:
    void setUpPhotos();
    void setUpRanks();
    void setUpTextArea();
    void selectRow(long row);
    void showPlaceholder();
    // Whether the text area holds a comment of the person's: decided from
    // the text itself when the person sends.
    bool holdsComment() const;
    void suggestionsArrived(const platform::Value& result);
    void sendSucceeded(const platform::Value& result);
    void sendFailed(const std::string& message);
    void closeAfterSend();

    std::vector<std::shared_ptr<core::StudentInfo>> studentsInfo_;
    int classId_ = 0;
    bool isAllStudent_ = false;
    std::vector<std::shared_ptr<core::SuggestCommentInfo>> allSuggestComments_;
    long selectedRow_ = -1;
    int selectedRank_ = 1;
    bool hasText_ = false;
    // A send is out: the send button does nothing until it has answered.
    bool isLoading_ = false;

    std::shared_ptr<UIScrollView> photoScrollView_;
    std::shared_ptr<UITextView> textView_;
    std::shared_ptr<UIScrollView> iconScrollView_;
    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UIButton> btnComment_;
};
