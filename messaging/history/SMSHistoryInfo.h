#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

// One SMS of the account's history, as the server lists it; the time is
// shown as the server wrote it. The id is kept as text: servers send it as a
// number or as a text ("S7201"), and read as a number every text id would be
// 0, one SMS to the duplicate check.
struct SMSHistoryInfo final {
    std::string msgId;
    int senderId = 0;
    std::string senderName;
    std::string content;
    std::string dateTime;

    // An item of the history reply; nullptr for anything but a dictionary.
    static std::shared_ptr<SMSHistoryInfo> infoWithObj(const platform::Value& item);
};
