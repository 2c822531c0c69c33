#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// A student as the student lists give it, or as a picker shows it.
struct StudentInfo final : platform::Object {
    int studentId = 0;
    std::string studentName;
    std::string studentPic; // picture address
    int type = 0; // 1 for students from the server
    bool isSelected = false; // chosen in a picker

    // From one row of a student list ("studentId", "name", "pic"), with type 1;
    // null for anything but a dictionary.
    static std::shared_ptr<StudentInfo> studentWithObj(const platform::Value& obj);

    std::string className() const override { return "StudentInfo"; }
};

} // namespace core
