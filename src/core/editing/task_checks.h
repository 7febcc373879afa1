#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/model/task.h"

namespace keelvault {

// Why a whole task cannot be saved: the message its pages would show and the
// failing field, named as the task's JSON names it, nested names joined with
// '.' ("source.port", "backup_options.file_name_format", "schedule.week_days").
struct TaskCheckFailure {
    std::string message;
    std::string field;

    bool operator==(const TaskCheckFailure&) const = default;
};

struct TaskCheckContext {
    // The names of the tasks in the list, in list order.
    std::vector<std::string> task_names;
    // The position of the task being replaced, whose own name is not a
    // duplicate; -1 for a new task.
    int edit_index = -1;
};

// Runs, in page order, every check of the pages that the task's type has
// (name, servers, selection, output, buffer, schedule), each fed with the
// texts its page would show for the stored values. Stored paths are taken as
// they stand: an empty one is refused rather than replaced by a default
// name, so a saved task always holds what its run needs. Like the pages, the
// folder checks create one missing folder level.
//
// A task type outside 1..8 is refused on "task_type".
std::optional<TaskCheckFailure> checkTaskForSave(const CTask& task, const TaskCheckContext& context);

}  // namespace keelvault
