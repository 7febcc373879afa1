#pragma once

#include "core/model/task.h"
#include "core/scheduler/task_environment.h"

namespace keelvault {

// Deletes the expired backup copies of a backup-to-files task (by age or by
// count, from its backup options): files, then the copy's folder if it is
// empty, then the entry. After any deletion saves the task list once and logs
// one line. Touches the disk only when a copy has expired. Returns whether
// any copy was deleted.
bool applyRetention(CTask& task, TaskEnvironment& env);

}  // namespace keelvault
