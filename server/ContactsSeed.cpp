// The demo teacher's click-to-dial history beyond its first days: enough
// calls for two pages, every end state the client knows, and parties whose
// ids no longer fit in 24 bits (numbers from outside the school book).
#include "server/SchoolData.h"

#include "foundation/sqlite/SQLDatabase.h"
#include "platform/os/Log.h"

namespace server {

bool SchoolData::seedCallHistory()
{
    struct Call {
        const char* callee;
        const char* phone;
        int type;
        const char* state;
        int minutes;
        long long linkId;
    };
    const Call calls[] = {
        { "陈丽", "13700006004", 0, "呼叫结束", 4, 6004 },
        { "杨帆", "13700006005", 0, "连接主叫", 0, 6005 },
        { "赵强", "13700006006", 0, "连接被叫", 0, 6006 },
        { "黄敏", "13700006007", 0, "正在通话", 2, 6007 },
        { "周涛", "13700006008", 0, "主叫忙", 0, 6008 },
        { "吴静", "13700006009", 0, "被叫忙", 0, 6009 },
        { "徐磊", "13700006011", 0, "主叫无应答", 0, 6011 },
        { "孙娜", "13700006012", 0, "被叫无应答", 0, 6012 },
        { "马超", "13700006013", 0, "呼叫失败", 0, 6013 },
        { "陈静", "13900000002", 2, "呼叫结束", 6, 2002 },
        { "", "02088880001", 3, "呼叫结束", 1, 16777217 },
        { "学校门卫", "02088880002", 3, "呼叫结束", 2, 16777219 },
        { "教育局", "02088880003", 3, "被叫无应答", 0, 4294967301LL },
        { "朱红", "13700006014", 0, "呼叫结束", 3, 6014 },
    };
    constexpr double kDay = 86400;
    int index = 0;
    for (const auto& call : calls) {
        ++index;
        if (!db_->executeUpdate("INSERT INTO call_history (user_id, start_time, state, callee, callee_phone, "
                                "caller_type, use_minute, link_id) VALUES (2001, ?, ?, ?, ?, ?, ?, ?)",
                { timeText(-(5 + index) * kDay), call.state, call.callee, call.phone, call.type, call.minutes,
                    call.linkId })) {
            platform::log("standin: seeding the call history failed at %s\n", call.callee);
            return false;
        }
    }
    return true;
}

} // namespace server
