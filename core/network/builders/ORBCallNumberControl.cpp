#include "core/network/builders/ORBCallNumberControl.h"

#include "core/session/ORBEndpoints.h"
#include "platform/os/Log.h"

using foundation::RequestSelector;

namespace core {

using builder::Common;
using platform::Dictionary;
using platform::Value;
using Cmd = ORBEndpoints::Cmd;

namespace {
    constexpr std::initializer_list<Common> kSessionKeys { Common::Cmd, Common::UserId, Common::SchoolId,
        Common::AccountType, Common::AreaAbb };

    ORBBuilderRequest ctdRequest(const char* logFormat, Dictionary body, const ORBDelegate& delegate,
        const RequestSelector& successSel, const RequestSelector& failSel)
    {
        auto request = builder::postRequest(ORBEndpoints::kCtd, body, delegate, successSel, failSel);
        platform::log(logFormat, request->url().absoluteString().c_str());
        return request;
    }

    Dictionary sessionBody(const char* cmd)
    {
        Dictionary body;
        builder::addCommon(body, cmd, kSessionKeys);
        return body;
    }
} // namespace

ORBBuilderRequest ORBCallNumberControl::checkTeacherBusinessWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    return ctdRequest("check teacher business url:%s\n", sessionBody(Cmd::kCtdCheck), delegate, successSel, failSel);
}

ORBBuilderRequest ORBCallNumberControl::checkHistoryWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& page)
{
    Dictionary body = sessionBody(Cmd::kCtdHistory);
    if (!page.isNull())
        body.set("page", page);
    return ctdRequest("check history url:%s\n", std::move(body), delegate, successSel, failSel);
}

ORBBuilderRequest ORBCallNumberControl::clickDialWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    Dictionary body = sessionBody(Cmd::kCtdDial);
    builder::copyParams(body, params, { "linkId", "type", "phone" });
    return ctdRequest("click dial url:%s\n", std::move(body), delegate, successSel, failSel);
}

ORBBuilderRequest ORBCallNumberControl::stopDialWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    Dictionary body = sessionBody(Cmd::kCtdHangUp);
    builder::copyParams(body, params, { "linkId", "type", "phone" });
    return ctdRequest("stop dial url:%s\n", std::move(body), delegate, successSel, failSel);
}

ORBBuilderRequest ORBFeedbackControl::FeedbackWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    Dictionary body = sessionBody(Cmd::kFeedback);
    builder::copyParams(body, params, { "parentId", "content", "serviceId" });
    return builder::postRequest(ORBEndpoints::kSys, body, delegate, successSel, failSel);
}

} // namespace core
