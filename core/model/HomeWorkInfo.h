#pragma once

#include "platform/os/Value.h"

#include <string>

namespace core {

// The homework being assigned, handed to the dispatcher as the "homework"
// parameter. Like `ClassInfo` it has a `className` field, so it does not
// answer its own record name.
struct HomeWorkInfo final : platform::Object {
    int classId = 0;
    std::string className;
    std::string subject;
    int subjectId = 0;
    std::string content;
    std::string dateTime;
    // Picture addresses kept by the homework screen; the request takes them
    // from the uploaded photos instead.
    std::string original;
    std::string thumb;
};

} // namespace core
