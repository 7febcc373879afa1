#include <iostream>

#include "cli/cli_common.h"
#include "core/model/task_log.h"
#include "core/platform/data_folder.h"
#include "core/scheduler/display_text.h"

namespace keelvault::cli {

int runLog(const Paths& paths, const std::string& name, bool all) {
    CTaskList list;
    if (!loadTasksOrReport(paths.tasks_file, list)) return 1;
    const int index = findTaskByName(list, name);
    if (index < 0) return fail("log", "no task named " + name);
    const CSystemOptions options = loadOptionsOrDefaults(paths.data_folder);
    const std::string& log_name = list.at(index).log_name;
    const auto logs = logsFolderPath(paths.data_folder);
    const std::vector<LogRecord> records = all ? readAllLog(logs, log_name) : readLastLog(logs, log_name, 200);
    for (const LogRecord& r : records) std::cout << logRecordTxtLine(r, options);
    return 0;
}

}  // namespace keelvault::cli
