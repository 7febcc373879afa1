#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/editing/check_result.h"
#include "core/model/task.h"

namespace keelvault {

// The schedule page and its five settings dialogs work on a copy of the
// task's schedule. An hour outside 0..23 or a minute outside 0..59 counts as
// not set.
//
// Focus: in a dialog, the named control. On the page, Choice is the radio
// buttons and every other field the "Settings..." button of the chosen kind.
enum class ScheduleField { Choice, Minutes, Hour, Minute, WeekDays, MonthDays, Date };

// The time lists of a dialog; nullopt where nothing is selected.
struct RunTimeChoice {
    std::optional<int32_t> hour;
    std::optional<int32_t> minute;
};

using ScheduleResult = CheckResult<CSchedule, ScheduleField>;

// "Time Interval Settings...": 1..99999 minutes (empty counts as 0). Sets the
// interval and clears the time (to 0:00), the days and the special date.
ScheduleResult applyIntervalSettings(const CSchedule& working, const std::string& minutes);
// "Every Day Settings...": sets the time, clears the days, the special date,
// its repeat and the interval.
ScheduleResult applyEveryDaySettings(const CSchedule& working, const RunTimeChoice& time);
// "Every Week Settings...": needs a weekday (Sunday first); sets the time
// and the weekdays, clears the rest.
ScheduleResult applyEveryWeekSettings(const CSchedule& working, const RunTimeChoice& time,
                                      const std::array<uint8_t, 7>& week_days);
// "Every Month Settings...": needs a day of the month; sets the time and the
// days, clears the rest.
ScheduleResult applyEveryMonthSettings(const CSchedule& working, const RunTimeChoice& time,
                                       const std::array<uint8_t, 31>& month_days);
// "Special Date Settings...": the calendar's date and the repeat days as a
// number (empty counts as 0); sets time, date and repeat, clears the rest.
ScheduleResult applySpecialDateSettings(const CSchedule& working, const RunTimeChoice& time, int32_t year,
                                        int32_t month, int32_t day, const std::string& repeat_days);

// The radio button the page checks for a stored schedule: its kind, with
// anything outside 1..5 counting as Manual.
uint8_t scheduleChoiceFor(const CSchedule& schedule);

// Next: the chosen kind (nullopt when no radio button is checked) must have
// complete settings in the working copy. The result is the schedule to store:
// the kind set and every field the kind does not use cleared.
ScheduleResult checkSchedulePage(const CSchedule& working, std::optional<uint8_t> chosen_kind);

}  // namespace keelvault
