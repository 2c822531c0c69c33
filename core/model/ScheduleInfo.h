#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One row of a class timetable.
struct ScheduleInfo final : platform::Object {
    std::string sort; // the lesson's place in the day, as decimal text
    std::string period;
    std::string course;
    std::string teacherName;
    std::string teacherPic;

    // From one row: "sort" is a number (a text of digits is taken too) and is
    // kept as its decimal text. Null for anything but a dictionary.
    static std::shared_ptr<ScheduleInfo> scheduleWithObj(const platform::Value& obj);

    std::string className() const override { return "ScheduleInfo"; }
    // "sort:%@, period:%@, course:%@, teachername:%@, teacherpic:%@"
    std::string description() const override;
};

} // namespace core
