#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/ClassInfo.h"
#include "core/model/StudentInfo.h"
#include "teaching/students/SelectStudentView.h"
#include "ui/grid/ORBPickerView.h"

#include <memory>
#include <vector>

class UIButton;
class UILabel;
class UIScrollView;

// A teacher's choice of whom to comment on: a class from the chooser, then
// some of its students, or the whole class by the leading tile. The choice
// goes on to the comment screen.
class SelectStudentViewController final : public BaseViewController,
                                          public ORBPickerViewDelegate,
                                          public SelectStudentViewDelegate {
public:
    ORB_CLASS_NAME(SelectStudentViewController)

    static constexpr const char* kTitle = "选择点评对象";
    static constexpr const char* kNoClassesText = "没有班级信息";
    static constexpr const char* kClassesFailedText = "加载班级信息出错";
    static constexpr int kColumns = 3;
    static constexpr double kTileLeft = 20;
    static constexpr double kTileTop = 10;
    static constexpr double kColumnStep = 93;
    static constexpr double kRowStep = 100;
    static constexpr double kTileWidth = 70;
    static constexpr double kTileHeight = 90;
    static constexpr double kGridCornerRadius = 5;

    SelectStudentViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    // ---- Nib actions --------------------------------------------------------------------
    void clearSelected(UIControl* sender);
    void goToComment(UIControl* sender);
    void backCommentController(UIControl* sender);

    void didSelectedPickerView(ORBPickerView* pickerView, long row) override;
    void didSelectedStudent(int tag, bool isSelected) override;

    void requestStudentsInfo(int classId);
    void fillScrollView();
    void changeScrollViewState();

private:
    void classesArrived(const platform::Value& result);
    void classesFailed(const std::string& message);
    void studentsStarted(unsigned serial);
    void studentsArrived(unsigned serial, const platform::Value& result);
    void removeTiles();
    int selectedCount() const;

    std::vector<std::shared_ptr<core::ClassInfo>> allClassesInfo_;
    std::vector<std::shared_ptr<core::StudentInfo>> allStudentsInfo_;
    std::shared_ptr<ORBPickerView> pickerView_;
    int classId_ = 0;
    bool isAllStudent_ = false;
    // Raised for each student request: only the newest one's reply is used,
    // so the grid always shows the class the chooser shows.
    unsigned studentsSerial_ = 0;

    std::shared_ptr<UIView> pickerContainerView_;
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<UILabel> studentNumLbl_;
    std::shared_ptr<UIView> studentCountView_;
    std::shared_ptr<UIButton> clearBtn_;
    std::shared_ptr<UIButton> commentBtn_;
    std::shared_ptr<UIView> loadingView_;
    std::shared_ptr<UIView> errorView_;
};
