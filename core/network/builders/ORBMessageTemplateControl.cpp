#include "core/network/builders/ORBMessageTemplateControl.h"

#include "core/session/ORBEndpoints.h"
#include "core/store/MessageTemplateFactory.h"
#include "platform/os/Log.h"

using foundation::RequestSelector;

namespace core {

using platform::Dictionary;
using Cmd = ORBEndpoints::Cmd;

namespace {
    ORBBuilderRequest templateRequest(const char* cmd, const std::optional<std::string>& dateTime,
        const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
    {
        using builder::Common;
        Dictionary body;
        builder::addCommon(
            body, cmd, { Common::Cmd, Common::UserId, Common::SchoolId, Common::AccountType, Common::AreaAbb });
        if (dateTime)
            body.set("dateTime", *dateTime);
        platform::log("dateTime = %s\n", dateTime ? dateTime->c_str() : "(null)");
        return builder::postRequest(ORBEndpoints::kRivu, body, delegate, successSel, failSel);
    }
} // namespace

ORBBuilderRequest ORBMessageTemplateControl::getMessageTemplateTypeDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    MessageTemplateFactory store;
    return templateRequest(
        Cmd::kTemplateTypes, store.getLastMessageTemplateTypeDateTime(), delegate, successSel, failSel);
}

ORBBuilderRequest ORBMessageTemplateControl::getMessageTemplateContentDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    MessageTemplateFactory store;
    return templateRequest(
        Cmd::kTemplates, store.getLastMessageTemplateContentDateTime(), delegate, successSel, failSel);
}

} // namespace core
