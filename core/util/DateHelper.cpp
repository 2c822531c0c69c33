#include "core/util/DateHelper.h"

#include "platform/os/DateFormat.h"
#include "platform/os/Log.h"

#include <cmath>
#include <mutex>

namespace core {

namespace {

    struct Reference {
        std::mutex mutex;
        std::optional<platform::Date> date;
    };

    Reference& reference()
    {
        static Reference r;
        return r;
    }

    long long wholeSeconds(platform::Date date)
    {
        if (!std::isfinite(date.seconds))
            return 0;
        return static_cast<long long>(std::floor(date.seconds));
    }

    // Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
    long long daysFromCivil(int year, int month, int day)
    {
        long long y = year - (month <= 2 ? 1 : 0);
        long long era = (y >= 0 ? y : y - 399) / 400;
        long long yoe = y - era * 400;
        long long mp = (month + 9) % 12;
        long long doy = (153 * mp + 2) / 5 + day - 1;
        long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe - 719468;
    }

} // namespace

void DateHelper::setDateNow(std::optional<platform::Date> date)
{
    std::lock_guard lock(reference().mutex);
    reference().date = date;
}

std::optional<platform::Date> DateHelper::dateNow()
{
    std::lock_guard lock(reference().mutex);
    return reference().date;
}

long long DateHelper::calendarDaysBetween(platform::Date earlier, platform::Date later)
{
    auto zone = platform::TimeZone::local();
    auto from = platform::dateComponents(earlier, zone);
    auto to = platform::dateComponents(later, zone);
    return daysFromCivil(to.year, to.month, to.day) - daysFromCivil(from.year, from.month, from.day);
}

std::string DateHelper::stringWithDate(std::optional<platform::Date> date)
{
    if (!date)
        return "未知时间";
    platform::Date now = dateNow().value_or(platform::Date::now());
    long long delta = wholeSeconds(now) - wholeSeconds(*date);
    if (delta < 60)
        return "刚刚";
    if (delta < 3600)
        return platform::format("%i分钟前", static_cast<int>(delta / 60));
    if (delta < 14400)
        return platform::format("%i小时前", static_cast<int>(delta / 3600));

    // Calendar days as the user sees them: 07:00 and 12:00 of one local day
    // are the same day even where they fall on two UTC days.
    long long days = calendarDaysBetween(*date, now);
    auto zone = platform::TimeZone::local();
    const bool sameYear = platform::dateComponents(now, zone).year == platform::dateComponents(*date, zone).year;
    const char* pattern = nullptr;
    if (days == 0)
        pattern = "'今天' HH:mm";
    else if (days == 1)
        pattern = "'昨天' HH:mm";
    else if (days == 2)
        pattern = "'前天' HH:mm";
    else if (sameYear)
        pattern = "MM-dd HH:mm";
    else
        pattern = "yy-MM-dd HH:mm";
    return platform::DateFormatter(pattern, zone).stringFromDate(*date);
}

} // namespace core
