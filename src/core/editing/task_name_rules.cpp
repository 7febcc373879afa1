#include "core/editing/task_name_rules.h"

namespace keelvault {

std::string proposedTaskName(const std::string& stored_name, int task_count) {
    if (!stored_name.empty()) return stored_name;
    return "Task " + std::to_string(task_count + 1);
}

CheckResult<TaskNameTexts, TaskNameField> checkTaskName(const TaskNameTexts& texts,
                                                        const std::vector<std::string>& task_names, int edit_index) {
    if (texts.name.empty()) return refuse("Please input task name!", TaskNameField::Name);
    for (size_t i = 0; i < task_names.size(); ++i) {
        if (static_cast<int>(i) == edit_index) continue;
        if (task_names[i] == texts.name) {
            return refuse("The task name is already existed!\nPlease choose a different task name.",
                          TaskNameField::Name);
        }
    }
    return texts;
}

}  // namespace keelvault
