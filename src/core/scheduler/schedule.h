#pragma once

#include <string>

#include "core/model/task.h"
#include "core/model/task_time.h"

namespace keelvault {

// Whether the task is due at `now` (minute granularity). Reads the task only.
bool isDue(const CTask& task, const TaskTime& now);

// Rewrites the task's next_run for `now` (second always 0), or clears it or
// leaves it as the schedule says.
void computeNextRun(CTask& task, const TaskTime& now);

// The display text of a date-time. A negative day_of_week asks for no day name.
std::string formatTaskTime(int year, int month, int day, int hour, int minute, int second, int day_of_week,
                           int date_format, int time_format, bool show_seconds);
std::string formatTaskTime(const TaskTime& t, int date_format, int time_format, bool show_seconds);

}  // namespace keelvault
