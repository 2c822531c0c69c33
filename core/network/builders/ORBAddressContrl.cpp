#include "core/network/builders/ORBAddressContrl.h"

#include "core/session/ORBEndpoints.h"

using foundation::RequestSelector;

namespace core {

using platform::Array;
using platform::Dictionary;
using platform::Value;
using Cmd = ORBEndpoints::Cmd;

ORBBuilderRequest ORBAddressContrl::contactsGroupWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kContactGroups, builder::kFullSet);
    return builder::postRequest(ORBEndpoints::kAddress, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBAddressContrl::contactsWithGroup(const GroupInfo& group, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kGroupContacts, builder::kFullSet);
    body.set("groupType", group.type);
    body.set("groupId", group.uid);
    return builder::postRequest(ORBEndpoints::kAddress, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBAddressContrl::sendMessage(const MessageInfo& message, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kSendToOne, builder::kFullSet);
    body.set("linkManId", message.contact ? message.contact->uid : 0);
    body.set("linkManType", message.contact ? message.contact->type : 0);
    if (!message.content.empty())
        body.set("content", message.content);
    // The send loader uploads first, so every attachment goes; one whose
    // upload gave no address still keeps its other values.
    if (!message.photosInfo.empty()) {
        Array photos(message.photosInfo.begin(), message.photosInfo.end());
        body.set("images", builder::photoObjects(photos, false));
    }
    if (!message.soundsInfo.empty()) {
        Array sounds(message.soundsInfo.begin(), message.soundsInfo.end());
        body.set("audios", builder::soundObjects(sounds, false));
    }
    return builder::postRequest(ORBEndpoints::kAddress, body, delegate, successSel, failSel);
}

} // namespace core
