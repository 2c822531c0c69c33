#pragma once

#include "core/network/builders/ORBBuilderFrame.h"

namespace core {

// Click-to-dial ("combine/ctd"): the business check, the call history, and
// starting and ending a call. No device keys are sent.
class ORBCallNumberControl final {
public:
    ORBCallNumberControl() = delete;

    static ORBBuilderRequest checkTeacherBusinessWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // The page goes as it is given.
    static ORBBuilderRequest checkHistoryWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& page);
    // params "linkId", "type", "phone".
    static ORBBuilderRequest clickDialWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
    static ORBBuilderRequest stopDialWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
};

// Feedback ("combine/sys", "10022"): params "parentId", "content", "serviceId".
class ORBFeedbackControl final {
public:
    ORBFeedbackControl() = delete;

    static ORBBuilderRequest FeedbackWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
};

} // namespace core
