#pragma once

#include "core/model/ScheduleInfo.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class UIImageView;
class UILabel;

// One lesson of the timetable: order, period, course, and the teacher with photo.
class ScheduleCell final : public BaseCell {
public:
    ORB_CLASS_NAME(ScheduleCell)

    static constexpr const char* kReuseIdentifier = "CustomCellIdentifier";
    static constexpr const char* kRoleText = "教师";

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void setSchedule(std::shared_ptr<core::ScheduleInfo> schedule);
    const std::shared_ptr<core::ScheduleInfo>& scheduleInfo() const { return scheduleInfo_; }

private:
    std::shared_ptr<core::ScheduleInfo> scheduleInfo_;
    std::shared_ptr<UILabel> labSort_;
    std::shared_ptr<UILabel> labPeriod_;
    std::shared_ptr<UILabel> labCourse_;
    std::shared_ptr<UIImageView> imgTeacherPic_;
    std::shared_ptr<UILabel> labTeacherName_;
    std::shared_ptr<UILabel> labRole_;
};
