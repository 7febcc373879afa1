#pragma once

#include <string>
#include <vector>

#include "core/editing/check_result.h"

namespace keelvault {

// The task name page: "Task Name" and "Comment".
enum class TaskNameField { Name };

struct TaskNameTexts {
    std::string name;
    std::string comment;
};

// The name first shown: the stored name, or "Task N" with N the number of
// tasks in the list plus one. It is not made unique; the check refuses it.
std::string proposedTaskName(const std::string& stored_name, int task_count);

// The name as typed (no trimming) must not be empty and must differ, exactly
// and case-sensitively, from every name in `task_names` except the one at
// `edit_index` (-1 for a new task).
CheckResult<TaskNameTexts, TaskNameField> checkTaskName(const TaskNameTexts& texts,
                                                        const std::vector<std::string>& task_names, int edit_index);

}  // namespace keelvault
