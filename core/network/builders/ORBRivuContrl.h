#pragma once

#include "core/model/MessageInfo.h"
#include "core/network/builders/ORBBuilderFrame.h"

#include <vector>

namespace core {

// Home-school messages ("combine/rivu"): polling, group sends, read and
// receipt reports, the recipients' state and resending. Every method returns
// an unstarted request; the caller parses and judges the reply.
class ORBRivuContrl final {
public:
    ORBRivuContrl() = delete;

    // "20101": the full common set. The reply holds "items" (new messages)
    // and "groupsendstat" (the counts of the user's group sends).
    static ORBBuilderRequest messageNewWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // "40001" to "combine/html5" with params "updateTime"; the reply is a
    // bare list of navigation messages.
    static ORBBuilderRequest navigationMessageWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
    // "20102", the group send: the groups and contacts among the receivers
    // (other values are skipped), the text, the template, and the uploaded
    // photos (both addresses) and clips (an address) among the files.
    static ORBBuilderRequest sendMessage(const MessageInfo& message, const platform::Array& files,
        const platform::Array& receivers, const ORBDelegate& delegate, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);
    // "20105": "hasSend" holds the ids received but not yet reported,
    // "hasRead" the ids read but not yet reported read; both always present.
    static ORBBuilderRequest setMessageState(const std::vector<std::shared_ptr<MessageInfo>>& messages,
        const ORBDelegate& delegate, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);
    // "20103": the recipients of one group send; type 1 the read state, 2 SMS delivery.
    static ORBBuilderRequest getMessageState(const MessageInfo& message, int type, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // "20104": send again to those who have not read or received it.
    static ORBBuilderRequest reSendtMessage(const MessageInfo& message, int type, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
};

} // namespace core
