#include "core/scheduler/schedule.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

#include <atomic>
#include <chrono>
#include <initializer_list>
#include <string>
#include <thread>

namespace keelvault {
namespace {

using test::makeTime;

std::string show(const TaskTime& t) {
    return formatTaskTime(t.year, t.month, t.day, t.hour, t.minute, t.second, t.day_of_week, 3, 1, true);
}

// A waiting task with the given schedule kind and run time.
CTask waitingTask(uint8_t kind, int32_t hour = 0, int32_t minute = 0) {
    CTask task;
    task.schedule.kind = kind;
    task.schedule.hour = hour;
    task.schedule.minute = minute;
    task.status = kStatusWaiting;
    return task;
}

TaskTime nextRunAt(CTask& task, const TaskTime& now) {
    computeNextRun(task, now);
    std::lock_guard lock(task.mutex());
    return task.next_run;
}

// Tables of "now" and the expected answer for one task.
struct DueCase {
    TaskTime now;
    bool due;
};

void expectDue(const CTask& task, std::initializer_list<DueCase> cases) {
    for (const DueCase& c : cases) EXPECT_EQ(isDue(task, c.now), c.due) << show(c.now);
}

struct NextCase {
    TaskTime now;
    TaskTime next;  // all zero = cleared
};

void expectNext(CTask& task, std::initializer_list<NextCase> cases) {
    for (const NextCase& c : cases) EXPECT_EQ(show(nextRunAt(task, c.now)), show(c.next)) << "now " << show(c.now);
}

TEST(ScheduleStatusTest, StatusAndRunNowDecideBeforeTheSchedule) {
    struct Case {
        uint8_t status;
        uint8_t run_now;
        uint8_t kind;
        bool due;
    };
    const Case cases[] = {
        {kStatusRunning, 1, kScheduleEveryDay, false},  {kStatusRunning, 0, kScheduleEveryDay, false},
        {kStatusIdle, 1, kScheduleManual, true},        {kStatusIdle, 0, kScheduleEveryDay, false},
        {kStatusWaiting, 1, kScheduleManual, true},     {kStatusWaiting, 0, kScheduleManual, false},
        {kStatusWaiting, 0, kScheduleEveryDay, true},   {kStatusService, 1, kScheduleEveryDay, false},
        {kStatusService, 0, kScheduleEveryDay, false},  {0, 1, kScheduleEveryDay, false},
        {kStatusWaiting, 0, 6, false},                  {kStatusWaiting, 1, 6, true},
    };
    const TaskTime now = makeTime(2024, 5, 5, 10, 30, 40);
    for (const Case& c : cases) {
        CTask task = waitingTask(c.kind, 10, 30);
        task.status = c.status;
        task.run_now = c.run_now;
        EXPECT_EQ(isDue(task, now), c.due)
            << "status " << int(c.status) << " run_now " << int(c.run_now) << " kind " << int(c.kind);
    }
}

TEST(ScheduleStatusTest, RunNowIsDueEvenInTheMinuteOfTheLastRun) {
    CTask task = waitingTask(kScheduleEveryDay, 10, 30);
    task.last_run = makeTime(2024, 5, 5, 10, 30, 5);
    task.run_now = 1;
    EXPECT_TRUE(isDue(task, makeTime(2024, 5, 5, 10, 30, 40)));
}

TEST(EveryDayTest, DueOncePerMinuteAndNextRunRollsOverAfterTheMinute) {
    CTask task = waitingTask(kScheduleEveryDay, 10, 30);
    expectDue(task, {{makeTime(2024, 5, 5, 10, 29, 59), false},
                     {makeTime(2024, 5, 5, 10, 30, 0), true},
                     {makeTime(2024, 5, 5, 10, 30, 40), true},
                     {makeTime(2024, 5, 5, 10, 31, 0), false},
                     {makeTime(2024, 5, 5, 11, 30, 0), false}});

    task.last_run = makeTime(2024, 5, 5, 10, 30, 40);
    expectDue(task, {{makeTime(2024, 5, 5, 10, 30, 41), false},
                     {makeTime(2024, 5, 5, 10, 30, 59), false},
                     {makeTime(2024, 5, 6, 10, 30, 0), true},
                     // A last run a year ago in the same clock minute does not block.
                     {makeTime(2025, 5, 5, 10, 30, 0), true}});

    expectNext(task, {{makeTime(2024, 5, 5, 9, 0), makeTime(2024, 5, 5, 10, 30)},
                      {makeTime(2024, 5, 5, 10, 30, 59), makeTime(2024, 5, 5, 10, 30)},
                      {makeTime(2024, 5, 5, 10, 31, 0), makeTime(2024, 5, 6, 10, 30)},
                      {makeTime(2024, 12, 31, 23, 0), makeTime(2025, 1, 1, 10, 30)},
                      {makeTime(2024, 2, 28, 11, 0), makeTime(2024, 2, 29, 10, 30)}});
}

TEST(EveryDayTest, NextRunCarriesDayOfWeekAndZeroSeconds) {
    CTask task = waitingTask(kScheduleEveryDay, 0, 0);
    const TaskTime next = nextRunAt(task, makeTime(2005, 12, 31, 12, 0, 33));
    EXPECT_EQ(next, makeTime(2006, 1, 1, 0, 0, 0));
    EXPECT_EQ(next.day_of_week, 1);
}

TEST(EveryWeekTest, DueOnMarkedWeekdaysOnly) {
    CTask task = waitingTask(kScheduleEveryWeek, 8, 15);
    task.schedule.week_days[1] = 1;  // Monday
    task.schedule.week_days[5] = 1;  // Friday
    // 2024-05-06 is a Monday.
    expectDue(task, {{makeTime(2024, 5, 6, 8, 15), true},
                     {makeTime(2024, 5, 7, 8, 15), false},
                     {makeTime(2024, 5, 10, 8, 15), true},
                     {makeTime(2024, 5, 11, 8, 15), false},
                     {makeTime(2024, 5, 10, 8, 16), false}});
}

TEST(EveryWeekTest, NextRunWrapsThroughTheWeek) {
    CTask task = waitingTask(kScheduleEveryWeek, 8, 15);
    task.schedule.week_days[1] = 1;  // Monday only
    expectNext(task, {{makeTime(2024, 5, 6, 8, 15, 30), makeTime(2024, 5, 6, 8, 15)},
                      // Time passed on the only marked day: the same weekday a week later.
                      {makeTime(2024, 5, 6, 8, 16), makeTime(2024, 5, 13, 8, 15)},
                      // Saturday wraps to Monday through Sunday.
                      {makeTime(2024, 5, 11, 20, 0), makeTime(2024, 5, 13, 8, 15)},
                      {makeTime(2024, 12, 31, 9, 0), makeTime(2025, 1, 6, 8, 15)}});

    task.schedule.week_days[6] = 1;  // and Saturday
    expectNext(task, {{makeTime(2024, 5, 6, 9, 0), makeTime(2024, 5, 11, 8, 15)}});
}

TEST(EveryWeekTest, NoWeekdayMarkedClearsNextRunAndIsNeverDue) {
    CTask task = waitingTask(kScheduleEveryWeek, 8, 15);
    task.next_run = makeTime(2024, 1, 1, 8, 15);
    EXPECT_EQ(nextRunAt(task, makeTime(2024, 5, 6, 7, 0)), TaskTime{});
    EXPECT_FALSE(isDue(task, makeTime(2024, 5, 6, 8, 15)));
}

TEST(EveryMonthTest, DueOnMarkedDaysOnly) {
    CTask task = waitingTask(kScheduleEveryMonth, 23, 59);
    task.schedule.month_days[0] = 1;
    task.schedule.month_days[30] = 1;
    expectDue(task, {{makeTime(2024, 1, 1, 23, 59), true},
                     {makeTime(2024, 1, 31, 23, 59, 59), true},
                     {makeTime(2024, 1, 30, 23, 59), false},
                     {makeTime(2024, 1, 31, 23, 58), false}});
}

TEST(EveryMonthTest, MissingDaysAreSkipped) {
    CTask task = waitingTask(kScheduleEveryMonth, 10, 0);
    task.schedule.month_days[30] = 1;  // the 31st only
    expectNext(task, {{makeTime(2024, 1, 31, 12, 0), makeTime(2024, 3, 31, 10, 0)},
                      {makeTime(2023, 1, 31, 12, 0), makeTime(2023, 3, 31, 10, 0)},
                      {makeTime(2024, 1, 31, 9, 0), makeTime(2024, 1, 31, 10, 0)},
                      {makeTime(2024, 4, 1, 0, 0), makeTime(2024, 5, 31, 10, 0)},
                      {makeTime(2024, 12, 31, 11, 0), makeTime(2025, 1, 31, 10, 0)}});

    CTask leap = waitingTask(kScheduleEveryMonth, 10, 0);
    leap.schedule.month_days[28] = 1;  // the 29th
    expectNext(leap, {{makeTime(2023, 2, 28, 12, 0), makeTime(2023, 3, 29, 10, 0)},
                      {makeTime(2024, 2, 28, 12, 0), makeTime(2024, 2, 29, 10, 0)},
                      {makeTime(2024, 2, 29, 10, 1), makeTime(2024, 3, 29, 10, 0)}});

    CTask first = waitingTask(kScheduleEveryMonth, 0, 0);
    first.schedule.month_days[0] = 1;
    expectNext(first, {{makeTime(2024, 12, 31, 23, 59), makeTime(2025, 1, 1, 0, 0)},
                       {makeTime(2024, 2, 29, 1, 0), makeTime(2024, 3, 1, 0, 0)},
                       {makeTime(2024, 3, 1, 0, 0, 59), makeTime(2024, 3, 1, 0, 0)}});
}

TEST(EveryMonthTest, NoDayMarkedClearsNextRun) {
    CTask task = waitingTask(kScheduleEveryMonth, 10, 0);
    task.next_run = makeTime(2024, 1, 1, 10, 0);
    EXPECT_EQ(nextRunAt(task, makeTime(2024, 1, 31, 12, 0)), TaskTime{});
    EXPECT_FALSE(isDue(task, makeTime(2024, 1, 31, 10, 0)));
}

TEST(SpecialDateTest, OnceRunsOnlyOnTheDate) {
    CTask task = waitingTask(kScheduleSpecialDate, 8, 0);
    task.schedule.year = 2024;
    task.schedule.month = 5;
    task.schedule.day = 1;
    expectDue(task, {{makeTime(2024, 5, 1, 8, 0), true},
                     {makeTime(2024, 5, 1, 8, 1), false},
                     {makeTime(2024, 5, 2, 8, 0), false},
                     {makeTime(2025, 5, 1, 8, 0), false},
                     {makeTime(2024, 4, 30, 8, 0), false}});
    expectNext(task, {{makeTime(2023, 12, 1, 12, 0), makeTime(2024, 5, 1, 8, 0)},
                      {makeTime(2024, 5, 1, 8, 0, 30), makeTime(2024, 5, 1, 8, 0)},
                      {makeTime(2024, 5, 1, 8, 1), TaskTime{}},
                      {makeTime(2024, 6, 1, 0, 0), TaskTime{}}});
}

TEST(SpecialDateTest, EveryNDaysCountsFromTheDate) {
    CTask task = waitingTask(kScheduleSpecialDate, 8, 0);
    task.schedule.year = 2024;
    task.schedule.month = 5;
    task.schedule.day = 1;
    task.schedule.every_n_days = 3;
    expectDue(task, {{makeTime(2024, 5, 1, 8, 0), true},
                     {makeTime(2024, 5, 4, 8, 0), true},
                     {makeTime(2024, 5, 7, 8, 0, 59), true},
                     {makeTime(2024, 5, 10, 8, 0), true},
                     {makeTime(2024, 5, 5, 8, 0), false},
                     {makeTime(2024, 5, 6, 8, 0), false},
                     {makeTime(2024, 5, 7, 9, 0), false},
                     {makeTime(2024, 4, 28, 8, 0), false},
                     // Across a month end: 31 May is day 30 after the date.
                     {makeTime(2024, 5, 31, 8, 0), true},
                     {makeTime(2024, 6, 3, 8, 0), true}});
    expectNext(task, {{makeTime(2024, 5, 5, 9, 0), makeTime(2024, 5, 7, 8, 0)},
                      {makeTime(2024, 5, 7, 7, 0), makeTime(2024, 5, 7, 8, 0)},
                      {makeTime(2024, 5, 7, 8, 1), makeTime(2024, 5, 10, 8, 0)},
                      {makeTime(2024, 5, 1, 8, 1), makeTime(2024, 5, 4, 8, 0)},
                      {makeTime(2024, 4, 1, 0, 0), makeTime(2024, 5, 1, 8, 0)},
                      {makeTime(2024, 5, 30, 9, 0), makeTime(2024, 5, 31, 8, 0)}});
}

TEST(SpecialDateTest, HugeNIsFoundWithoutWalkingEveryDay) {
    CTask task = waitingTask(kScheduleSpecialDate, 8, 0);
    task.schedule.year = 2000;
    task.schedule.month = 1;
    task.schedule.day = 1;
    task.schedule.every_n_days = 2000000000;
    const TaskTime next = nextRunAt(task, makeTime(2024, 5, 5, 9, 0));
    EXPECT_EQ(dayNumber(next.year, next.month, next.day), dayNumber(2000, 1, 1) + 2000000000LL);
    EXPECT_EQ(next.hour, 8);
}

TEST(SpecialDateTest, NegativeNNeverRunsAndClears) {
    CTask task = waitingTask(kScheduleSpecialDate, 8, 0);
    task.schedule.year = 2024;
    task.schedule.month = 5;
    task.schedule.day = 1;
    task.schedule.every_n_days = -2;
    task.next_run = makeTime(2024, 5, 1, 8, 0);
    EXPECT_FALSE(isDue(task, makeTime(2024, 5, 1, 8, 0)));
    EXPECT_EQ(nextRunAt(task, makeTime(2024, 4, 1, 8, 0)), TaskTime{});
}

TEST(TimeIntervalTest, DueOnWholeIntervalsFromTheStartMinute) {
    CTask task = waitingTask(kScheduleTimeInterval);
    task.schedule.interval_minutes = 15;
    task.started_at = makeTime(2024, 5, 5, 9, 7, 50);
    expectDue(task, {{makeTime(2024, 5, 5, 9, 7, 55), false},
                     {makeTime(2024, 5, 5, 9, 21, 59), false},
                     {makeTime(2024, 5, 5, 9, 22, 0), true},
                     {makeTime(2024, 5, 5, 9, 22, 59), true},
                     {makeTime(2024, 5, 5, 9, 23, 0), false},
                     {makeTime(2024, 5, 5, 9, 37, 0), true},
                     {makeTime(2024, 5, 5, 9, 52, 30), true},
                     // Across midnight: 23:52 is 59 intervals after 09:07.
                     {makeTime(2024, 5, 5, 23, 52, 0), true},
                     {makeTime(2024, 5, 6, 0, 7, 0), true},
                     {makeTime(2024, 5, 6, 0, 8, 0), false}});

    task.last_run = makeTime(2024, 5, 5, 9, 22, 0);
    EXPECT_FALSE(isDue(task, makeTime(2024, 5, 5, 9, 22, 30)));
}

TEST(TimeIntervalTest, WholeMinutesSurviveFloatingPointDayFractions) {
    // 13, 26 and 49 minutes as fractions of a day land just below the whole
    // minute in double arithmetic.
    for (int32_t interval : {13, 26, 49}) {
        CTask task = waitingTask(kScheduleTimeInterval);
        task.schedule.interval_minutes = interval;
        task.started_at = makeTime(2024, 5, 5, 9, 0, 30);
        EXPECT_TRUE(isDue(task, addMinutes(makeTime(2024, 5, 5, 9, 0), interval))) << interval;
        EXPECT_FALSE(isDue(task, addMinutes(makeTime(2024, 5, 5, 9, 0), interval - 1))) << interval;
    }
}

TEST(TimeIntervalTest, NotStartedIsNeverDueAndKeepsNextRun) {
    CTask task = waitingTask(kScheduleTimeInterval);
    task.schedule.interval_minutes = 1;
    task.next_run = makeTime(2020, 1, 1, 1, 1);
    EXPECT_FALSE(isDue(task, makeTime(2024, 5, 5, 9, 22)));
    EXPECT_EQ(nextRunAt(task, makeTime(2024, 5, 5, 9, 22)), makeTime(2020, 1, 1, 1, 1));
}

TEST(TimeIntervalTest, NextRunCountsFromTheLaterOfStartAndLastRun) {
    CTask task = waitingTask(kScheduleTimeInterval);
    task.schedule.interval_minutes = 15;
    task.started_at = makeTime(2024, 5, 5, 9, 7, 50);
    const TaskTime now = makeTime(2024, 5, 5, 9, 10);
    EXPECT_EQ(nextRunAt(task, now), makeTime(2024, 5, 5, 9, 22, 0));

    // A run that began at 09:22 and lasted past 09:37.
    task.last_run = makeTime(2024, 5, 5, 9, 22, 1);
    EXPECT_EQ(nextRunAt(task, now), makeTime(2024, 5, 5, 9, 37, 0));
    EXPECT_FALSE(isDue(task, makeTime(2024, 5, 5, 9, 38, 0)));
    EXPECT_TRUE(isDue(task, makeTime(2024, 5, 5, 9, 52, 0)));

    // A last run before the current start (an earlier session) is ignored.
    task.last_run = makeTime(2024, 5, 4, 23, 0);
    EXPECT_EQ(nextRunAt(task, now), makeTime(2024, 5, 5, 9, 22, 0));

    // The interval carries over midnight and the year end.
    task.started_at = makeTime(2024, 12, 31, 23, 50, 0);
    task.last_run.clear();
    EXPECT_EQ(nextRunAt(task, now), makeTime(2025, 1, 1, 0, 5, 0));
}

TEST(TimeIntervalTest, ZeroOrNegativeIntervalIsNeverDueAndKeepsNextRun) {
    for (int32_t interval : {0, -1, -15}) {
        CTask task = waitingTask(kScheduleTimeInterval);
        task.schedule.interval_minutes = interval;
        task.started_at = makeTime(2024, 5, 5, 9, 0);
        task.next_run = makeTime(2024, 5, 5, 9, 30);
        for (int minute = 0; minute < 60; ++minute) {
            EXPECT_FALSE(isDue(task, makeTime(2024, 5, 5, 10, minute))) << interval;
        }
        EXPECT_EQ(nextRunAt(task, makeTime(2024, 5, 5, 10, 0)), makeTime(2024, 5, 5, 9, 30)) << interval;
    }
}

TEST(NextRunTest, ManualClearsAndUnknownKindKeeps) {
    CTask manual = waitingTask(kScheduleManual);
    manual.next_run = makeTime(2024, 5, 5, 9, 30);
    EXPECT_EQ(nextRunAt(manual, makeTime(2024, 5, 5, 9, 0)), TaskTime{});

    CTask unknown = waitingTask(9);
    unknown.next_run = makeTime(2024, 5, 5, 9, 30);
    EXPECT_EQ(nextRunAt(unknown, makeTime(2024, 5, 5, 9, 0)), makeTime(2024, 5, 5, 9, 30));
}

TEST(FormatTaskTimeTest, DateAndTimeFormats) {
    struct Case {
        TaskTime t;
        int day_of_week;
        int date_format;
        int time_format;
        bool seconds;
        const char* text;
    };
    const Case cases[] = {
        {makeTime(2006, 1, 2, 15, 4, 9), 2, 3, 2, false, "Mon, 2006-01-02 03:04 P.M"},
        {makeTime(2006, 1, 1, 0, 0, 0), 1, 1, 2, true, "Sun, Jan 01, 2006 00:00:00 A.M"},
        {makeTime(2006, 1, 2, 13, 5, 9), 2, 1, 1, true, "Mon, Jan 02, 2006 13:05:09"},
        {makeTime(2006, 1, 2, 13, 5, 9), 2, 1, 1, false, "Mon, Jan 02, 2006 13:05"},
        {makeTime(2006, 12, 25, 9, 30, 0), 2, 2, 1, false, "Mon, 25 Dec, 2006 09:30"},
        {makeTime(2006, 11, 5, 23, 59, 59), -1, 3, 1, true, "2006-11-05 23:59:59"},
        {makeTime(2006, 11, 5, 23, 59, 59), -7, 3, 1, true, "2006-11-05 23:59:59"},
        // Noon and midnight in 12-hour time.
        {makeTime(2024, 7, 4, 12, 0, 0), -1, 1, 2, false, "Jul 04, 2024 00:00 P.M"},
        {makeTime(2024, 7, 4, 0, 0, 0), -1, 1, 2, false, "Jul 04, 2024 00:00 A.M"},
        {makeTime(2024, 7, 4, 11, 59, 0), -1, 1, 2, false, "Jul 04, 2024 11:59 A.M"},
        {makeTime(2024, 7, 4, 23, 1, 2), -1, 1, 2, true, "Jul 04, 2024 11:01:02 P.M"},
        // Unknown formats: date falls back to the first, time is left out.
        {makeTime(2024, 7, 4, 10, 0, 0), -1, 9, 1, false, "Jul 04, 2024 10:00"},
        {makeTime(2024, 7, 4, 10, 0, 0), -1, 3, 0, true, "2024-07-04 "},
        {makeTime(2024, 7, 4, 10, 0, 0), 5, 2, 7, true, "Thu, 04 Jul, 2024 "},
        // Names out of range.
        {makeTime(2024, 13, 4, 10, 0, 0), 0, 1, 1, false, "Unknown, Unknown 04, 2024 10:00"},
        {makeTime(2024, 0, 4, 10, 0, 0), 8, 2, 1, false, "Unknown, 04 Unknown, 2024 10:00"},
        {makeTime(987, 10, 10, 10, 10, 10), 1, 3, 1, true, "Sun, 987-10-10 10:10:10"},
    };
    for (const Case& c : cases) {
        const TaskTime& t = c.t;
        EXPECT_EQ(formatTaskTime(t.year, t.month, t.day, t.hour, t.minute, t.second, c.day_of_week, c.date_format,
                                 c.time_format, c.seconds),
                  c.text);
    }
}

TEST(FormatTaskTimeTest, StampOverloadUsesItsWeekdayAndShowsNeverAsEmpty) {
    EXPECT_EQ(formatTaskTime(makeTime(2006, 1, 2, 15, 4, 9), 3, 2, false), "Mon, 2006-01-02 03:04 P.M");
    EXPECT_EQ(formatTaskTime(TaskTime{}, 1, 1, true), "");
}

TEST(ScheduleLockingTest, NextRunIsWrittenOnlyUnderTheTaskLock) {
    CTask task = waitingTask(kScheduleEveryDay, 10, 30);
    std::atomic<bool> done{false};
    std::thread writer;
    {
        std::lock_guard lock(task.mutex());
        writer = std::thread([&] {
            computeNextRun(task, makeTime(2024, 5, 5, 9, 0));
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(done.load());
        EXPECT_EQ(task.next_run, TaskTime{});
    }
    writer.join();
    EXPECT_EQ(nextRunAt(task, makeTime(2024, 5, 5, 9, 0)), makeTime(2024, 5, 5, 10, 30));
}

TEST(ScheduleLockingTest, DueTestReadsTheLastRunUnderTheTaskLock) {
    CTask task = waitingTask(kScheduleEveryDay, 10, 30);
    std::atomic<bool> done{false};
    std::thread reader;
    {
        std::lock_guard lock(task.mutex());
        reader = std::thread([&] {
            EXPECT_TRUE(isDue(task, makeTime(2024, 5, 5, 10, 30)));
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(done.load());
    }
    reader.join();
    EXPECT_TRUE(done.load());
}

}  // namespace
}  // namespace keelvault
