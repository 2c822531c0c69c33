#pragma once

#include "core/model/ContactInfo.h"

#include <memory>
#include <string>

// The call screen as the screens that open it by name see it: who is called,
// how (0 parent, 2 teacher, 3 anyone else or a dialled number) and the
// service's notice to show.
class CallNumberTarget {
public:
    virtual ~CallNumberTarget() = default;
    virtual void setContact(std::shared_ptr<core::ContactInfo> contact) = 0;
    virtual void setCallType(int callType) = 0;
    virtual void setStrWarn(std::string strWarn) = 0;
};
