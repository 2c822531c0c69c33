#include "core/util/DateHelper.h"
#include "tests/core/util/CoreTestSupport.h"

#include "platform/os/DateFormat.h"

#include <gtest/gtest.h>

using core::DateHelper;
using platform::Date;

namespace {

class RelativeTime : public ::testing::Test {
protected:
    void TearDown() override { DateHelper::setDateNow(std::nullopt); }

    // A moment given as a wall-clock time in the device's zone.
    static Date local(int year, int month, int day, int hour, int minute, int second = 0)
    {
        platform::DateComponents parts;
        parts.year = year;
        parts.month = month;
        parts.day = day;
        parts.hour = hour;
        parts.minute = minute;
        parts.second = second;
        auto date = platform::dateFromComponents(parts);
        EXPECT_TRUE(date);
        return date.value_or(Date {});
    }
};

TEST_F(RelativeTime, MinutesAndHoursCountFromTheReferenceDate)
{
    coretest::ScopedTimeZone zone("UTC");
    const Date now = Date::fromSeconds(1718445600); // 2024-06-15 10:00:00 UTC
    DateHelper::setDateNow(now);
    EXPECT_EQ(DateHelper::stringWithDate(std::nullopt), "未知时间");
    EXPECT_EQ(DateHelper::stringWithDate(now.addingSeconds(-30)), "刚刚");
    EXPECT_EQ(DateHelper::stringWithDate(now.addingSeconds(-59)), "刚刚");
    EXPECT_EQ(DateHelper::stringWithDate(now.addingSeconds(500)), "刚刚");
    EXPECT_EQ(DateHelper::stringWithDate(now.addingSeconds(-60)), "1分钟前");
    EXPECT_EQ(DateHelper::stringWithDate(now.addingSeconds(-3599)), "59分钟前");
    EXPECT_EQ(DateHelper::stringWithDate(now.addingSeconds(-3600)), "1小时前");
    EXPECT_EQ(DateHelper::stringWithDate(now.addingSeconds(-14399)), "3小时前");
    // Whole seconds count: the fraction of the reference is dropped, so 59.9
    // seconds are still under a minute.
    DateHelper::setDateNow(now.addingSeconds(0.9));
    EXPECT_EQ(DateHelper::stringWithDate(now.addingSeconds(-59)), "刚刚");
    EXPECT_EQ(DateHelper::stringWithDate(now.addingSeconds(-60)), "1分钟前");
}

TEST_F(RelativeTime, OlderDatesNameTheirCalendarDay)
{
    coretest::ScopedTimeZone zone("UTC");
    DateHelper::setDateNow(local(2024, 6, 15, 10, 0));
    EXPECT_EQ(DateHelper::stringWithDate(local(2024, 6, 15, 5, 0)), "今天 05:00");
    EXPECT_EQ(DateHelper::stringWithDate(local(2024, 6, 15, 0, 1)), "今天 00:01");
    EXPECT_EQ(DateHelper::stringWithDate(local(2024, 6, 14, 23, 59)), "昨天 23:59");
    EXPECT_EQ(DateHelper::stringWithDate(local(2024, 6, 13, 8, 5)), "前天 08:05");
    EXPECT_EQ(DateHelper::stringWithDate(local(2024, 6, 12, 23, 0)), "06-12 23:00");
    EXPECT_EQ(DateHelper::stringWithDate(local(2024, 1, 2, 8, 0)), "01-02 08:00");
    EXPECT_EQ(DateHelper::stringWithDate(local(2023, 12, 31, 22, 30)), "23-12-31 22:30");
    EXPECT_EQ(DateHelper::stringWithDate(local(2019, 7, 1, 9, 15)), "19-07-01 09:15");
}

TEST_F(RelativeTime, DaysAreTheDevicesLocalDaysNotUtcDays)
{
    coretest::ScopedTimeZone zone("Asia/Shanghai");
    // 12:00 and 07:00 of one local day fall on two UTC days (04:00 and 23:00 the day before).
    DateHelper::setDateNow(local(2024, 6, 15, 12, 0));
    EXPECT_EQ(DateHelper::stringWithDate(local(2024, 6, 15, 7, 0)), "今天 07:00");
    EXPECT_EQ(DateHelper::stringWithDate(local(2024, 6, 14, 23, 30)), "昨天 23:30");
    EXPECT_EQ(DateHelper::stringWithDate(local(2024, 6, 13, 9, 0)), "前天 09:00");
    // Shortly after local midnight, the evening before is yesterday even though
    // both moments are on the same UTC day.
    DateHelper::setDateNow(local(2024, 6, 15, 0, 30));
    EXPECT_EQ(DateHelper::stringWithDate(local(2024, 6, 14, 19, 0)), "昨天 19:00");
    // The new year is counted in the device's zone as well.
    DateHelper::setDateNow(local(2024, 1, 5, 9, 0));
    EXPECT_EQ(DateHelper::stringWithDate(local(2023, 12, 30, 9, 0)), "23-12-30 09:00");
}

TEST_F(RelativeTime, WithoutAReferenceTheClockIsThePresent)
{
    DateHelper::setDateNow(std::nullopt);
    EXPECT_FALSE(DateHelper::dateNow());
    EXPECT_EQ(DateHelper::stringWithDate(Date::now().addingSeconds(-125)), "2分钟前");
    EXPECT_EQ(DateHelper::stringWithDate(Date::now().addingSeconds(-3 * 3600 - 30)), "3小时前");
}

} // namespace
