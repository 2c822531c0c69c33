#pragma once

#include "core/network/builders/ORBBuilderFrame.h"

namespace core {

// Message template categories and templates ("combine/rivu"). Each request
// carries the newest change time the local template store holds, so the
// server answers only what changed since.
class ORBMessageTemplateControl final {
public:
    ORBMessageTemplateControl() = delete;

    // "20106": "dateTime" of the newest stored category, absent with none stored.
    static ORBBuilderRequest getMessageTemplateTypeDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // "20107": the same for the templates.
    static ORBBuilderRequest getMessageTemplateContentDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
};

} // namespace core
