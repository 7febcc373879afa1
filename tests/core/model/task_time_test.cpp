#include "core/model/task_time.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

#include <cstdlib>
#include <ctime>
#include <string>

namespace keelvault {
namespace {

using test::makeTime;

TEST(CalendarTest, LeapYearsAndMonthLengths) {
    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_TRUE(isLeapYear(2024));
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_FALSE(isLeapYear(2023));
    EXPECT_FALSE(isLeapYear(2100));

    EXPECT_EQ(daysInMonth(2023, 2), 28);
    EXPECT_EQ(daysInMonth(2024, 2), 29);
    EXPECT_EQ(daysInMonth(2023, 4), 30);
    EXPECT_EQ(daysInMonth(2023, 12), 31);
    EXPECT_EQ(daysInMonth(2023, 0), 0);
    EXPECT_EQ(daysInMonth(2023, 13), 0);

    EXPECT_TRUE(isValidDate(2024, 2, 29));
    EXPECT_FALSE(isValidDate(2023, 2, 29));
    EXPECT_FALSE(isValidDate(2023, 4, 31));
    EXPECT_FALSE(isValidDate(2023, 1, 0));
    EXPECT_FALSE(isValidDate(2023, 13, 1));
}

TEST(CalendarTest, KnownDayNumbersAndWeekdays) {
    EXPECT_EQ(dayNumber(1970, 1, 1), 0);
    EXPECT_EQ(dayNumber(1969, 12, 31), -1);
    EXPECT_EQ(dayNumber(2000, 3, 1), 11017);
    EXPECT_EQ(dayNumber(2006, 1, 2), 13150);

    EXPECT_EQ(dayOfWeek(1970, 1, 1), 5);  // Thursday
    EXPECT_EQ(dayOfWeek(2006, 1, 1), 1);  // Sunday
    EXPECT_EQ(dayOfWeek(2006, 1, 2), 2);  // Monday
    EXPECT_EQ(dayOfWeek(2024, 2, 29), 5);
    EXPECT_EQ(dayOfWeek(1600, 1, 1), 7);  // Saturday
}

// Walks every day of eight centuries by hand and checks that the day count,
// weekday and addDays agree with the walk.
TEST(CalendarTest, DayByDayWalkAgreesWithArithmetic) {
    const TaskTime start = makeTime(1600, 1, 1, 13, 45, 10);
    const int64_t first = dayNumber(1600, 1, 1);
    int32_t y = 1600, m = 1, d = 1;
    int32_t wd = dayOfWeek(1600, 1, 1);
    for (int64_t i = 0; y < 2401; ++i) {
        ASSERT_EQ(dayNumber(y, m, d), first + i) << y << "-" << m << "-" << d;
        ASSERT_EQ(dayOfWeek(y, m, d), wd);
        if (i % 997 == 0) {
            const TaskTime moved = addDays(start, i);
            ASSERT_EQ(moved, makeTime(y, m, d, 13, 45, 10));
            ASSERT_EQ(addDays(moved, -i), start);
        }
        wd = wd % 7 + 1;
        if (++d > daysInMonth(y, m)) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
    }
}

TEST(CalendarTest, AddDaysCrossesMonthYearAndLeapDay) {
    struct Case {
        TaskTime from;
        int64_t days;
        TaskTime expected;
    };
    const Case cases[] = {
        {makeTime(2023, 12, 31, 10, 30), 1, makeTime(2024, 1, 1, 10, 30)},
        {makeTime(2024, 2, 28), 1, makeTime(2024, 2, 29)},
        {makeTime(2023, 2, 28), 1, makeTime(2023, 3, 1)},
        {makeTime(2024, 3, 1), -1, makeTime(2024, 2, 29)},
        {makeTime(2024, 1, 1), 366, makeTime(2025, 1, 1)},
        {makeTime(2024, 5, 5, 9, 0, 42), 0, makeTime(2024, 5, 5, 9, 0, 42)},
    };
    for (const Case& c : cases) {
        const TaskTime r = addDays(c.from, c.days);
        EXPECT_EQ(r, c.expected) << c.from.year << "-" << c.from.month << "-" << c.from.day << " + " << c.days;
    }
}

TEST(CalendarTest, AddMinutesCarriesIntoDaysBothWays) {
    EXPECT_EQ(addMinutes(makeTime(2023, 12, 31, 23, 50, 30), 15), makeTime(2024, 1, 1, 0, 5, 30));
    EXPECT_EQ(addMinutes(makeTime(2024, 3, 1, 0, 5), -10), makeTime(2024, 2, 29, 23, 55));
    EXPECT_EQ(addMinutes(makeTime(2024, 3, 1, 8, 0), 3 * 1440 + 61), makeTime(2024, 3, 4, 9, 1));
    EXPECT_EQ(addMinutes(makeTime(2024, 3, 1, 8, 0), -1440), makeTime(2024, 2, 29, 8, 0));
}

TEST(CalendarTest, DaysBetweenCountsFractionsAndSign) {
    EXPECT_DOUBLE_EQ(daysBetween(makeTime(2024, 5, 1), makeTime(2024, 5, 5, 9, 0)), 4.375);
    EXPECT_DOUBLE_EQ(daysBetween(makeTime(2024, 5, 5, 9, 0), makeTime(2024, 5, 1)), -4.375);
    EXPECT_DOUBLE_EQ(daysBetween(makeTime(2024, 2, 28, 23, 0), makeTime(2024, 3, 1, 1, 0)), 1.0 + 2.0 / 24);
    EXPECT_DOUBLE_EQ(daysBetween(makeTime(2024, 1, 1, 0, 0, 0), makeTime(2024, 1, 1, 0, 0, 1)), 1.0 / 86400);
    EXPECT_DOUBLE_EQ(daysBetween(makeTime(2023, 1, 1), makeTime(2024, 1, 1)), 365.0);
}

// Sets TZ for the life of the object and restores it afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            had_ = true;
            old_ = old;
        }
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (had_) {
            ::setenv("TZ", old_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(LocalTimeTest, BreaksDownInTheLocalZone) {
    {
        ScopedTimeZone tz("UTC0");
        EXPECT_EQ(localTimeOf(0), makeTime(1970, 1, 1, 0, 0, 0));
        EXPECT_EQ(localTimeOf(1136214249), makeTime(2006, 1, 2, 15, 4, 9));
    }
    {
        ScopedTimeZone tz("EST5");
        EXPECT_EQ(localTimeOf(1136214249), makeTime(2006, 1, 2, 10, 4, 9));
        EXPECT_EQ(localTimeOf(0), makeTime(1969, 12, 31, 19, 0, 0));
    }
}

TEST(LocalTimeTest, CurrentTimeIsAConsistentDate) {
    const TaskTime now = currentLocalTime();
    EXPECT_TRUE(now.isSet());
    EXPECT_GE(now.year, 2020);
    EXPECT_TRUE(isValidDate(now.year, now.month, now.day));
    EXPECT_EQ(now.day_of_week, dayOfWeek(now.year, now.month, now.day));
    EXPECT_LE(now.hour, 23);
    EXPECT_LE(now.minute, 59);
}

}  // namespace
}  // namespace keelvault
