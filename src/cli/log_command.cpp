#include <iostream>

#include "cli/cli_common.h"
#include "core/model/task_log.h"
#include "core/platform/data_folder.h"
#include "core/scheduler/display_text.h"

namespace keelvault::cli {

int runLog(const std::vector<std::string>& words) {
    Args args;
    if (!parseArgs(words, true, args)) return 1;
    if (args.positional.size() != 1) {
        std::cerr << "keelvault-cli log: give exactly one task name\n";
        return 1;
    }
    CTaskList list;
    if (!loadTasksOrReport(args, list)) return 1;
    const int index = findTaskByName(list, args.positional.front());
    if (index < 0) {
        std::cerr << "keelvault-cli log: no task named " << args.positional.front() << "\n";
        return 1;
    }
    const CSystemOptions options = loadOptionsOrDefaults(args.data_folder);
    const std::string& log_name = list.at(index).log_name;
    const auto logs = logsFolderPath(args.data_folder);
    const std::vector<LogRecord> records = args.all ? readAllLog(logs, log_name) : readLastLog(logs, log_name, 200);
    for (const LogRecord& r : records) std::cout << logRecordTxtLine(r, options);
    return 0;
}

}  // namespace keelvault::cli
