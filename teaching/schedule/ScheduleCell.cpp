#include "teaching/schedule/ScheduleCell.h"

#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/images/RemoteImageLoader.h"
#include "ui/images/RemoteImageView.h"

void ScheduleCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("labSort", labSort_);
    bindings.outlet("labPeriod", labPeriod_);
    bindings.outlet("labCourse", labCourse_);
    bindings.outlet("imgTeacherPic", imgTeacherPic_);
    bindings.outlet("labTeacherName", labTeacherName_);
    bindings.outlet("labRole", labRole_);
}

void ScheduleCell::setSchedule(std::shared_ptr<core::ScheduleInfo> schedule)
{
    scheduleInfo_ = std::move(schedule);
    if (!scheduleInfo_)
        return;
    labSort_->setText(scheduleInfo_->sort);
    labPeriod_->setText(scheduleInfo_->period);
    labCourse_->setText(scheduleInfo_->course);
    labRole_->setText(scheduleInfo_->course.empty() ? "" : kRoleText);
    labTeacherName_->setText(scheduleInfo_->teacherName);
    const auto& picture = imgTeacherPic_;
    auto url = scheduleInfo_->teacherPic.empty() ? std::nullopt : platform::Url::parse(scheduleInfo_->teacherPic);
    picture->setHidden(!url);
    picture->setImage(nullptr);
    if (!url) {
        setImageURL(picture, std::nullopt);
        return;
    }
    if (auto cached = RemoteImageLoader::defaultCache()->objectForKey(*url))
        picture->setImage(cached);
    // Also for a cached picture: a reused row's request for its former
    // teacher must not land after this one.
    setImageURL(picture, url);
}
