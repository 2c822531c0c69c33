#include "core/network/builders/ORBRivuContrl.h"

#include "core/model/ContactInfo.h"
#include "core/model/GroupInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/Log.h"

using foundation::RequestSelector;

namespace core {

using platform::Array;
using platform::Dictionary;
using platform::Value;
using Cmd = ORBEndpoints::Cmd;

ORBBuilderRequest ORBRivuContrl::messageNewWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kNewMessages, builder::kFullSet);
    return builder::postRequest(ORBEndpoints::kRivu, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBRivuContrl::navigationMessageWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    using builder::Common;
    Dictionary body;
    builder::addCommon(body, Cmd::kNavigationMessages,
        { Common::Cmd, Common::UserId, Common::SchoolId, Common::AccountType, Common::AreaAbb });
    builder::copyParams(body, params, { "updateTime" });
    builder::addCommon(body, nullptr, builder::kDeviceKeys);
    platform::log("request params:%s\n", builder::describeForLog(body).c_str());
    return builder::postRequest(ORBEndpoints::kHtml5, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBRivuContrl::sendMessage(const MessageInfo& message, const Array& files, const Array& receivers,
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kGroupSend, builder::kFullSet);
    Array groups;
    Array contacts;
    for (const Value& receiver : receivers) {
        if (auto group = receiver.objectAs<GroupInfo>())
            groups.emplace_back(Dictionary { { "groupId", group->uid }, { "groupType", group->type } });
        else if (auto contact = receiver.objectAs<ContactInfo>())
            contacts.emplace_back(Dictionary { { "linkManId", contact->uid }, { "linkManType", contact->type } });
    }
    body.set("groupIdsItem", std::move(groups));
    body.set("sendeeIdsItem", std::move(contacts));
    if (!message.content.empty())
        body.set("content", message.content);
    body.set("templateId", message.templateId);
    // Only what has been uploaded can be sent: photos with both addresses,
    // clips with one.
    Array images = builder::photoObjects(files, true);
    if (!images.empty())
        body.set("images", std::move(images));
    Array audios = builder::soundObjects(files, true);
    if (!audios.empty())
        body.set("audios", std::move(audios));
    return builder::postRequest(ORBEndpoints::kRivu, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBRivuContrl::setMessageState(const std::vector<std::shared_ptr<MessageInfo>>& messages,
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kReportStates, builder::kFullSet);
    Array received;
    Array read;
    for (const auto& message : messages) {
        if (!message)
            continue;
        if (message->state == MessageInfo::kStateUnread && message->remoteState == 0)
            received.emplace_back(message->uid);
        else if (message->state == MessageInfo::kStateRead && message->remoteState != MessageInfo::kStateRead)
            read.emplace_back(message->uid);
    }
    body.set("hasSend", std::move(received));
    body.set("hasRead", std::move(read));
    platform::log("dict:%s\n", builder::describeForLog(body).c_str());
    return builder::postRequest(ORBEndpoints::kRivu, body, delegate, successSel, failSel);
}

namespace {
    ORBBuilderRequest groupSendRequest(const char* cmd, const MessageInfo& message, int type,
        const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
    {
        Dictionary body;
        builder::addCommon(body, cmd, builder::kFullSet);
        body.set("msgId", message.uid);
        body.set("type", type);
        return builder::postRequest(ORBEndpoints::kRivu, body, delegate, successSel, failSel);
    }
} // namespace

ORBBuilderRequest ORBRivuContrl::getMessageState(const MessageInfo& message, int type, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    return groupSendRequest(Cmd::kGroupSendState, message, type, delegate, successSel, failSel);
}

ORBBuilderRequest ORBRivuContrl::reSendtMessage(const MessageInfo& message, int type, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    return groupSendRequest(Cmd::kGroupResend, message, type, delegate, successSel, failSel);
}

} // namespace core
