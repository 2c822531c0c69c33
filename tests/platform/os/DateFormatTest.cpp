#include "platform/os/DateFormat.h"

#include "tests/platform/os/TextTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;
using textsupport::ScopedTimeZone;

namespace {

// GNU date's rendering of a moment in a zone, as the reference.
std::string dateTool(const char* zone, long long seconds, const std::string& strftimeFormat)
{
    std::string quoted;
    for (char c : strftimeFormat)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    std::optional<std::string> out = textsupport::runCommand(
        std::string("LC_ALL=C TZ=") + zone + " date -d @" + std::to_string(seconds) + " '+" + quoted + "'");
    EXPECT_TRUE(out) << "date failed";
    return textsupport::withoutTrailingNewline(out.value_or(""));
}

// GNU date's reading of a local time text in a zone, in seconds since 1970.
long long dateToolSeconds(const char* zone, const std::string& localText)
{
    std::optional<std::string> out
        = textsupport::runCommand(std::string("LC_ALL=C TZ=") + zone + " date -d '" + localText + "' +%s");
    EXPECT_TRUE(out) << "date failed";
    return std::stoll(out.value_or("0"));
}

struct PatternCase {
    const char* pattern;
    const char* strftimeFormat;
    bool roundTrips; // the pattern holds the whole moment down to the minute or second
};

const std::vector<PatternCase> kPatterns = {
    { "yyyy-MM-dd HH:mm:ss", "%Y-%m-%d %H:%M:%S", true },
    { "yyyy-MM-dd", "%Y-%m-%d", false },
    { "yyyy", "%Y", false },
    { "MM", "%m", false },
    { "dd", "%d", false },
    { "MM\xE6\x9C\x88"
      "dd\xE6\x97\xA5 HH:mm",
        "%m\xE6\x9C\x88%d\xE6\x97\xA5 %H:%M", false }, // MM月dd日 HH:mm
    { "'\xE4\xBB\x8A\xE5\xA4\xA9' HH:mm", "\xE4\xBB\x8A\xE5\xA4\xA9 %H:%M", false }, // '今天' HH:mm
    { "'\xE6\x98\xA8\xE5\xA4\xA9' HH:mm:ss", "\xE6\x98\xA8\xE5\xA4\xA9 %H:%M:%S", false }, // '昨天' HH:mm:ss
    { "MM-dd HH:mm", "%m-%d %H:%M", false },
    { "yy-MM-dd HH:mm", "%y-%m-%d %H:%M", true },
    { "yy-MM-dd HH:mm:ss", "%y-%m-%d %H:%M:%S", true },
    { "'\xE5\x8D\xB3\xE5\xB0\x86\xE5\x9C\xA8 'yyyy-MM-dd HH:mm' \xE7\x83\xAD\xE6\x92\xAD'",
        "\xE5\x8D\xB3\xE5\xB0\x86\xE5\x9C\xA8 %Y-%m-%d %H:%M \xE7\x83\xAD\xE6\x92\xAD", true }, // '即将在 '... ' 热播'
    { "EEE, dd MMM yyyy HH:mm:ss", "%a, %d %b %Y %H:%M:%S", true },
    { "EEEE d MMMM y h:mm a", "%A %-d %B %Y %-I:%M %p", true },
    { "yyyyMMddHHmmss", "%Y%m%d%H%M%S", true },
    { "HH:mm 'o''clock' ''", "%H:%M o'clock '", false },
};

// Moments chosen around the edges: a new year in one zone but not the other,
// a leap day, the epoch, midday, and a time before 1970.
const std::vector<long long> kMoments = { 1700000000, 1704038400 - 1, 1709208000, 0, 1718712345, -86400 * 400 + 7 };

void checkPatternsInZone(const char* zone)
{
    ScopedTimeZone tz(zone);
    for (const PatternCase& p : kPatterns) {
        DateFormatter formatter(p.pattern);
        ASSERT_TRUE(formatter.isValid()) << p.pattern;
        for (long long moment : kMoments) {
            std::string text = formatter.stringFromDate(Date { static_cast<double>(moment) });
            EXPECT_EQ(text, dateTool(zone, moment, p.strftimeFormat)) << p.pattern << " @" << moment;
            std::optional<Date> back = formatter.dateFromString(text);
            std::string pattern = p.pattern;
            bool monthAndDayWithoutYear = pattern.find('y') == std::string::npos
                && pattern.find('M') != std::string::npos && pattern.find('d') != std::string::npos;
            if (monthAndDayWithoutYear && dateComponents(Date { static_cast<double>(moment) }).month == 2
                && dateComponents(Date { static_cast<double>(moment) }).day == 29) {
                EXPECT_FALSE(back) << "a 29 February without a year falls in 1970: " << text;
                continue;
            }
            ASSERT_TRUE(back) << p.pattern << " could not read back \"" << text << "\"";
            if (p.roundTrips) {
                long long truncated
                    = moment - (std::string(p.pattern).find('s') == std::string::npos ? ((moment % 60) + 60) % 60 : 0);
                if (std::string(p.pattern).starts_with("yy-") && moment < 0)
                    continue; // two-digit years land near today, not in 1968
                EXPECT_EQ(back->seconds, static_cast<double>(truncated)) << p.pattern << " \"" << text << "\"";
            }
        }
    }
    // A date alone is the local midnight of that day.
    std::optional<Date> day = DateFormatter("yyyy-MM-dd").dateFromString("2024-02-29");
    ASSERT_TRUE(day);
    EXPECT_EQ(day->seconds, static_cast<double>(dateToolSeconds(zone, "2024-02-29 00:00:00")));
    std::optional<Date> full = DateFormatter("yyyy-MM-dd HH:mm:ss").dateFromString("1990-01-01 00:00:00");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->seconds, static_cast<double>(dateToolSeconds(zone, "1990-01-01 00:00:00")));
}

