#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One ready-made message text.
struct MessageTemplateInfo final : platform::Object {
    int msgId = 0; // "msgId"
    std::string msgInfo; // "msgInfo": the text
    int msgType = 0; // "msgType": the titleType of its category
    std::string dateTime; // "dateTime": the server's change time, as text
    bool isSelected = false; // selection mark in a list; not stored
    int useCount = 0; // how often it was used

    // One item of a template reply; null for anything but a dictionary.
    static std::shared_ptr<MessageTemplateInfo> templateWithObj(const platform::Value& obj);

    std::string className() const override { return "MessageTemplateInfo"; }
    // "msgInfo = %@ ,msgId = %i,useCount = %d dateTime = %@", for logs.
    std::string description() const override;
};

} // namespace core
