#include "core/scheduler/schedule.h"

#include <cmath>
#include <mutex>

namespace keelvault {

namespace {

// The current minute still counts as not yet passed.
bool runTimeNotPassed(const TaskTime& now, const CSchedule& s) {
    return now.hour < s.hour || (now.hour == s.hour && now.minute <= s.minute);
}

bool timeMatches(const TaskTime& now, const CSchedule& s) { return now.hour == s.hour && now.minute == s.minute; }

bool sameMinute(const TaskTime& a, const TaskTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute;
}

bool isSpecialDateToday(const TaskTime& now, const CSchedule& s) {
    return now.year == s.year && now.month == s.month && now.day == s.day;
}

bool isSpecialDateLater(const TaskTime& now, const CSchedule& s) {
    if (s.year != now.year) return s.year > now.year;
    if (s.month != now.month) return s.month > now.month;
    return s.day > now.day;
}

TaskTime specialDateStart(const CSchedule& s) {
    TaskTime t;
    t.year = s.year;
    t.month = s.month;
    t.day = s.day;
    return t;
}

// Whole days from the special date's midnight to `t`, truncated toward zero.
int64_t elapsedDays(const CSchedule& s, const TaskTime& t) {
    return static_cast<int64_t>(std::trunc(daysBetween(specialDateStart(s), t)));
}

// The given day at the schedule's time of day.
TaskTime atRunTime(int32_t year, int32_t month, int32_t day, const CSchedule& s) {
    TaskTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = s.hour;
    t.minute = s.minute;
    t.second = 0;
    t.day_of_week = dayOfWeek(year, month, day);
    return t;
}

TaskTime dayAtRunTime(const TaskTime& day, const CSchedule& s) { return atRunTime(day.year, day.month, day.day, s); }

TaskTime dropSeconds(TaskTime t) {
    t.second = 0;
    return t;
}

bool isValidDateTime(const TaskTime& t) {
    return t.year > 0 && isValidDate(t.year, t.month, t.day) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
           t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

bool monthDayMarked(const CSchedule& s, int32_t day) {
    return day >= 1 && day <= 31 && s.month_days[static_cast<size_t>(day - 1)] == 1;
}

bool isDueBySchedule(const CSchedule& s, const TaskTime& now, const TaskTime& started_at) {
    switch (s.kind) {
    case kScheduleEveryDay:
        return timeMatches(now, s);
    case kScheduleEveryWeek: {
        const int32_t wd = dayOfWeek(now.year, now.month, now.day);
        return s.week_days[static_cast<size_t>(wd - 1)] == 1 && timeMatches(now, s);
    }
    case kScheduleEveryMonth:
        return monthDayMarked(s, now.day) && timeMatches(now, s);
    case kScheduleSpecialDate:
        if (s.every_n_days == 0) return isSpecialDateToday(now, s) && timeMatches(now, s);
        if (s.every_n_days < 0) return false;
        if (isSpecialDateToday(now, s)) return timeMatches(now, s);
        if (isSpecialDateLater(now, s)) return false;
        return elapsedDays(s, now) % s.every_n_days == 0 && timeMatches(now, s);
    case kScheduleTimeInterval: {
        // A stored period below one minute would divide by zero; such a task never runs.
        if (started_at.year <= 0 || s.interval_minutes <= 0) return false;
        const double days = daysBetween(dropSeconds(started_at), now);
        // The small addend keeps a whole minute that floating point puts just below it.
        const int64_t m = static_cast<int64_t>(std::trunc(days * 1440.0 + 5.787037037037037e-6));
        return m > 0 && m % s.interval_minutes == 0;
    }
    default:
        return false;
    }
}

void nextRunEveryWeek(const CSchedule& s, const TaskTime& now, TaskTime& next) {
    const int32_t wd = dayOfWeek(now.year, now.month, now.day);
    int64_t found = -1;
    if (s.week_days[static_cast<size_t>(wd - 1)] == 1 && runTimeNotPassed(now, s)) {
        found = 0;
    } else {
        for (int i = 1; i <= 7; ++i) {
            if (s.week_days[static_cast<size_t>((wd - 1 + i) % 7)] == 1) {
                found = i;
                break;
            }
        }
    }
    if (found < 0) {
        next.clear();
        return;
    }
    next = dayAtRunTime(addDays(now, found), s);
}

void nextRunEveryMonth(const CSchedule& s, const TaskTime& now, TaskTime& next) {
    if (monthDayMarked(s, now.day) && runTimeNotPassed(now, s)) {
        next = dayAtRunTime(now, s);
        return;
    }
    int32_t y = now.year;
    int32_t m = now.month;
    int32_t d = now.day;
    for (int i = 1; i <= 100; ++i) {
        if (isValidDate(y, m, d + 1)) {
            ++d;
        } else {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
        if (monthDayMarked(s, d)) {
            next = dayAtRunTime(addDays(now, i), s);
            return;
        }
    }
    next.clear();
}

void nextRunSpecialDate(const CSchedule& s, const TaskTime& now, TaskTime& next) {
    const bool today = isSpecialDateToday(now, s);
    const bool upcoming = isSpecialDateLater(now, s) || (today && runTimeNotPassed(now, s));
    if (s.every_n_days <= 0) {
        if (s.every_n_days == 0 && upcoming) {
            next = atRunTime(s.year, s.month, s.day, s);
        } else {
            next.clear();
        }
        return;
    }
    next.clear();
    if (upcoming) {
        next = atRunTime(s.year, s.month, s.day, s);
        return;
    }
    // The days from today to the next day whose distance from the special date is a multiple of
    // N, found directly: a loop over the days would take N steps for a large N.
    const int64_t elapsed = elapsedDays(s, now);
    if (elapsed < 0) return;  // only for a malformed special date
    const int64_t rest = elapsed % s.every_n_days;
    int64_t ahead = rest == 0 ? 0 : s.every_n_days - rest;
    if (ahead == 0 && !runTimeNotPassed(now, s)) ahead = s.every_n_days;
    next = dayAtRunTime(addDays(now, ahead), s);
}

void nextRunTimeInterval(const CSchedule& s, const TaskTime& started_at, const TaskTime& last_run,
                         TaskTime& next) {
    if (s.interval_minutes <= 0) return;
    const TaskTime start = dropSeconds(started_at);
    const TaskTime last = dropSeconds(last_run);
    const TaskTime base = isValidDateTime(last) && daysBetween(start, last) > 0 ? last : start;
    if (base.year <= 0) return;
    next = dropSeconds(addMinutes(base, s.interval_minutes));
}

}  // namespace

bool isDue(const CTask& task, const TaskTime& now) {
    switch (task.status.load()) {
    case kStatusRunning:
        return false;
    case kStatusIdle:
        return task.run_now.load() == 1;
    case kStatusWaiting:
        break;
    default:
        return false;
    }
    if (task.run_now.load() == 1) return true;
    if (task.schedule.kind == kScheduleManual) return false;

    TaskTime last_run;
    TaskTime started_at;
    {
        std::lock_guard lock(task.mutex());
        last_run = task.last_run;
        started_at = task.started_at;
    }
    if (sameMinute(last_run, now)) return false;
    return isDueBySchedule(task.schedule, now, started_at);
}

void computeNextRun(CTask& task, const TaskTime& now) {
    const CSchedule& s = task.schedule;
    std::lock_guard lock(task.mutex());
    switch (s.kind) {
    case kScheduleManual:
        task.next_run.clear();
        break;
    case kScheduleEveryDay:
        task.next_run = dayAtRunTime(runTimeNotPassed(now, s) ? now : addDays(now, 1), s);
        break;
    case kScheduleEveryWeek:
        nextRunEveryWeek(s, now, task.next_run);
        break;
    case kScheduleEveryMonth:
        nextRunEveryMonth(s, now, task.next_run);
        break;
    case kScheduleSpecialDate:
        nextRunSpecialDate(s, now, task.next_run);
        break;
    case kScheduleTimeInterval:
        nextRunTimeInterval(s, task.started_at, task.last_run, task.next_run);
        break;
    default:
        break;
    }
}

namespace {

std::string twoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

const char* monthName(int month) {
    static const char* const kNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return month >= 1 && month <= 12 ? kNames[month - 1] : "Unknown";
}

const char* dayName(int day_of_week) {
    static const char* const kNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return day_of_week >= 1 && day_of_week <= 7 ? kNames[day_of_week - 1] : "Unknown";
}

}  // namespace

std::string formatTaskTime(int year, int month, int day, int hour, int minute, int second, int day_of_week,
                           int date_format, int time_format, bool show_seconds) {
    std::string date;
    switch (date_format) {
    case 2:
        date = twoDigits(day) + " " + monthName(month) + ", " + std::to_string(year);
        break;
    case 3:
        date = std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
        break;
    default:
        date = std::string(monthName(month)) + " " + twoDigits(day) + ", " + std::to_string(year);
        break;
    }

    std::string time;
    if (time_format == 1 || time_format == 2) {
        const int shown_hour = time_format == 2 && hour > 11 ? hour - 12 : hour;
        time = twoDigits(shown_hour) + ":" + twoDigits(minute);
        if (show_seconds) time += ":" + twoDigits(second);
        if (time_format == 2) time += hour > 11 ? " P.M" : " A.M";
    }

    if (day_of_week < 0) return date + " " + time;
    return std::string(dayName(day_of_week)) + ", " + date + " " + time;
}

std::string formatTaskTime(const TaskTime& t, int date_format, int time_format, bool show_seconds) {
    // An unset stamp ("never") shows as nothing.
    if (!t.isSet()) return {};
    return formatTaskTime(t.year, t.month, t.day, t.hour, t.minute, t.second, t.day_of_week, date_format,
                          time_format, show_seconds);
}

}  // namespace keelvault