TEST(DateFormat, PatternsInShanghai) { checkPatternsInZone("Asia/Shanghai"); }

TEST(DateFormat, PatternsInUtc) { checkPatternsInZone("UTC"); }

TEST(DateFormat, PatternsFollowAChangedTimeZone)
{
    DateFormatter formatter("yyyy-MM-dd HH:mm");
    std::string inShanghai, inUtc;
    {
        ScopedTimeZone tz("Asia/Shanghai");
        inShanghai = formatter.stringFromDate(Date { 1700000000 });
    }
    {
        ScopedTimeZone tz("UTC");
        inUtc = formatter.stringFromDate(Date { 1700000000 });
    }
    EXPECT_EQ(inShanghai, "2023-11-15 06:13");
    EXPECT_EQ(inUtc, "2023-11-14 22:13");
}

TEST(DateFormat, StrictParserRefusesWhatIsNotADate)
{
    ScopedTimeZone tz("Asia/Shanghai");
    DateFormatter day("yyyy-MM-dd");
    for (const char* text :
        { "2024-13-01", "2024-00-10", "2024-02-30", "2023-02-29", "2024-04-31", "2024-01-00", "2024-01-01x",
            "2024-01-01 ", " 2024-01-01", "2024/01/01", "2024-01", "", "-2024-01-01", "2024-1x-01", "20240-01-01" })
        EXPECT_FALSE(day.dateFromString(text)) << "accepted \"" << text << "\"";
    EXPECT_TRUE(day.dateFromString("2024-02-29"));
    EXPECT_TRUE(day.dateFromString("2024-1-5")) << "short numbers are read when a separator follows";

    DateFormatter full("yyyy-MM-dd HH:mm:ss");
    for (const char* text : { "2024-01-01 24:00:00", "2024-01-01 23:60:00", "2024-01-01 23:59:60", "2024-01-01 23:59",
             "2024-01-01T23:59:59", "2024-01-01 23:59:59.5" })
        EXPECT_FALSE(full.dateFromString(text)) << "accepted \"" << text << "\"";

    DateFormatter abutting("yyyyMMdd");
    EXPECT_TRUE(abutting.dateFromString("20240229"));
    EXPECT_FALSE(abutting.dateFromString("2024229"));
    EXPECT_FALSE(abutting.dateFromString("20240230"));

    DateFormatter literal("'\xE4\xBB\x8A\xE5\xA4\xA9' HH:mm");
    EXPECT_TRUE(literal.dateFromString("\xE4\xBB\x8A\xE5\xA4\xA9 08:05"));
    EXPECT_FALSE(literal.dateFromString("\xE6\x98\xA8\xE5\xA4\xA9 08:05"));

    DateFormatter twelve("hh:mm a");
    EXPECT_FALSE(twelve.dateFromString("13:00 PM"));
    EXPECT_FALSE(twelve.dateFromString("00:10 AM"));
    EXPECT_FALSE(twelve.dateFromString("10:00 XM"));
}

