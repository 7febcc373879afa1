#include "core/model/task_time.h"

namespace keelvault {

namespace {

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

int64_t floorMod(int64_t a, int64_t b) { return a - floorDiv(a, b) * b; }

// Civil date of a day count since 1970-01-01 (era-based, exact for any year).
void civilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
    z += 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t doe = z - era * 146097;                                   // [0, 146096]
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);              // [0, 365]
    const int64_t mp = (5 * doy + 2) / 153;                                  // [0, 11]
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    // Months outside 1..12 roll into neighbouring years so that any field
    // values give a defined day count.
    y += floorDiv(m - 1, 12);
    m = floorMod(m - 1, 12) + 1;
    y -= m <= 2 ? 1 : 0;
    const int64_t era = floorDiv(y, 400);
    const int64_t yoe = y - era * 400;                                   // [0, 399]
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;  // days beyond the month spill over
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

TaskTime withDayNumber(const TaskTime& t, int64_t dn) {
    int64_t y = 0, m = 0, d = 0;
    civilFromDays(dn, y, m, d);
    TaskTime r = t;
    r.year = static_cast<int32_t>(y);
    r.month = static_cast<int32_t>(m);
    r.day = static_cast<int32_t>(d);
    r.day_of_week = static_cast<int32_t>(floorMod(dn + 4, 7) + 1);
    return r;
}

}  // namespace

TaskTime localTimeOf(std::time_t t) {
    std::tm tm{};
    TaskTime r;
    if (!::localtime_r(&t, &tm)) return r;
    r.year = tm.tm_year + 1900;
    r.month = tm.tm_mon + 1;
    r.day = tm.tm_mday;
    r.hour = tm.tm_hour;
    r.minute = tm.tm_min;
    r.second = tm.tm_sec;
    r.day_of_week = tm.tm_wday + 1;
    return r;
}

TaskTime currentLocalTime() { return localTimeOf(std::time(nullptr)); }

bool isLeapYear(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t daysInMonth(int32_t year, int32_t month) {
    static constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && isLeapYear(year)) return 29;
    return kDays[month - 1];
}

bool isValidDate(int32_t year, int32_t month, int32_t day) { return day >= 1 && day <= daysInMonth(year, month); }

int64_t dayNumber(int32_t year, int32_t month, int32_t day) { return daysFromCivil(year, month, day); }

int32_t dayOfWeek(int32_t year, int32_t month, int32_t day) {
    // 1970-01-01 was a Thursday.
    return static_cast<int32_t>(floorMod(dayNumber(year, month, day) + 4, 7) + 1);
}

TaskTime addDays(const TaskTime& t, int64_t days) {
    return withDayNumber(t, dayNumber(t.year, t.month, t.day) + days);
}

TaskTime addMinutes(const TaskTime& t, int64_t minutes) {
    const int64_t total = static_cast<int64_t>(t.hour) * 60 + t.minute + minutes;
    TaskTime r = withDayNumber(t, dayNumber(t.year, t.month, t.day) + floorDiv(total, 1440));
    const int64_t in_day = floorMod(total, 1440);
    r.hour = static_cast<int32_t>(in_day / 60);
    r.minute = static_cast<int32_t>(in_day % 60);
    return r;
}

double daysBetween(const TaskTime& a, const TaskTime& b) {
    const int64_t days = dayNumber(b.year, b.month, b.day) - dayNumber(a.year, a.month, a.day);
    const int64_t secs_a = static_cast<int64_t>(a.hour) * 3600 + static_cast<int64_t>(a.minute) * 60 + a.second;
    const int64_t secs_b = static_cast<int64_t>(b.hour) * 3600 + static_cast<int64_t>(b.minute) * 60 + b.second;
    return static_cast<double>(days) + static_cast<double>(secs_b - secs_a) / 86400.0;
}

}  // namespace keelvault
