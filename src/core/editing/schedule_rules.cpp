#include "core/editing/schedule_rules.h"

#include <algorithm>
#include <limits>

#include "core/editing/number_text.h"
#include "core/model/task_time.h"

namespace keelvault {

namespace {

constexpr const char* kChooseHour = "Please choose the hour of run time!";
constexpr const char* kChooseMinute = "Please choose the minute of run time!";

bool hourSet(int32_t hour) {
    return hour >= 0 && hour <= 23;
}
bool minuteSet(int32_t minute) {
    return minute >= 0 && minute <= 59;
}
bool anySet(const auto& flags) {
    return std::any_of(flags.begin(), flags.end(), [](uint8_t f) { return f != 0; });
}
bool specialDateSet(const CSchedule& s) {
    return s.year > 0 && isValidDate(s.year, s.month, s.day);
}

void clearDays(CSchedule& s) {
    s.week_days.fill(0);
    s.month_days.fill(0);
}
void clearSpecialDate(CSchedule& s) {
    s.year = 0;
    s.month = 0;
    s.day = 0;
    s.every_n_days = 0;
}

// The time of a dialog's lists, or the failure naming the empty list.
std::optional<CheckFailure<ScheduleField>> takeTime(CSchedule& s, const RunTimeChoice& time) {
    if (!time.hour || !hourSet(*time.hour)) return refuse(kChooseHour, ScheduleField::Hour);
    if (!time.minute || !minuteSet(*time.minute)) return refuse(kChooseMinute, ScheduleField::Minute);
    s.hour = *time.hour;
    s.minute = *time.minute;
    return std::nullopt;
}

// The leading digits of a text as a number; a huge count cannot overflow.
int32_t leadingNumber(const std::string& text) {
    const size_t digits = text.find_first_not_of("0123456789");
    const int64_t value = numberTextValue(text.substr(0, digits)).value_or(0);
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

// The time fields of the working copy, or the failure of a page's Next.
std::optional<CheckFailure<ScheduleField>> timeFailure(const CSchedule& s, const char* message) {
    if (!hourSet(s.hour)) return refuse(message, ScheduleField::Hour);
    if (!minuteSet(s.minute)) return refuse(message, ScheduleField::Minute);
    return std::nullopt;
}

}  // namespace

ScheduleResult applyIntervalSettings(const CSchedule& working, const std::string& minutes) {
    if (!numberTextInRange(minutes, 1, 99999)) {
        return refuse("Please input a number between 1 and 99999!", ScheduleField::Minutes);
    }
    CSchedule s = working;
    s.interval_minutes = static_cast<int32_t>(*numberTextValue(minutes));
    s.hour = 0;
    s.minute = 0;
    clearDays(s);
    clearSpecialDate(s);
    return s;
}

ScheduleResult applyEveryDaySettings(const CSchedule& working, const RunTimeChoice& time) {
    CSchedule s = working;
    if (auto failure = takeTime(s, time)) return *failure;
    clearDays(s);
    clearSpecialDate(s);
    s.interval_minutes = 0;
    return s;
}

ScheduleResult applyEveryWeekSettings(const CSchedule& working, const RunTimeChoice& time,
                                      const std::array<uint8_t, 7>& week_days) {
    CSchedule s = working;
    if (auto failure = takeTime(s, time)) return *failure;
    if (!anySet(week_days)) return refuse("Please choose the days of the week!", ScheduleField::WeekDays);
    clearDays(s);
    clearSpecialDate(s);
    s.interval_minutes = 0;
    s.week_days = week_days;
    return s;
}

ScheduleResult applyEveryMonthSettings(const CSchedule& working, const RunTimeChoice& time,
                                       const std::array<uint8_t, 31>& month_days) {
    CSchedule s = working;
    if (auto failure = takeTime(s, time)) return *failure;
    if (!anySet(month_days)) return refuse("Please choose the days of the month!", ScheduleField::MonthDays);
    clearDays(s);
    clearSpecialDate(s);
    s.interval_minutes = 0;
    s.month_days = month_days;
    return s;
}

ScheduleResult applySpecialDateSettings(const CSchedule& working, const RunTimeChoice& time, int32_t year,
                                        int32_t month, int32_t day, const std::string& repeat_days) {
    CSchedule s = working;
    if (auto failure = takeTime(s, time)) return *failure;
    clearDays(s);
    s.interval_minutes = 0;
    s.year = year;
    s.month = month;
    s.day = day;
    s.every_n_days = leadingNumber(repeat_days);
    return s;
}

uint8_t scheduleChoiceFor(const CSchedule& schedule) {
    if (schedule.kind >= kScheduleEveryDay && schedule.kind <= kScheduleTimeInterval) return schedule.kind;
    return kScheduleManual;
}

ScheduleResult checkSchedulePage(const CSchedule& working, std::optional<uint8_t> chosen_kind) {
    if (!chosen_kind) return refuse("Please choose task schedule options!", ScheduleField::Choice);
    CSchedule s = working;
    switch (*chosen_kind) {
        case kScheduleManual:
            s = CSchedule{};
            s.interval_minutes = 0;
            return s;
        case kScheduleTimeInterval:
            if (s.interval_minutes < 1 || s.interval_minutes > 99999) {
                return refuse("Please set the Time Interval Settings!", ScheduleField::Minutes);
            }
            s.hour = 0;
            s.minute = 0;
            clearDays(s);
            clearSpecialDate(s);
            break;
        case kScheduleEveryDay:
            if (auto failure = timeFailure(s, "Please set the Every Day Settings!")) return *failure;
            clearDays(s);
            clearSpecialDate(s);
            s.interval_minutes = 0;
            break;
        case kScheduleEveryWeek: {
            constexpr const char* message = "Please set the Every Week Settings!";
            if (auto failure = timeFailure(s, message)) return *failure;
            if (!anySet(s.week_days)) return refuse(message, ScheduleField::WeekDays);
            s.month_days.fill(0);
            clearSpecialDate(s);
            s.interval_minutes = 0;
            break;
        }
        case kScheduleEveryMonth: {
            constexpr const char* message = "Please set the Every Month Settings!";
            if (auto failure = timeFailure(s, message)) return *failure;
            if (!anySet(s.month_days)) return refuse(message, ScheduleField::MonthDays);
            s.week_days.fill(0);
            clearSpecialDate(s);
            s.interval_minutes = 0;
            break;
        }
        case kScheduleSpecialDate: {
            constexpr const char* message = "Please set the Special Date Settings!";
            if (auto failure = timeFailure(s, message)) return *failure;
            // A date the calendar cannot show (the 30th of February) would never come.
            if (!specialDateSet(s)) return refuse(message, ScheduleField::Date);
            clearDays(s);
            s.interval_minutes = 0;
            break;
        }
        default:
            return refuse("Please choose task schedule options!", ScheduleField::Choice);
    }
    s.kind = *chosen_kind;
    return s;
}

}  // namespace keelvault