TEST(DateFormat, FieldsLeftOutStartFrom1970)
{
    ScopedTimeZone tz("UTC");
    EXPECT_EQ(DateFormatter("HH:mm").dateFromString("08:05")->seconds, 8 * 3600 + 5 * 60);
    EXPECT_EQ(DateFormatter("MM").dateFromString("03")->seconds, (31 + 28) * 86400);
    EXPECT_EQ(DateFormatter("MM-dd").dateFromString("03-01")->seconds, (31 + 28) * 86400);
    EXPECT_FALSE(DateFormatter("MM-dd").dateFromString("02-29")) << "1970 was not a leap year";
    EXPECT_EQ(DateFormatter("yyyy").dateFromString("1971")->seconds, 365 * 86400);
    EXPECT_EQ(DateFormatter("hh:mm a").dateFromString("12:30 AM")->seconds, 30 * 60);
    EXPECT_EQ(DateFormatter("hh:mm a").dateFromString("12:30 pm")->seconds, 12 * 3600 + 30 * 60);
    EXPECT_EQ(DateFormatter("HH:mm:ss.SSS").dateFromString("00:00:01.250")->seconds, 1.25);
    EXPECT_EQ(DateFormatter("HH:mm:ss.SSS").stringFromDate(Date { 1.9999 }), "00:00:01.999");
}

