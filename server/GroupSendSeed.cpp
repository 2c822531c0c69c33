#include "server/MessagingSeed.h"

#include "server/SchoolData.h"

#include "platform/os/Log.h"

#include <string>

namespace server {

namespace {

    constexpr double kHour = 3600;

} // namespace

bool seedGroupSends(SchoolData& data)
{
    const std::string base = SchoolData::kBaseMarker;
    bool ok = true;
    auto run = [&](const std::string& sql, const platform::Array& args) {
        if (ok && !data.exec(sql, args)) {
            platform::log("standin: seeding group sends failed at %s\n", sql.c_str());
            ok = false;
        }
    };
    // To the parents of class 102: two photos and a clip; three SMS copies
    // did not arrive (the network refused them) and can be sent again.
    const std::string images = "[{\"original\":\"" + base + "static/img/sports-day.png\",\"thumb\":\"" + base
        + "static/img/sports-day-thumb.png\"},{\"original\":\"" + base + "static/img/sports-team.png\",\"thumb\":\""
        + base + "static/img/sports-team-thumb.png\"}]";
    const std::string audios = "[{\"url\":\"" + base + "static/audio/meeting.amr\",\"seconds\":5}]";
    run("INSERT INTO group_send VALUES ('G2002', 2001, ?, ?, ?, ?, 0)",
        { "下周三上午举行秋季运动会，请孩子穿运动服、带水杯，家长可以到场加油。", images, audios,
            SchoolData::timeText(-3 * kHour) });
    const int class102[] = { 6009, 3003, 6011, 6012, 6013, 6014, 6015, 6016 };
    for (int person : class102) {
        const bool read = person == 3003 || person == 6011 || person == 6014;
        const bool smsOk = !(person == 6012 || person == 6015 || person == 6016);
        run("INSERT INTO group_send_recipient VALUES ('G2002', ?, ?, ?)", { person, read ? 1 : 0, smsOk ? 1 : 0 });
    }
    return ok;
}

} // namespace server
