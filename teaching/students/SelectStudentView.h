#pragma once

#include "core/model/StudentInfo.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>

class UIButton;
class UIImage;

// Told of each change of a tile of the students grid.
class SelectStudentViewDelegate {
public:
    virtual ~SelectStudentViewDelegate() = default;
    // The tile's tag (its entry's index + 1) and the entry's new state.
    virtual void didSelectedStudent(int tag, bool isSelected) = 0;
};

// One tile of the students grid: the student's photo (or the whole-class
// picture), the name under it and a check box over the photo's corner. A
// touch anywhere on it flips the entry's selection after a short fade.
class SelectStudentView final : public UIView {
public:
    ORB_CLASS_NAME(SelectStudentView)

    static constexpr double kPhotoSide = 70;
    static constexpr double kPhotoCornerRadius = 4;
    static constexpr double kCaptionTop = 73;
    static constexpr double kCaptionHeight = 20;
    static constexpr double kCaptionFontSize = 15;
    static constexpr double kFadeAlpha = 0.8;
    static constexpr double kFadeSeconds = 0.1;
    static constexpr const char* kWholeClassImage = "comment_all_students.png";
    static constexpr const char* kWholeClassCaption = "全班同学";
    static constexpr const char* kCheckBoxImage = "login_checkbox_bg.png";
    static constexpr const char* kCheckMarkImage = "login_checkbox_fg.png";
    // The whole-class entry the selection screen makes carries this type.
    static constexpr int kWholeClassType = 2;

    SelectStudentView() = default;
    explicit SelectStudentView(const platform::Rect& frame);

    const std::shared_ptr<core::StudentInfo>& studentInfo() const { return studentInfo_; }
    // Gives the tile its entry and redraws it.
    void setStudentInfo(std::shared_ptr<core::StudentInfo> info);
    std::shared_ptr<SelectStudentViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<SelectStudentViewDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::string& studentName() const { return studentName_; }

    // A touch on the tile or its check box.
    void selectedAction();

private:
    void redraw();
    void finishSelection();

    std::shared_ptr<core::StudentInfo> studentInfo_;
    std::weak_ptr<SelectStudentViewDelegate> delegate_;
    std::string studentName_ = kWholeClassCaption;
    bool tapAdded_ = false;
};
