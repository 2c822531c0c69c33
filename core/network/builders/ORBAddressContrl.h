#pragma once

#include "core/model/GroupInfo.h"
#include "core/model/MessageInfo.h"
#include "core/network/builders/ORBBuilderFrame.h"

namespace core {

// The school address book, group by group, and the one-to-one send
// ("combine/address"). Unstarted requests; the caller reads the replies.
class ORBAddressContrl final {
public:
    ORBAddressContrl() = delete;

    // "30101": the full common set; the reply's "groupList".
    static ORBBuilderRequest contactsGroupWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // "30102": "groupType" (number) and "groupId" (text) of the group; the reply's "manList".
    static ORBBuilderRequest contactsWithGroup(const GroupInfo& group, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // "30104": to the message's contact ("linkManId" and "linkManType", 0
    // without one), its text when not empty and every attachment; an
    // address not known leaves only its own key out. The reply's "msgId".
    static ORBBuilderRequest sendMessage(const MessageInfo& message, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
};

} // namespace core
