#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// A school class, or one of the kinds of class-circle post a teacher may
// publish to (the server lists those in the same shape). The field
// `className` hides the record's class-name query, which is why this record
// does not answer its own name.
struct ClassInfo final : platform::Object {
    int classId = 0;
    std::string className;

    // From one row of the class list ("classId", "className"); null for
    // anything but a dictionary.
    static std::shared_ptr<ClassInfo> classWithObj(const platform::Value& obj);
    // From one row of the post-kind list ("type", "typeName").
    static std::shared_ptr<ClassInfo> activeTypeWithObj(const platform::Value& obj);
};

} // namespace core
