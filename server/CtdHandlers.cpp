// Click-to-dial of "combine/ctd": business check, call history, dial and hang up.
#include "server/ResponderContext.h"

namespace server {

Reply RequestContext::ctdCheck()
{
    Dictionary reply = envelope(1, ctdEnabled() ? "点击拨号将由平台回拨您的手机，接通后再呼叫对方，通话免费。" : "");
    reply.set("status", ctdEnabled() ? 1 : 0);
    reply.set("dealResult", "您尚未开通点击拨号业务，请联系学校管理员开通。");
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::ctdHistory()
{
    return withItems(data_.rows("SELECT start_time AS starttime, state, callee, callee_phone AS calleephone, "
                                "caller_type AS callertype, use_minute AS useminute, link_id AS linkId "
                                "FROM call_history WHERE user_id = ? ORDER BY start_time DESC LIMIT 10 OFFSET ?",
        { userId(), pageOffset(10) }));
}

// Call start and end answer 0 when done and any other value with a reason.
Reply RequestContext::callAnswer(int state, const std::string& message)
{
    return jsonReply(Value(envelope(state, message)));
}

Reply RequestContext::ctdDial()
{
    std::string phone = bodyText("phone");
    if (!ctdEnabled())
        return callAnswer(2, "您尚未开通点击拨号业务");
    if (phone.empty())
        return callAnswer(1, "号码不能为空");
    auto remain = data_.scalar("SELECT remain_time FROM ctd_package WHERE user_id = ?", { userId() });
    if (remain.intValue() <= 0)
        return callAnswer(1, "通话时长不足，请充值");
    long long linkId = static_cast<long long>(body("linkId").doubleValue());
    auto callee = data_.scalar("SELECT name FROM person WHERE person_id = ?", { linkId });
    data_.insert("INSERT INTO call_history (user_id, start_time, state, callee, callee_phone, caller_type, "
                 "use_minute, link_id) VALUES (?, ?, '通话中', ?, ?, ?, 0, ?)",
        { userId(), SchoolData::timeText(), callee.isString() ? callee : Value(""), phone, bodyInt("type"), linkId });
    return callAnswer(0, "呼叫已发起，请注意接听来电");
}

Reply RequestContext::ctdHangUp()
{
    if (!ctdEnabled())
        return callAnswer(2, "您尚未开通点击拨号业务");
    data_.transaction([&] {
        return data_.exec("UPDATE call_history SET state = '通话成功', use_minute = 1 WHERE id = (SELECT MAX(id) "
                          "FROM call_history WHERE user_id = ? AND state = '通话中')",
                   { userId() })
            && data_.exec(
                "UPDATE ctd_package SET remain_time = MAX(remain_time - 1, 0) WHERE user_id = ?", { userId() });
    });
    return callAnswer(0, "通话已结束");
}

} // namespace server
