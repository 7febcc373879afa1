#include <iostream>

#include "cli/cli_common.h"
#include "cli/task_json.h"

namespace keelvault::cli {

int runShow(const Paths& paths) {
    CTaskList list;
    if (!loadTasksOrReport(paths.tasks_file, list)) return 1;
    std::cout << taskListToJson(list);
    return 0;
}

int runExport(const Paths& paths, const std::string& name) {
    CTaskList list;
    if (!loadTasksOrReport(paths.tasks_file, list)) return 1;
    const int index = findTaskByName(list, name);
    if (index < 0) return fail("export", "no task named " + name);
    std::cout << printJson(taskToJson(list.at(index)));
    return 0;
}

}  // namespace keelvault::cli
