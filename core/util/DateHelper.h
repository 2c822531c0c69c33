#pragma once

#include "platform/os/Value.h"

#include <optional>
#include <string>

namespace core {

// Relative times ("刚刚", "5分钟前", "昨天 08:30") measured from a reference
// date that stands for the present moment. The video-lesson service sets the
// reference from its server's clock, so texts agree with the server and not
// with a phone whose clock is off.
class DateHelper final {
public:
    DateHelper() = delete;

    // Replaces the reference date; nothing goes back to the device clock.
    static void setDateNow(std::optional<platform::Date> date);
    static std::optional<platform::Date> dateNow();

    // "未知时间" for no date. Under a minute (or in the future) "刚刚", under an
    // hour "%i分钟前", under four hours "%i小时前"; beyond that the calendar
    // day in the device's zone decides: "'今天' HH:mm", "'昨天' HH:mm",
    // "'前天' HH:mm", then "MM-dd HH:mm" within the same year and
    // "yy-MM-dd HH:mm" before it.
    static std::string stringWithDate(std::optional<platform::Date> date);

    // Whole calendar days in the device's zone from `earlier` to `later`
    // (0 on the same local day, 1 for yesterday), not 86400-second periods:
    // around a daylight-saving change those are an hour off the days.
    static long long calendarDaysBetween(platform::Date earlier, platform::Date later);
};

} // namespace core
