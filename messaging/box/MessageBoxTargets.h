#pragma once

#include "core/model/ContactInfo.h"
#include "core/model/MessageInfo.h"

#include <memory>

// What the screens the message box opens by class name take from it. The box
// knows those screens only by name ("MessageViewController",
// "GroupMessageViewController"); a screen that implements the matching
// interface receives the row's contact or group-send record before it is
// pushed.
class MessageContactTarget {
public:
    virtual ~MessageContactTarget() = default;
    virtual void setContact(std::shared_ptr<core::ContactInfo> contact) = 0;
};

class MessageRecordTarget {
public:
    virtual ~MessageRecordTarget() = default;
    virtual void setMessage(std::shared_ptr<core::MessageInfo> message) = 0;
};
