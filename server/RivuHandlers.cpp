// Home-school messages of "combine/rivu": polls, group sends and their states, templates.
#include "server/ResponderContext.h"

namespace server {

Reply RequestContext::pollMessages()
{
    auto items = data_.rows("SELECT m.msg_id AS msgId, m.content AS content, "
                            "CASE WHEN m.group_msg_id IS NULL THEN 0 ELSE 1 END AS isGroupSend, "
                            "m.images AS images, m.audios AS audios, m.date_time AS dateTime, "
                            "m.template_id AS templateId, p.person_id AS linkManId, p.name AS linkManName, "
                            "(SELECT remarks FROM contact WHERE owner_id = m.receiver_id "
                            "AND person_id = m.sender_id LIMIT 1) AS remarks, p.phone AS phone, "
            + kThumb + " AS thumbAvatar, " + kAvatar
            + " AS orgUserPic, p.person_type AS linkManType, p.is_customer AS isCustomer "
              "FROM message m JOIN person p ON p.person_id = m.sender_id "
              "WHERE m.receiver_id = ? AND m.delivered = 0 ORDER BY m.date_time, m.msg_id",
        { userId() });
    expandJsonColumns(items, { "images", "audios" });
    data_.exec("UPDATE message SET delivered = 1 WHERE receiver_id = ? AND delivered = 0", { userId() });
    auto groupStates = data_.rows("SELECT g.msg_id AS msgId, g.content AS content, 1 AS isGroupSend, "
                                  "g.images AS images, g.audios AS audios, g.date_time AS dateTime, "
                                  "g.template_id AS templateId, "
                                  "(SELECT COUNT(*) FROM group_send_recipient r WHERE r.msg_id = g.msg_id "
                                  "AND r.read = 1) AS msgReadCount, "
                                  "(SELECT COUNT(*) FROM group_send_recipient r WHERE r.msg_id = g.msg_id "
                                  "AND r.read = 0) AS msgUnReadCount, "
                                  "(SELECT COUNT(*) FROM group_send_recipient r WHERE r.msg_id = g.msg_id "
                                  "AND r.sms_ok = 1) AS smsSuccessCount, "
                                  "(SELECT COUNT(*) FROM group_send_recipient r WHERE r.msg_id = g.msg_id "
                                  "AND r.sms_ok = 0) AS smsUnSuccessCount "
                                  "FROM group_send g WHERE g.sender_id = ? ORDER BY g.date_time DESC",
        { userId() });
    expandJsonColumns(groupStates, { "images", "audios" });
    Dictionary reply = envelope(1, "");
    reply.set("items", Value(compact(std::move(items))));
    reply.set("groupsendstat", Value(std::move(groupStates)));
    return jsonReply(Value(std::move(reply)));
}

bool RequestContext::hasContent() const
{
    return !bodyText("content").empty() || body("images").count() > 0 || body("audios").count() > 0;
}

Value RequestContext::attachments(std::string_view key) const
{
    const Value& list = body(key);
    return list.isArray() ? list : Value(Array {});
}

Reply RequestContext::groupSend()
{
    if (!hasContent())
        return failure("消息内容不能为空");
    std::vector<long long> recipients;
    auto add = [&](long long person) {
        if (person > 0 && std::find(recipients.begin(), recipients.end(), person) == recipients.end())
            recipients.push_back(person);
    };
    if (const auto* groups = body("groupIdsItem").asArray()) {
        for (const auto& group : *groups) {
            for (auto& row : data_.rows("SELECT person_id FROM contact WHERE owner_id = ? AND group_id = ? "
                                        "ORDER BY seq",
                     { userId(), group["groupId"].stringValue() }))
                add(row["person_id"].longLongValue());
        }
    }
    if (const auto* people = body("sendeeIdsItem").asArray()) {
        for (const auto& person : *people) {
            long long id = person["linkManId"].longLongValue();
            if (data_.scalar("SELECT COUNT(*) FROM person WHERE person_id = ?", { id }).intValue() > 0)
                add(id);
        }
    }
    if (recipients.empty())
        return failure("请选择接收人");

    std::string images = platform::PlatformJson::write(attachments("images")).value_or("[]");
    std::string audios = platform::PlatformJson::write(attachments("audios")).value_or("[]");
    std::string msgId;
    int smsOk = 0;
    bool stored = data_.transaction([&] {
        msgId = nextId("G", 3001);
        std::string now = SchoolData::timeText();
        if (!data_.exec("INSERT INTO group_send VALUES (?, ?, ?, ?, ?, ?, ?)",
                { msgId, userId(), bodyText("content"), images, audios, now, bodyInt("templateId") }))
            return false;
        for (long long person : recipients) {
            auto who = data_.row("SELECT phone, is_customer FROM person WHERE person_id = ?", { person });
            bool sms = who && who->get("phone").isString() && who->get("is_customer").intValue() == 1;
            smsOk += sms ? 1 : 0;
            if (!data_.exec("INSERT INTO group_send_recipient VALUES (?, ?, 0, ?)", { msgId, person, sms ? 1 : 0 }))
                return false;
            // Recipients who use the app get it in their next poll.
            if (data_.scalar("SELECT COUNT(*) FROM account WHERE user_id = ?", { person }).intValue() > 0
                && !data_.exec("INSERT INTO message VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0, 0)",
                    { nextId("M", 2001), userId(), person, bodyText("content"), images, audios, now,
                        bodyInt("templateId"), msgId }))
                return false;
        }
        return true;
    });
    if (!stored)
        return failure("发送失败，请重试");
    Dictionary reply = envelope(1, "发送成功");
    reply.set("msgId", msgId);
    reply.set("msgReadCount", 0);
    reply.set("msgUnReadCount", static_cast<int>(recipients.size()));
    reply.set("smsSuccessCount", smsOk);
    reply.set("smsUnSuccessCount", static_cast<int>(recipients.size()) - smsOk);
    return jsonReply(Value(std::move(reply)));
}

bool RequestContext::ownsGroupSend(const std::string& msgId) const
{
    return data_.scalar("SELECT COUNT(*) FROM group_send WHERE msg_id = ? AND sender_id = ?", { msgId, userId() })
               .intValue()
        > 0;
}

Reply RequestContext::reportStates()
{
    auto mark = [&](std::string_view key, const char* column) {
        if (const auto* ids = body(key).asArray()) {
            for (const auto& id : *ids) {
                data_.exec(std::string("UPDATE message SET ") + column + " = 1 WHERE msg_id = ? AND receiver_id = ?",
                    { id.stringValue(), userId() });
            }
        }
    };
    bool stored = data_.transaction([&] {
        mark("hasSend", "received");
        mark("hasRead", "received");
        mark("hasRead", "read");
        // A group send counts a recipient as read once the recipient's copy is.
        return data_.exec("UPDATE group_send_recipient SET read = 1 WHERE EXISTS (SELECT 1 FROM message m "
                          "WHERE m.group_msg_id = group_send_recipient.msg_id AND m.receiver_id = "
                          "group_send_recipient.person_id AND m.read = 1 AND m.receiver_id = ?)",
            { userId() });
    });
    return stored ? success("操作成功") : failure("操作失败");
}

Reply RequestContext::templateTypes()
{
    std::string since = bodyText("dateTime");
    return withItems(data_.rows("SELECT title_id AS titleId, title_name AS titleName, title_type AS titleType, "
                                "date_time AS dateTime FROM template_type WHERE date_time > ? ORDER BY title_id",
        { since }));
}

Reply RequestContext::templates()
{
    std::string since = bodyText("dateTime");
    return withItems(data_.rows("SELECT msg_id AS msgId, msg_info AS msgInfo, msg_type AS msgType, "
                                "date_time AS dateTime FROM template WHERE date_time > ? ORDER BY msg_id",
        { since }));
}

} // namespace server