TEST(DateFormat, TwoDigitYearsLandNearToday)
{
    ScopedTimeZone tz("UTC");
    int thisYear = dateComponents(Date::now(), TimeZone::utc()).year;
    DateFormatter formatter("yy-MM-dd");
    for (int offset : { -79, -50, -1, 0, 1, 19 }) {
        int year = thisYear + offset;
        char text[16];
        std::snprintf(text, sizeof text, "%02d-06-15", year % 100);
        std::optional<Date> parsed = formatter.dateFromString(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(dateComponents(*parsed, TimeZone::utc()).year, year) << text;
    }
    EXPECT_FALSE(formatter.dateFromString("2024-06-15")) << "yy takes exactly two digits";
}

TEST(DateFormat, FixedZonesAndZoneFields)
{
    ScopedTimeZone tz("Asia/Shanghai");
    Date moment { 1699999980 }; // 2023-11-14 22:13:00 UTC
    DateFormatter india("yyyy-MM-dd HH:mm Z", TimeZone::fixed(5 * 3600 + 1800));
    EXPECT_EQ(india.stringFromDate(moment), "2023-11-15 03:43 +0530");
    EXPECT_EQ(india.dateFromString("2023-11-15 03:43 +0530")->seconds, moment.seconds);
    // A zone in the text wins over the formatter's zone.
    EXPECT_EQ(india.dateFromString("2023-11-14 22:13 +0000")->seconds, moment.seconds);
    EXPECT_EQ(india.dateFromString("2023-11-14 17:13 -0500")->seconds, moment.seconds);

    DateFormatter local("yyyy-MM-dd HH:mm z");
    EXPECT_EQ(local.stringFromDate(moment), "2023-11-15 06:13 GMT+8");
    EXPECT_EQ(local.dateFromString("2023-11-15 06:13 GMT+8")->seconds, moment.seconds);
    EXPECT_EQ(local.dateFromString("2023-11-14 22:13 GMT")->seconds, moment.seconds);
    EXPECT_EQ(local.dateFromString("2023-11-15 06:13 GMT+08:00")->seconds, moment.seconds);
    EXPECT_FALSE(local.dateFromString("2023-11-15 06:13 Mars"));
    EXPECT_EQ(DateFormatter("zzzz ZZZZZ", TimeZone::fixed(-9000)).stringFromDate(moment), "GMT-02:30 -02:30");
    EXPECT_EQ(DateFormatter("z ZZZZZ", TimeZone::utc()).stringFromDate(moment), "GMT Z");

    // The stored-date formatter of the database layer: GMT whatever the device zone.
    DateFormatter storeable("yyyy-MM-dd HH:mm:ss", TimeZone::utc());
    EXPECT_EQ(storeable.stringFromDate(moment), "2023-11-14 22:13:00");

    EXPECT_EQ(TimeZone::named("GMT+8"), TimeZone::fixed(8 * 3600));
    EXPECT_EQ(TimeZone::named("-0530"), TimeZone::fixed(-(5 * 3600 + 1800)));
    EXPECT_EQ(TimeZone::named("UTC"), TimeZone::utc());
    EXPECT_TRUE(TimeZone::named("local")->isLocal());
    EXPECT_FALSE(TimeZone::named("Asia/Nowhere"));
    EXPECT_FALSE(TimeZone::named("+2500"));
    EXPECT_EQ(TimeZone::local().secondsFromGmt(moment), 8 * 3600);
}

TEST(DateFormat, InvalidPatternsFormatNothing)
{
    for (const char* pattern : { "YYYY-MM-dd", "yyyy-MM-dd'T", "Q", "yyyy-MM-dd HH:mm:ss VV" }) {
        DateFormatter formatter(pattern);
        EXPECT_FALSE(formatter.isValid()) << pattern;
        EXPECT_EQ(formatter.stringFromDate(Date { 0 }), "") << pattern;
        EXPECT_FALSE(formatter.dateFromString("2024-01-01")) << pattern;
    }
    DateFormatter formatter("yyyy");
    EXPECT_EQ(formatter.stringFromDate(Date { std::numeric_limits<double>::quiet_NaN() }), "");
    EXPECT_EQ(formatter.stringFromDate(Date { std::numeric_limits<double>::infinity() }), "");
}

TEST(DateFormat, CalendarComponents)
{
    ScopedTimeZone tz("Asia/Shanghai");
    for (long long moment : kMoments) {
        DateComponents c = dateComponents(Date { static_cast<double>(moment) + 0.25 });
        EXPECT_EQ(std::to_string(c.year) + "-" + std::to_string(c.month) + "-" + std::to_string(c.day) + " "
                + std::to_string(c.hour) + ":" + std::to_string(c.minute) + ":" + std::to_string(c.second) + " w"
                + std::to_string(c.weekday),
            dateTool("Asia/Shanghai", moment, "%Y-%-m-%-d %-H:%-M:%-S w")
                + std::to_string(std::stoi(dateTool("Asia/Shanghai", moment, "%w")) + 1));
        EXPECT_DOUBLE_EQ(c.fraction, 0.25);
        EXPECT_EQ(dateFromComponents(c)->seconds, static_cast<double>(moment) + 0.25);
        DateComponents u = dateComponents(Date { static_cast<double>(moment) }, TimeZone::utc());
        EXPECT_EQ(u.hour, std::stoi(dateTool("UTC", moment, "%-H")));
        EXPECT_EQ(u.weekday, std::stoi(dateTool("UTC", moment, "%w")) + 1);
        EXPECT_EQ(dateFromComponents(u, TimeZone::utc())->seconds, static_cast<double>(moment));
    }
    DateComponents bad;
    bad.year = 2024;
    bad.month = 2;
    bad.day = 30;
    EXPECT_FALSE(dateFromComponents(bad));
    bad.day = 29;
    bad.hour = 24;
    EXPECT_FALSE(dateFromComponents(bad, TimeZone::utc()));
    EXPECT_EQ(daysInMonth(1900, 2), 28);
    EXPECT_EQ(daysInMonth(2000, 2), 29);
    EXPECT_EQ(daysInMonth(2024, 13), 0);
}

TEST(DateFormat, ReadsTheThreeHttpDateForms)
{
    ScopedTimeZone tz("Asia/Shanghai"); // HTTP dates are GMT whatever the device zone
    for (const char* text : { "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
             "Sun Nov  6 08:49:37 1994", "06 Nov 1994 08:49:37 GMT", "Sun, 6 Nov 1994 08:49:37 GMT",
             "Sun, 06 Nov 1994 08:49:37 UTC", "Sun, 06 Nov 1994 16:49:37 +0800", "Sun, 06 Nov 1994 03:49:37 EST",
             "Sunday, 06-Nov-1994 08:49:37 GMT", "  Sun,  06 Nov 1994 08:49:37 GMT " }) {
        std::optional<Date> date = parseHttpDate(text);
        ASSERT_TRUE(date) << text;
        EXPECT_EQ(date->seconds, 784111777) << text;
    }
    // Without seconds, as some servers write their Expires headers.
    EXPECT_EQ(parseHttpDate("Sun, 06 Nov 1994 08:49 GMT")->seconds, 784111740);
    EXPECT_EQ(parseHttpDate("06 Nov 1994 08:49 GMT")->seconds, 784111740);

    for (const char* text :
        { "", "garbage", "Sun, 06 Nov 1994 08:49:37", "Sun, 31 Feb 1994 08:49:37 GMT", "Sun, 06 Nov 1994 25:49:37 GMT",
            "Sun, 06 Nov 1994 08:61:37 GMT", "Sun, 06 Foo 1994 08:49:37 GMT", "Xyz, 06 Nov 1994 08:49:37 GMT",
            "Sun, 06 Nov 1994 08:49:37 GMT extra", "Sun Nov  6 08:49:37", "Sun Nov 32 08:49:37 1994",
            "Sunday, 06-Nov-94 08:49:37", "Sun, 06 Nov 94 08:49:37 GMT", "Sun, 06 Nov 1994 8:49:3 GMT", "-1" })
        EXPECT_FALSE(parseHttpDate(text)) << "accepted \"" << text << "\"";
}

TEST(DateFormat, WritesHttpDatesInGmt)
{
    ScopedTimeZone tz("Asia/Shanghai");
    EXPECT_EQ(formatHttpDate(Date { 784111777 }), "Sun, 06 Nov 1994 08:49:37 GMT");
    for (long long moment : kMoments) {
        std::string text = formatHttpDate(Date { static_cast<double>(moment) + 0.75 });
        EXPECT_EQ(text, dateTool("UTC", moment, "%a, %d %b %Y %H:%M:%S GMT"));
        EXPECT_EQ(parseHttpDate(text)->seconds, static_cast<double>(moment));
    }
    // The formatter's pattern for HTTP dates writes the same text.
    DateFormatter pattern("EEE, dd MMM yyyy HH:mm:ss z", TimeZone::utc());
    EXPECT_EQ(pattern.stringFromDate(Date { 784111777 }), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(pattern.dateFromString("Sun, 06 Nov 1994 08:49:37 GMT")->seconds, 784111777);
}

} // namespace
