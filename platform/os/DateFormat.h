#pragma once

#include "platform/os/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The zone a date is shown in: the device's zone (the TZ environment
// variable, read again at every use, so tests can change it), or a fixed
// offset from GMT.
class TimeZone final {
public:
    static TimeZone local();
    static TimeZone utc();
    static TimeZone fixed(int secondsFromGmt);
    // "local", "UTC", "GMT", "UT", "Z", "GMT+8", "GMT-05:30", "UTC+0800",
    // "+08:00", "-0500", "+08"; nullopt for anything else.
    static std::optional<TimeZone> named(std::string_view name);

    bool isLocal() const { return local_; }
    // Offset from GMT in force at that moment (daylight saving included).
    int secondsFromGmt(Date date) const;

    bool operator==(const TimeZone&) const = default;

private:
    bool local_ = true;
    int offset_ = 0;
};

// Gregorian calendar fields of a moment in a zone. weekday: 1 = Sunday ... 7 = Saturday.
struct DateComponents {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    double fraction = 0; // of a second, in [0, 1)
    int weekday = 5;
    int secondsFromGmt = 0;
};

// A non-finite date reads as 1970-01-01 00:00:00 UTC.
DateComponents dateComponents(Date date, const TimeZone& zone = TimeZone::local());
// nullopt when a field is out of range (month 13, February 30, hour 24, ...).
// weekday and secondsFromGmt are ignored. A local time that does not exist
// (skipped by a daylight-saving change) moves forward as the C library does.
std::optional<Date> dateFromComponents(const DateComponents& components, const TimeZone& zone = TimeZone::local());

bool isLeapYear(int year);
int daysInMonth(int year, int month);

// Formats and strictly parses dates by a pattern. Letters are fields, other
// characters are literal text (UTF-8 included), text in single quotes is
// literal and "''" is one quote.
//
//   y  year (yy: two digits; yyyy: at least four)   M, L  month (MMM "Jan", MMMM "January")
//   d  day    H  hour 0-23   h  hour 1-12   k  hour 1-24   K  hour 0-11
//   m  minute   s  second   S  fraction of a second (SSS: milliseconds)
//   a  "AM"/"PM"   E  weekday (EEE "Sun", EEEE "Sunday")
//   z  zone "GMT", "GMT+8", "GMT+5:30" (zzzz "GMT+08:00")
//   Z  zone "+0800" (ZZZZ "GMT+08:00", ZZZZZ "+08:00" or "Z")
//
// Month and weekday names are English, as for the HTTP formats. Any other
// letter makes the pattern invalid: it then formats as "" and parses nothing.
//
// Parsing is strict: the whole text must match, fields must be in range
// (no 2024-13-01, no 2024-02-30) and literals must match exactly. Number
// fields take one or two digits ("yy" exactly two, years up to four) unless
// another number field follows directly, as in "yyyyMMdd", where each takes
// exactly its pattern width. A two-digit year lands within 80 years before
// and 20 years after the current year. Fields missing from the pattern take
// 1970-01-01 00:00:00 (so "02-29" read with "MM-dd" is refused: 1970 was
// not a leap year). A zone in the text overrides the formatter's zone.
class DateFormatter final {
public:
    explicit DateFormatter(std::string_view pattern, TimeZone zone = TimeZone::local());

    bool isValid() const { return valid_; }
    const std::string& pattern() const { return pattern_; }
    const TimeZone& timeZone() const { return zone_; }
    void setTimeZone(TimeZone zone) { zone_ = zone; }

    std::string stringFromDate(Date date) const;
    std::optional<Date> dateFromString(std::string_view text) const;

private:
    struct Element {
        char field = 0; // 0 for literal text
        int count = 0;
        std::string literal;
    };
    std::string pattern_;
    TimeZone zone_;
    std::vector<Element> elements_;
    bool valid_ = true;
};

// HTTP dates (RFC 7231 section 7.1.1.1): the preferred form
// "Sun, 06 Nov 1994 08:49:37 GMT" (also without the weekday or the seconds),
// the obsolete RFC 850 form "Sunday, 06-Nov-94 08:49:37 GMT" and the asctime
// form "Sun Nov  6 08:49:37 1994". nullopt when the text is none of them.
std::optional<Date> parseHttpDate(std::string_view text);
// "Sun, 06 Nov 1994 08:49:37 GMT", always in GMT.
std::string formatHttpDate(Date date);

} // namespace platform
