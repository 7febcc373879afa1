#pragma once

#include <cstdint>
#include <ctime>

namespace keelvault {

// A broken-down local date-time. All fields zero means "never" / "not set";
// a year of 0 or less counts as not set everywhere.
struct TaskTime {
    int32_t year = 0;
    int32_t month = 0;   // 1..12
    int32_t day = 0;     // 1..31
    int32_t hour = 0;    // 0..23
    int32_t minute = 0;  // 0..59
    int32_t second = 0;  // 0..59
    int32_t day_of_week = 0;  // 1 = Sunday .. 7 = Saturday

    bool isSet() const { return year > 0; }
    void clear() { *this = TaskTime{}; }
    bool operator==(const TaskTime&) const = default;
};

// Current local wall-clock time.
TaskTime currentLocalTime();

// Local time of a point in time.
TaskTime localTimeOf(std::time_t t);

// Calendar helpers (proleptic Gregorian calendar).
bool isLeapYear(int32_t year);
int32_t daysInMonth(int32_t year, int32_t month);   // 0 for a month outside 1..12
bool isValidDate(int32_t year, int32_t month, int32_t day);
int64_t dayNumber(int32_t year, int32_t month, int32_t day);  // days since 1970-01-01
int32_t dayOfWeek(int32_t year, int32_t month, int32_t day);  // 1 = Sunday

// Day-based arithmetic on the calendar fields; the day of week is recomputed.
TaskTime addDays(const TaskTime& t, int64_t days);
TaskTime addMinutes(const TaskTime& t, int64_t minutes);

// (b - a) in days, with the time of day as a fraction.
double daysBetween(const TaskTime& a, const TaskTime& b);

}  // namespace keelvault
