// The address book of "combine/address": groups, contacts, one-to-one sends, the whole book.
#include "server/ResponderContext.h"

namespace server {

Array RequestContext::groupsOf(long long owner) const
{
    return data_.rows("SELECT group_id AS groupId, name AS groupName, group_type AS groupType FROM contact_group "
                      "WHERE owner_id = ? ORDER BY seq",
        { owner });
}

Array RequestContext::contactsOf(long long owner, const std::string& groupId) const
{
    return compact(data_.rows("SELECT " + kContactColumns
            + " FROM contact c JOIN person p ON p.person_id = c.person_id JOIN account o ON o.user_id = c.owner_id "
              "WHERE c.owner_id = ? AND c.group_id = ? ORDER BY c.seq",
        { owner, groupId }));
}

Reply RequestContext::contactGroups()
{
    Dictionary reply = envelope(1, "");
    reply.set("groupList", Value(groupsOf(userId())));
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::groupContacts()
{
    Dictionary reply = envelope(1, "");
    reply.set("manList", Value(contactsOf(userId(), bodyText("groupId"))));
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::sendToOne()
{
    long long target = bodyInt("linkManId");
    if (data_.scalar("SELECT COUNT(*) FROM person WHERE person_id = ?", { target }).intValue() == 0)
        return failure("联系人不存在");
    if (!hasContent())
        return failure("消息内容不能为空");
    std::string msgId = nextId("M", 2001);
    bool stored = data_.exec("INSERT INTO message VALUES (?, ?, ?, ?, ?, ?, ?, 0, NULL, 0, 0, 0)",
        { msgId, userId(), target, bodyText("content"),
            platform::PlatformJson::write(attachments("images")).value_or("[]"),
            platform::PlatformJson::write(attachments("audios")).value_or("[]"), SchoolData::timeText() });
    if (!stored)
        return failure("发送失败，请重试");
    Dictionary reply = envelope(1, "发送成功");
    reply.set("msgId", msgId);
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::ctdState()
{
    auto row = data_.row("SELECT package_time AS packageTime, remain_time AS remainTime FROM ctd_package "
                         "WHERE user_id = ?",
        { userId() });
    Dictionary reply = envelope(1, "");
    reply.set("packageTime", row ? row->get("packageTime") : Value(0));
    reply.set("remainTime", row ? row->get("remainTime") : Value(0));
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::addressPackage()
{
    Dictionary reply = envelope(1, "");
    reply.set("downUrl", "{base}files/addressbook/" + std::to_string(userId()) + ".json.gz");
    return jsonReply(Value(std::move(reply)));
}

Array RequestContext::wholeAddressBook(long long owner) const
{
    Array groups;
    for (auto& group : groupsOf(owner)) {
        Dictionary entry = *group.asDictionary();
        entry.set("items", Value(contactsOf(owner, group["groupId"].stringValue())));
        groups.push_back(Value(std::move(entry)));
    }
    return groups;
}

Reply RequestContext::addressBook()
{
    Reply reply = jsonReply(Value(wholeAddressBook(userId())));
    reply.addressBook = true;
    return reply;
}

} // namespace server
