#include <iostream>

#include "cli/cli_common.h"
#include "cli/task_json.h"

namespace keelvault::cli {

int runShow(const std::vector<std::string>& words) {
    Args args;
    if (!parseArgs(words, false, args)) return 1;
    if (!args.positional.empty()) {
        std::cerr << "keelvault-cli show: unexpected argument " << args.positional.front() << "\n";
        return 1;
    }
    CTaskList list;
    if (!loadTasksOrReport(args, list)) return 1;
    std::cout << taskListToJson(list);
    return 0;
}

}  // namespace keelvault::cli
