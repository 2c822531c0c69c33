// Who a group send reached: the read states of its receivers in the app
// (type 1) or the fate of their SMS copies (type 2), and sending it again
// to those it has not reached.
#include "server/ResponderContext.h"

namespace server {

namespace {

    constexpr int kSmsType = 2;

} // namespace

Reply RequestContext::groupSendState()
{
    std::string msgId = bodyText("msgId");
    if (!ownsGroupSend(msgId))
        return failure("消息不存在");
    std::string column = bodyInt("type") == kSmsType ? "sms_ok" : "read";
    auto names = [&](int flag) {
        Array out;
        for (auto& row : data_.rows("SELECT p.name AS name FROM group_send_recipient r JOIN person p "
                                    "ON p.person_id = r.person_id WHERE r.msg_id = ? AND r."
                     + column + " = ? ORDER BY p.person_id",
                 { msgId, flag }))
            out.push_back(row["name"]);
        return out;
    };
    Dictionary reply = envelope(1, "");
    reply.set("readItems", Value(names(1)));
    reply.set("unReadItems", Value(names(0)));
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::groupResend()
{
    std::string msgId = bodyText("msgId");
    if (!ownsGroupSend(msgId))
        return failure("消息不存在");
    if (bodyInt("type") != kSmsType) {
        // A reminder: the unread copies come with the receivers' next poll again.
        data_.exec("UPDATE message SET delivered = 0 WHERE group_msg_id = ? AND read = 0", { msgId });
        return success("操作成功");
    }
    // The failed SMS copies go out again; they arrive for the receivers with
    // a phone who take the messaging service.
    int failed = data_.scalar("SELECT COUNT(*) FROM group_send_recipient WHERE msg_id = ? AND sms_ok = 0", { msgId })
                     .intValue();
    if (failed == 0)
        return failure("无未读或未接收用户");
    bool stored = data_.exec("UPDATE group_send_recipient SET sms_ok = 1 WHERE msg_id = ? AND sms_ok = 0 AND "
                             "person_id IN (SELECT person_id FROM person WHERE phone IS NOT NULL AND is_customer = 1)",
        { msgId });
    // Accepted for sending; whoever cannot receive SMS stays failed.
    return stored ? success("操作成功") : failure("操作失败");
}

} // namespace server
