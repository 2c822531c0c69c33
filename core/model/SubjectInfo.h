#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// A school subject.
struct SubjectInfo final : platform::Object {
    int subjectId = 0;
    std::string subjectName;

    // From one row ("subjectId", "subjectName"); null for anything but a dictionary.
    static std::shared_ptr<SubjectInfo> subjectWithObj(const platform::Value& obj);

    std::string className() const override { return "SubjectInfo"; }
};

} // namespace core
