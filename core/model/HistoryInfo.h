#pragma once

#include "platform/os/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace core {

// One click-to-dial call of the history: when, how it ended, with whom. The
// other party's id is kept whole, as a 64-bit integer, so that a call made
// again from the row starts and ends with the id the server gave.
struct HistoryInfo final : platform::Object {
    std::string startTime; // "starttime"
    std::string state; // "state"
    std::string caller; // "callee": the other party's name
    std::string callerPhone; // "calleephone"
    int callerType = 0; // "callertype"
    int useMinute = 0; // "useminute"
    std::int64_t linkId = 0; // "linkId"

    // Null for anything but a dictionary; keys of the wrong kind are left out.
    static std::shared_ptr<HistoryInfo> historyWithObj(const platform::Value& obj);
    // The entries of a page's "items"; anything but a list is an empty page.
    static std::vector<std::shared_ptr<HistoryInfo>> historiesWithItems(const platform::Value& items);

    std::string className() const override { return "HistoryInfo"; }
};

} // namespace core
