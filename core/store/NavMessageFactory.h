#pragma once

#include "core/model/NavMessageInfo.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace core {

using NavMessageList = std::vector<std::shared_ptr<NavMessageInfo>>;

// The navigation messages kept in "NavMessage.plist" in the Documents folder:
// a list of {eventType, content, count, dateTimeStr, title, viewController}.
// The file is the whole state; nothing is held in memory.
class NavMessageFactory final {
public:
    NavMessageFactory() = delete;

    // The operations of updateNavMessageState.
    enum Operation : int {
        kRewrite = 0, // writes the file back unchanged
        kRemove = 1, // removes the entry of the event type
        kAddCount = 2, // adds the message's count to the entry's
        kClearCount = 3, // sets the entry's count to 0
    };

    static constexpr const char* kFileName = "NavMessage.plist";

    static std::string navMessageFile();
    // In file order; nothing when the file is missing, unreadable or empty.
    // Entries that are not dictionaries are skipped.
    static std::optional<NavMessageList> allNavMessages();
    // Applies the operation to the first entry of the message's event type
    // and writes the whole list back atomically. False, writing nothing, when
    // the file is missing, unreadable or empty; otherwise the write's result.
    static bool updateNavMessageState(const NavMessageInfo& message, int operateType);
};

} // namespace core
