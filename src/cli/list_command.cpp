#include <iostream>

#include "cli/cli_common.h"
#include "core/platform/service_probe.h"
#include "core/scheduler/display_text.h"

namespace keelvault::cli {

int runList(const std::vector<std::string>& words) {
    Args args;
    if (!parseArgs(words, false, args)) return 1;
    if (!args.positional.empty()) {
        std::cerr << "keelvault-cli list: unexpected argument " << args.positional.front() << "\n";
        return 1;
    }
    CTaskList list;
    if (!loadTasksOrReport(args, list)) return 1;
    const CSystemOptions options = loadOptionsOrDefaults(args.data_folder);
    const bool service_running = probeServiceRunning(args.data_folder);
    for (int i = 0; i < list.count(); ++i) {
        const TaskRowText row = taskRowText(list.at(i), options, service_running);
        std::cout << row.name << '\t' << row.status << '\t' << row.last_run << '\t' << row.next_run << '\t'
                  << row.type << '\t' << row.schedule << '\n';
    }
    return 0;
}

}  // namespace keelvault::cli
