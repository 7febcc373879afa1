#include "core/editing/schedule_rules.h"

#include <gtest/gtest.h>

#include "check_expect.h"

namespace keelvault {
namespace {

using test::accepted;
using test::refused;

// A working copy with every field set, to see what each step clears.
CSchedule busySchedule() {
    CSchedule s;
    s.kind = kScheduleEveryWeek;
    s.hour = 7;
    s.minute = 45;
    s.week_days = {0, 1, 0, 0, 0, 0, 0};
    s.month_days[14] = 1;
    s.year = 2030;
    s.month = 6;
    s.day = 15;
    s.every_n_days = 3;
    s.interval_minutes = 90;
    return s;
}

const RunTimeChoice kSevenThirty{7, 30};

TEST(ScheduleDialogs, TimeListsMustBeChosen) {
    const CSchedule s = busySchedule();
    const std::array<uint8_t, 7> monday{0, 1, 0, 0, 0, 0, 0};
    const std::array<uint8_t, 31> first{1};
    for (const RunTimeChoice& time : {RunTimeChoice{std::nullopt, 5}, RunTimeChoice{24, 5}}) {
        EXPECT_TRUE(
            refused(applyEveryDaySettings(s, time), "Please choose the hour of run time!", ScheduleField::Hour));
        EXPECT_TRUE(refused(applyEveryWeekSettings(s, time, monday), "Please choose the hour of run time!",
                            ScheduleField::Hour));
        EXPECT_TRUE(refused(applyEveryMonthSettings(s, time, first), "Please choose the hour of run time!",
                            ScheduleField::Hour));
        EXPECT_TRUE(refused(applySpecialDateSettings(s, time, 2030, 1, 1, "0"), "Please choose the hour of run time!",
                            ScheduleField::Hour));
    }
    EXPECT_TRUE(refused(applyEveryDaySettings(s, {5, std::nullopt}), "Please choose the minute of run time!",
                        ScheduleField::Minute));
    EXPECT_TRUE(refused(applyEveryWeekSettings(s, kSevenThirty, {}), "Please choose the days of the week!",
                        ScheduleField::WeekDays));
    EXPECT_TRUE(refused(applyEveryMonthSettings(s, kSevenThirty, {}), "Please choose the days of the month!",
                        ScheduleField::MonthDays));
}

TEST(ScheduleDialogs, EachDialogSetsItsValuesAndClearsTheRest) {
    const CSchedule s = busySchedule();

    auto interval = applyIntervalSettings(s, "15");
    ASSERT_TRUE(accepted(interval));
    CSchedule expected;
    expected.kind = s.kind;  // the radio buttons set the kind
    expected.interval_minutes = 15;
    EXPECT_EQ(interval.value(), expected);

    auto day = applyEveryDaySettings(s, kSevenThirty);
    ASSERT_TRUE(accepted(day));
    expected = CSchedule{};
    expected.kind = s.kind;
    expected.hour = 7;
    expected.minute = 30;
    expected.interval_minutes = 0;
    EXPECT_EQ(day.value(), expected);

    const std::array<uint8_t, 7> weekend{1, 0, 0, 0, 0, 0, 1};
    auto week = applyEveryWeekSettings(s, kSevenThirty, weekend);
    ASSERT_TRUE(accepted(week));
    CSchedule expected_week = expected;
    expected_week.week_days = weekend;
    EXPECT_EQ(week.value(), expected_week);

    std::array<uint8_t, 31> days{};
    days[30] = 1;
    auto month = applyEveryMonthSettings(s, kSevenThirty, days);
    ASSERT_TRUE(accepted(month));
    CSchedule expected_month = expected;
    expected_month.month_days = days;
    EXPECT_EQ(month.value(), expected_month);

    auto special = applySpecialDateSettings(s, kSevenThirty, 2031, 2, 28, "");
    ASSERT_TRUE(accepted(special));
    CSchedule expected_special = expected;
    expected_special.year = 2031;
    expected_special.month = 2;
    expected_special.day = 28;
    EXPECT_EQ(special.value(), expected_special);  // an empty repeat counts as 0
    EXPECT_EQ(applySpecialDateSettings(s, kSevenThirty, 2031, 2, 28, "14").value().every_n_days, 14);
}

TEST(ScheduleDialogs, IntervalMinutes) {
    for (const char* bad : {"", "0", "100000", "5 ", "x"}) {
        EXPECT_TRUE(refused(applyIntervalSettings(CSchedule{}, bad), "Please input a number between 1 and 99999!",
                            ScheduleField::Minutes))
            << bad;
    }
    EXPECT_EQ(applyIntervalSettings(CSchedule{}, "99999").value().interval_minutes, 99999);
    EXPECT_EQ(applyIntervalSettings(CSchedule{}, "1").value().interval_minutes, 1);
}

TEST(SchedulePage, IncompleteSettingsOfTheChosenKind) {
    struct Case {
        const char* what;
        void (*change)(CSchedule&);
        uint8_t kind;
        const char* message;
        ScheduleField focus;
    };
    const std::vector<Case> cases = {
        {"interval never set", [](CSchedule& s) { s.interval_minutes = 0; }, kScheduleTimeInterval,
         "Please set the Time Interval Settings!", ScheduleField::Minutes},
        {"interval too long", [](CSchedule& s) { s.interval_minutes = 100000; }, kScheduleTimeInterval,
         "Please set the Time Interval Settings!", ScheduleField::Minutes},
        {"day without hour", [](CSchedule& s) { s.hour = -1; }, kScheduleEveryDay, "Please set the Every Day Settings!",
         ScheduleField::Hour},
        {"day without minute", [](CSchedule& s) { s.minute = -1; }, kScheduleEveryDay,
         "Please set the Every Day Settings!", ScheduleField::Minute},
        {"week without days, time set", [](CSchedule& s) { s.week_days.fill(0); }, kScheduleEveryWeek,
         "Please set the Every Week Settings!", ScheduleField::WeekDays},
        {"week without minute", [](CSchedule& s) { s.minute = 60; }, kScheduleEveryWeek,
         "Please set the Every Week Settings!", ScheduleField::Minute},
        {"month without days", [](CSchedule& s) { s.month_days.fill(0); }, kScheduleEveryMonth,
         "Please set the Every Month Settings!", ScheduleField::MonthDays},
        {"special without year", [](CSchedule& s) { s.year = 0; }, kScheduleSpecialDate,
         "Please set the Special Date Settings!", ScheduleField::Date},
        {"special without day", [](CSchedule& s) { s.day = 0; }, kScheduleSpecialDate,
         "Please set the Special Date Settings!", ScheduleField::Date},
        {"special on a day that never comes",
         [](CSchedule& s) {
             s.month = 2;
             s.day = 30;
         },
         kScheduleSpecialDate, "Please set the Special Date Settings!", ScheduleField::Date},
        {"special without hour", [](CSchedule& s) { s.hour = -1; }, kScheduleSpecialDate,
         "Please set the Special Date Settings!", ScheduleField::Hour},
        {"a kind without radio button", [](CSchedule&) {}, 6, "Please choose task schedule options!",
         ScheduleField::Choice},
    };
    for (const Case& c : cases) {
        CSchedule s = busySchedule();
        c.change(s);
        EXPECT_TRUE(refused(checkSchedulePage(s, c.kind), c.message, c.focus)) << c.what;
    }
    EXPECT_TRUE(refused(checkSchedulePage(busySchedule(), std::nullopt), "Please choose task schedule options!",
                        ScheduleField::Choice));
}

TEST(SchedulePage, AcceptedKindsKeepOnlyWhatTheyUse) {
    const CSchedule s = busySchedule();

    CSchedule manual;
    manual.interval_minutes = 0;
    EXPECT_EQ(checkSchedulePage(s, kScheduleManual).value(), manual);

    CSchedule interval;
    interval.kind = kScheduleTimeInterval;
    interval.interval_minutes = 90;
    EXPECT_EQ(checkSchedulePage(s, kScheduleTimeInterval).value(), interval);

    CSchedule day;
    day.kind = kScheduleEveryDay;
    day.hour = 7;
    day.minute = 45;
    day.interval_minutes = 0;
    EXPECT_EQ(checkSchedulePage(s, kScheduleEveryDay).value(), day);

    CSchedule week = day;
    week.kind = kScheduleEveryWeek;
    week.week_days = s.week_days;
    EXPECT_EQ(checkSchedulePage(s, kScheduleEveryWeek).value(), week);

    CSchedule month = day;
    month.kind = kScheduleEveryMonth;
    month.month_days = s.month_days;
    EXPECT_EQ(checkSchedulePage(s, kScheduleEveryMonth).value(), month);

    CSchedule special = day;
    special.kind = kScheduleSpecialDate;
    special.year = 2030;
    special.month = 6;
    special.day = 15;
    special.every_n_days = 3;  // the repeat is kept
    EXPECT_EQ(checkSchedulePage(s, kScheduleSpecialDate).value(), special);
}

TEST(SchedulePage, IntervalDialogThenEveryDayRunsAtMidnight) {
    CSchedule working = busySchedule();
    working.hour = -1;
    working.minute = -1;
    EXPECT_FALSE(checkSchedulePage(working, kScheduleEveryDay).ok());
    working = applyIntervalSettings(working, "30").value();
    const auto result = checkSchedulePage(working, kScheduleEveryDay);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().hour, 0);
    EXPECT_EQ(result.value().minute, 0);
    EXPECT_EQ(result.value().interval_minutes, 0);
}

TEST(SchedulePage, StoredKindsOutsideTheButtonsShowAsManual) {
    CSchedule s;
    for (uint8_t kind : {0, 1, 5}) {
        s.kind = kind;
        EXPECT_EQ(scheduleChoiceFor(s), kind);
    }
    s.kind = 6;
    EXPECT_EQ(scheduleChoiceFor(s), kScheduleManual);
}

}  // namespace
}  // namespace keelvault
