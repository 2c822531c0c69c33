#pragma once

#include "core/model/StudentInfo.h"
#include "platform/uikit/UIView.h"

#include <memory>

class UIControl;

// Told that the person wants a student's comment history.
class StudentPhotoViewDelegate {
public:
    virtual ~StudentPhotoViewDelegate() = default;
    virtual void goToCommentHistory(const std::shared_ptr<core::StudentInfo>& studentInfo) = 0;
};

// A student's photo, with the name beside it and a "点评记录" button under
// the name, or, without the name, the whole photo as the way to the history.
class StudentPhotoView final : public UIView {
public:
    ORB_CLASS_NAME(StudentPhotoView)

    static constexpr double kPhotoCornerRadius = 4;
    static constexpr double kNameGap = 5;
    static constexpr double kNameTop = 2;
    static constexpr double kNameHeight = 20;
    static constexpr double kNameFontSize = 16;
    static constexpr double kButtonWidth = 80;
    static constexpr double kButtonHeight = 26;
    static constexpr double kButtonFontSize = 14;
    static constexpr double kFadeAlpha = 0.8;
    static constexpr double kFadeSeconds = 0.1;
    static constexpr const char* kHistoryTitle = "点评记录";
    static constexpr const char* kHistoryButtonImage = "ctd_button_n.png";
    static constexpr const char* kHistoryTitleColor = "8BD83B";

    StudentPhotoView();
    explicit StudentPhotoView(const platform::Rect& frame);

    const std::shared_ptr<core::StudentInfo>& studentInfo() const { return studentInfo_; }
    void setStudentInfo(std::shared_ptr<core::StudentInfo> info);
    bool hasName() const { return hasName_; }
    void setHasName(bool hasName);
    bool hasHistory() const { return hasHistory_; }
    void setHasHistory(bool hasHistory);
    std::shared_ptr<StudentPhotoViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<StudentPhotoViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // The button's action.
    void commentHistory(UIControl* sender);
    // The tap on a photo without a name.
    void photoTapped();

private:
    void redraw();
    void tellDelegate();

    std::shared_ptr<core::StudentInfo> studentInfo_;
    bool hasName_ = true;
    bool hasHistory_ = true;
    std::weak_ptr<StudentPhotoViewDelegate> delegate_;
    bool tapAdded_ = false;
};
