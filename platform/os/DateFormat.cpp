#include "platform/os/DateFormat.h"

#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace platform {

namespace {

    constexpr const char* kShortMonths[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    constexpr const char* kLongMonths[] = { "January", "February", "March", "April", "May", "June", "July", "August",
        "September", "October", "November", "December" };
    constexpr const char* kShortWeekdays[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    constexpr const char* kLongWeekdays[]
        = { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" };

    // Dates this far from 1970 (about three million years) are outside any calendar we show.
    constexpr double kLimitSeconds = 1e14;

    // Days from 1970-01-01 to a proleptic Gregorian date, and back (H. Hinnant's algorithms).
    long long daysFromCivil(long long y, int m, int d)
    {
        y -= m <= 2;
        long long era = (y >= 0 ? y : y - 399) / 400;
        long long yoe = y - era * 400;
        long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe - 719468;
    }

    void civilFromDays(long long z, long long& y, int& m, int& d)
    {
        z += 719468;
        long long era = (z >= 0 ? z : z - 146096) / 146097;
        long long doe = z - era * 146097;
        long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        y = yoe + era * 400;
        long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        long long mp = (5 * doy + 2) / 153;
        d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
        m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
        y += m <= 2;
    }

    long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

    int currentYear()
    {
        long long days = floorDiv(static_cast<long long>(std::floor(Date::now().seconds)), 86400);
        long long y;
        int m, d;
        civilFromDays(days, y, m, d);
        return static_cast<int>(y);
    }

    std::string zoneOffsetText(int offset, bool colon, bool compactHours)
    {
        char sign = offset < 0 ? '-' : '+';
        int a = std::abs(offset) / 60;
        int hours = a / 60, minutes = a % 60;
        if (compactHours) {
            if (minutes == 0)
                return format("%c%d", sign, hours);
            return format("%c%d:%02d", sign, hours, minutes);
        }
        return colon ? format("%c%02d:%02d", sign, hours, minutes) : format("%c%02d%02d", sign, hours, minutes);
    }

    // Reads a zone at the start of `text`; on success advances it. Accepts the
    // forms the formatter writes, RFC 822 numeric offsets and the RFC 822 zone
    // names that HTTP dates may carry.
    std::optional<int> readZone(std::string_view& text)
    {
        auto readOffset = [](std::string_view& t, bool allowCompactHours) -> std::optional<int> {
            if (t.empty() || (t[0] != '+' && t[0] != '-'))
                return std::nullopt;
            int sign = t[0] == '-' ? -1 : 1;
            std::size_t i = 1;
            std::size_t digits = 0;
            while (i + digits < t.size() && t[i + digits] >= '0' && t[i + digits] <= '9' && digits < 4)
                ++digits;
            int hours = 0, minutes = 0;
            std::size_t used;
            auto num = [&](std::size_t from, std::size_t n) {
                int v = 0;
                for (std::size_t k = 0; k < n; ++k)
                    v = v * 10 + (t[from + k] - '0');
                return v;
            };
            if (digits == 4) {
                hours = num(i, 2);
                minutes = num(i + 2, 2);
                used = i + 4;
            } else if (digits == 1 || digits == 2) {
                if (digits == 1 && !allowCompactHours)
                    return std::nullopt;
                hours = num(i, digits);
                used = i + digits;
                if (t.size() - used >= 3 && t[used] == ':' && t[used + 1] >= '0' && t[used + 1] <= '9'
                    && t[used + 2] >= '0' && t[used + 2] <= '9') {
                    minutes = num(used + 1, 2);
                    used += 3;
                }
            } else {
                return std::nullopt;
            }
            if (hours > 23 || minutes > 59)
                return std::nullopt;
            t.remove_prefix(used);
            return sign * (hours * 3600 + minutes * 60);
        };

        for (std::string_view prefix : { "GMT", "UTC" }) {
            if (text.starts_with(prefix)) {
                std::string_view rest = text.substr(prefix.size());
                if (std::optional<int> offset = readOffset(rest, true)) {
                    text = rest;
                    return offset;
                }
                text.remove_prefix(prefix.size());
                return 0;
            }
        }
        if (text.starts_with("UT")) {
            text.remove_prefix(2);
            return 0;
        }
        if (text.starts_with("Z")) {
            text.remove_prefix(1);
            return 0;
        }
        struct Named {
            const char* name;
            int hours;
        };
        static constexpr Named kNamed[] = { { "EST", -5 }, { "EDT", -4 }, { "CST", -6 }, { "CDT", -5 }, { "MST", -7 },
            { "MDT", -6 }, { "PST", -8 }, { "PDT", -7 } };
        for (const Named& n : kNamed) {
            if (text.starts_with(n.name)) {
                text.remove_prefix(3);
                return n.hours * 3600;
            }
        }
        return readOffset(text, false);
    }

    // Matches one of the names at the start of the text, ignoring ASCII case.
    // Returns its index and advances the text.
    std::optional<int> readName(std::string_view& text, const char* const* names, int count)
    {
        for (int i = 0; i < count; ++i) {
            std::string_view name = names[i];
            if (text.size() >= name.size() && equalsIgnoringAsciiCase(text.substr(0, name.size()), name)) {
                text.remove_prefix(name.size());
                return i;
            }
        }
        return std::nullopt;
    }

    bool isPatternLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
    bool isNumericField(char field, int count)
    {
        switch (field) {
        case 'y':
        case 'd':
        case 'H':
        case 'h':
        case 'k':
        case 'K':
        case 'm':
        case 's':
        case 'S':
            return true;
        case 'M':
        case 'L':
            return count <= 2;
        default:
            return false;
        }
    }

} // namespace

TimeZone TimeZone::local() { return TimeZone(); }

TimeZone TimeZone::utc() { return fixed(0); }

TimeZone TimeZone::fixed(int secondsFromGmt)
{
    TimeZone zone;
    zone.local_ = false;
    zone.offset_ = secondsFromGmt;
    return zone;
}

std::optional<TimeZone> TimeZone::named(std::string_view name)
{
    if (name == "local")
        return local();
    std::string_view rest = name;
    std::optional<int> offset = readZone(rest);
    if (!offset || !rest.empty())
        return std::nullopt;
    return fixed(*offset);
}

int TimeZone::secondsFromGmt(Date date) const
{
    if (!local_)
        return offset_;
    return dateComponents(date, *this).secondsFromGmt;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

DateComponents dateComponents(Date date, const TimeZone& zone)
{
    double seconds = std::isfinite(date.seconds) && std::fabs(date.seconds) < kLimitSeconds ? date.seconds : 0;
    double whole = std::floor(seconds);
    auto t = static_cast<long long>(whole);
    DateComponents c;
    c.fraction = seconds - whole;
    if (zone.isLocal()) {
        // localtime_r need not notice a changed TZ; tzset makes it.
        tzset();
        time_t value = static_cast<time_t>(t);
        struct tm parts;
        if (localtime_r(&value, &parts)) {
            c.year = parts.tm_year + 1900;
            c.month = parts.tm_mon + 1;
            c.day = parts.tm_mday;
            c.hour = parts.tm_hour;
            c.minute = parts.tm_min;
            c.second = parts.tm_sec;
            c.weekday = parts.tm_wday + 1;
            c.secondsFromGmt = static_cast<int>(parts.tm_gmtoff);
            return c;
        }
    }
    int offset = zone.isLocal() ? 0 : zone.secondsFromGmt(date);
    long long shifted = t + offset;
    long long days = floorDiv(shifted, 86400);
    long long secondOfDay = shifted - days * 86400;
    long long year;
    civilFromDays(days, year, c.month, c.day);
    c.year = static_cast<int>(year);
    c.hour = static_cast<int>(secondOfDay / 3600);
    c.minute = static_cast<int>(secondOfDay / 60 % 60);
    c.second = static_cast<int>(secondOfDay % 60);
    long long weekday = (days + 4) % 7; // 1970-01-01 was a Thursday
    c.weekday = static_cast<int>(weekday < 0 ? weekday + 7 : weekday) + 1;
    c.secondsFromGmt = offset;
    return c;
}

std::optional<Date> dateFromComponents(const DateComponents& c, const TimeZone& zone)
{
    if (c.month < 1 || c.month > 12 || c.day < 1 || c.day > daysInMonth(c.year, c.month) || c.hour < 0 || c.hour > 23
        || c.minute < 0 || c.minute > 59 || c.second < 0 || c.second > 59 || !(c.fraction >= 0 && c.fraction < 1)
        || c.year < -1000000 || c.year > 1000000)
        return std::nullopt;
    if (zone.isLocal()) {
        struct tm parts { };
        parts.tm_year = c.year - 1900;
        parts.tm_mon = c.month - 1;
        parts.tm_mday = c.day;
        parts.tm_hour = c.hour;
        parts.tm_min = c.minute;
        parts.tm_sec = c.second;
        parts.tm_isdst = -1;
        time_t t = mktime(&parts);
        if (t == static_cast<time_t>(-1) && !(parts.tm_year == 69 && parts.tm_mon == 11 && parts.tm_mday == 31))
            return std::nullopt;
        return Date { static_cast<double>(t) + c.fraction };
    }
    long long days = daysFromCivil(c.year, c.month, c.day);
    long long t = days * 86400 + c.hour * 3600 + c.minute * 60 + c.second;
    return Date { static_cast<double>(t - zone.secondsFromGmt(Date {})) + c.fraction };
}

DateFormatter::DateFormatter(std::string_view pattern, TimeZone zone)
    : pattern_(pattern)
    , zone_(zone)
{
    std::size_t i = 0;
    auto addLiteral = [this](std::string_view text) {
        if (elements_.empty() || elements_.back().field)
            elements_.push_back(Element {});
        elements_.back().literal.append(text);
    };
    while (i < pattern.size()) {
        char c = pattern[i];
        if (c == '\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                addLiteral("'");
                i += 2;
                continue;
            }
            std::string text;
            std::size_t j = i + 1;
            bool closed = false;
            while (j < pattern.size()) {
                if (pattern[j] == '\'') {
                    if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                        text += '\'';
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                text += pattern[j++];
            }
            if (!closed) {
                valid_ = false;
                return;
            }
            addLiteral(text);
            i = j + 1;
        } else if (isPatternLetter(c)) {
            std::size_t j = i;
            while (j < pattern.size() && pattern[j] == c)
                ++j;
            static constexpr std::string_view kSupported = "yMLdHhkKmsSaEzZ";
            if (kSupported.find(c) == std::string_view::npos) {
                valid_ = false;
                return;
            }
            elements_.push_back(Element { c, static_cast<int>(j - i), {} });
            i = j;
        } else {
            addLiteral(pattern.substr(i, 1));
            ++i;
        }
    }
}

std::string DateFormatter::stringFromDate(Date date) const
{
    if (!valid_ || !std::isfinite(date.seconds))
        return {};
    DateComponents c = dateComponents(date, zone_);
    std::string out;
    auto number = [&out](long long value, int width) {
        if (value < 0) {
            out += '-';
            value = -value;
        }
        std::string digits = std::to_string(value);
        if (static_cast<int>(digits.size()) < width)
            out.append(width - digits.size(), '0');
        out += digits;
    };
    for (const Element& e : elements_) {
        switch (e.field) {
        case 0:
            out += e.literal;
            break;
        case 'y':
            if (e.count == 2)
                number(((c.year % 100) + 100) % 100, 2);
            else
                number(c.year, e.count);
            break;
        case 'M':
        case 'L':
            if (e.count >= 4)
                out += kLongMonths[c.month - 1];
            else if (e.count == 3)
                out += kShortMonths[c.month - 1];
            else
                number(c.month, e.count);
            break;
        case 'd':
            number(c.day, e.count);
            break;
        case 'H':
            number(c.hour, e.count);
            break;
        case 'h':
            number(c.hour % 12 == 0 ? 12 : c.hour % 12, e.count);
            break;
        case 'k':
            number(c.hour == 0 ? 24 : c.hour, e.count);
            break;
        case 'K':
            number(c.hour % 12, e.count);
            break;
        case 'm':
            number(c.minute, e.count);
            break;
        case 's':
            number(c.second, e.count);
            break;
        case 'S': {
            // Truncated, never rounded up into the next second.
            double scaled = std::floor(c.fraction * std::pow(10.0, std::min(e.count, 9)));
            number(static_cast<long long>(scaled), std::min(e.count, 9));
            if (e.count > 9)
                out.append(e.count - 9, '0');
            break;
        }
        case 'a':
            out += c.hour < 12 ? "AM" : "PM";
            break;
        case 'E':
            out += e.count >= 4 ? kLongWeekdays[c.weekday - 1] : kShortWeekdays[c.weekday - 1];
            break;
        case 'z':
            if (c.secondsFromGmt == 0)
                out += "GMT";
            else
                out += "GMT" + zoneOffsetText(c.secondsFromGmt, true, e.count < 4);
            break;
        case 'Z':
            if (e.count == 4)
                out += c.secondsFromGmt == 0 ? std::string("GMT")
                                             : "GMT" + zoneOffsetText(c.secondsFromGmt, true, false);
            else if (e.count >= 5)
                out += c.secondsFromGmt == 0 ? std::string("Z") : zoneOffsetText(c.secondsFromGmt, true, false);
            else
                out += zoneOffsetText(c.secondsFromGmt, false, false);
            break;
        default:
            break;
        }
    }
    return out;
}

std::optional<Date> DateFormatter::dateFromString(std::string_view text) const
{
    if (!valid_)
        return std::nullopt;
    DateComponents c;
    std::optional<int> hour24, hour12, hour24k, hour11;
    std::optional<bool> pm;
    std::optional<int> zoneOffset;
    bool twoDigitYear = false;

    for (std::size_t k = 0; k < elements_.size(); ++k) {
        const Element& e = elements_[k];
        if (!e.field) {
            if (!text.starts_with(e.literal))
                return std::nullopt;
            text.remove_prefix(e.literal.size());
            continue;
        }
        if (isNumericField(e.field, e.count)) {
            bool abutting = k + 1 < elements_.size() && elements_[k + 1].field
                && isNumericField(elements_[k + 1].field, elements_[k + 1].count);
            std::size_t minDigits = 1, maxDigits = 2;
            if (e.field == 'y')
                maxDigits = std::max(e.count, 4);
            if ((e.field == 'y' && e.count == 2) || e.field == 'S' || abutting)
                minDigits = maxDigits = static_cast<std::size_t>(e.count);
            else if (e.count > 2)
                maxDigits = std::max<std::size_t>(maxDigits, static_cast<std::size_t>(e.count));
            std::size_t n = 0;
            while (n < text.size() && n < maxDigits && text[n] >= '0' && text[n] <= '9')
                ++n;
            if (n < minDigits)
                return std::nullopt;
            long long value = 0;
            for (std::size_t i = 0; i < n; ++i)
                value = value * 10 + (text[i] - '0');
            text.remove_prefix(n);
            switch (e.field) {
            case 'y':
                c.year = static_cast<int>(value);
                twoDigitYear = e.count == 2;
                break;
            case 'M':
            case 'L':
                c.month = static_cast<int>(value);
                break;
            case 'd':
                c.day = static_cast<int>(value);
                break;
            case 'H':
                hour24 = static_cast<int>(value);
                break;
            case 'h':
                hour12 = static_cast<int>(value);
                break;
            case 'k':
                hour24k = static_cast<int>(value);
                break;
            case 'K':
                hour11 = static_cast<int>(value);
                break;
            case 'm':
                c.minute = static_cast<int>(value);
                break;
            case 's':
                c.second = static_cast<int>(value);
                break;
            case 'S':
                c.fraction = static_cast<double>(value) / std::pow(10.0, static_cast<double>(n));
                break;
            default:
                break;
            }
            continue;
        }
        switch (e.field) {
        case 'M':
        case 'L': {
            std::optional<int> month
                = e.count >= 4 ? readName(text, kLongMonths, 12) : readName(text, kShortMonths, 12);
            if (!month)
                return std::nullopt;
            c.month = *month + 1;
            break;
        }
        case 'E': {
            std::optional<int> day
                = e.count >= 4 ? readName(text, kLongWeekdays, 7) : readName(text, kShortWeekdays, 7);
            if (!day)
                return std::nullopt;
            break;
        }
        case 'a': {
            static constexpr const char* kMarkers[] = { "AM", "PM" };
            std::optional<int> marker = readName(text, kMarkers, 2);
            if (!marker)
                return std::nullopt;
            pm = *marker == 1;
            break;
        }
        case 'z':
        case 'Z':
            zoneOffset = readZone(text);
            if (!zoneOffset)
                return std::nullopt;
            break;
        default:
            return std::nullopt;
        }
    }
    if (!text.empty())
        return std::nullopt;

    if (twoDigitYear) {
        int now = currentYear();
        int candidate = now - now % 100 + c.year;
        if (candidate > now + 20)
            candidate -= 100;
        else if (candidate <= now - 80)
            candidate += 100;
        c.year = candidate;
    }
    if (hour24) {
        c.hour = *hour24;
    } else if (hour24k) {
        if (*hour24k < 1 || *hour24k > 24)
            return std::nullopt;
        c.hour = *hour24k % 24;
    } else if (hour12) {
        if (*hour12 < 1 || *hour12 > 12)
            return std::nullopt;
        c.hour = *hour12 % 12 + (pm.value_or(false) ? 12 : 0);
    } else if (hour11) {
        if (*hour11 > 11)
            return std::nullopt;
        c.hour = *hour11 + (pm.value_or(false) ? 12 : 0);
    } else if (pm.value_or(false)) {
        c.hour = 12;
    }
    return dateFromComponents(c, zoneOffset ? TimeZone::fixed(*zoneOffset) : zone_);
}

namespace {

    bool readDigits(std::string_view token, std::size_t minDigits, std::size_t maxDigits, int& value)
    {
        if (token.size() < minDigits || token.size() > maxDigits)
            return false;
        value = 0;
        for (char ch : token) {
            if (ch < '0' || ch > '9')
                return false;
            value = value * 10 + (ch - '0');
        }
        return true;
    }

    bool readMonthName(std::string_view token, int& month)
    {
        for (int i = 0; i < 12; ++i) {
            if (equalsIgnoringAsciiCase(token, kShortMonths[i])) {
                month = i + 1;
                return true;
            }
        }
        return false;
    }

    bool isWeekdayName(std::string_view token)
    {
        for (int i = 0; i < 7; ++i) {
            if (equalsIgnoringAsciiCase(token, kShortWeekdays[i]) || equalsIgnoringAsciiCase(token, kLongWeekdays[i]))
                return true;
        }
        return false;
    }

    // "HH:MM:SS", or "HH:MM" when seconds are optional.
    bool readTime(std::string_view token, bool secondsOptional, DateComponents& c)
    {
        std::vector<std::string> parts = split(token, ":");
        if (parts.size() != 3 && !(secondsOptional && parts.size() == 2))
            return false;
        if (!readDigits(parts[0], 1, 2, c.hour) || !readDigits(parts[1], 2, 2, c.minute))
            return false;
        c.second = 0;
        return parts.size() == 2 || readDigits(parts[2], 2, 2, c.second);
    }

} // namespace

std::optional<Date> parseHttpDate(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t start = text.find_first_not_of(" \t", pos);
        if (start == std::string_view::npos)
            break;
        std::size_t end = text.find_first_of(" \t", start);
        if (end == std::string_view::npos)
            end = text.size();
        tokens.push_back(text.substr(start, end - start));
        pos = end;
    }
    if (tokens.empty())
        return std::nullopt;

    DateComponents c;
    int offset = 0;
    auto readZoneToken = [&offset](std::string_view token) {
        std::optional<int> zone = readZone(token);
        if (!zone || !token.empty())
            return false;
        offset = *zone;
        return true;
    };

    std::size_t i = 0;
    if (tokens[0].ends_with(",")) {
        if (!isWeekdayName(tokens[0].substr(0, tokens[0].size() - 1)))
            return std::nullopt;
        i = 1;
    } else if (isWeekdayName(tokens[0])) {
        // asctime: "Sun Nov  6 08:49:37 1994"
        if (tokens.size() != 5 || !readMonthName(tokens[1], c.month) || !readDigits(tokens[2], 1, 2, c.day)
            || !readTime(tokens[3], false, c) || !readDigits(tokens[4], 4, 4, c.year))
            return std::nullopt;
        return dateFromComponents(c, TimeZone::utc());
    }

    std::size_t left = tokens.size() - i;
    if (left == 3 && tokens[i].find('-') != std::string_view::npos) {
        // RFC 850: "06-Nov-94 08:49:37 GMT"
        std::vector<std::string> parts = split(tokens[i], "-");
        if (parts.size() != 3 || !readDigits(parts[0], 1, 2, c.day) || !readMonthName(parts[1], c.month))
            return std::nullopt;
        if (readDigits(parts[2], 2, 2, c.year)) {
            // RFC 7231: a two-digit year more than 50 years ahead is in the past century.
            int now = currentYear();
            c.year += now - now % 100;
            if (c.year > now + 50)
                c.year -= 100;
        } else if (!readDigits(parts[2], 4, 4, c.year)) {
            return std::nullopt;
        }
        if (!readTime(tokens[i + 1], false, c) || !readZoneToken(tokens[i + 2]))
            return std::nullopt;
        return dateFromComponents(c, TimeZone::fixed(offset));
    }
    // RFC 1123: "06 Nov 1994 08:49:37 GMT", the weekday and the seconds optional.
    if (left != 5 || !readDigits(tokens[i], 1, 2, c.day) || !readMonthName(tokens[i + 1], c.month)
        || !readDigits(tokens[i + 2], 4, 4, c.year) || !readTime(tokens[i + 3], true, c)
        || !readZoneToken(tokens[i + 4]))
        return std::nullopt;
    return dateFromComponents(c, TimeZone::fixed(offset));
}

std::string formatHttpDate(Date date)
{
    DateComponents c = dateComponents(date, TimeZone::utc());
    return format("%s, %02d %s %04d %02d:%02d:%02d GMT", kShortWeekdays[c.weekday - 1], c.day,
        kShortMonths[c.month - 1], c.year, c.hour, c.minute, c.second);
}

} // namespace platform
