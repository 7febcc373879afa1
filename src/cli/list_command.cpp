#include <iostream>

#include "cli/cli_common.h"
#include "core/platform/service_probe.h"
#include "core/scheduler/display_text.h"

namespace keelvault::cli {

int runList(const Paths& paths) {
    CTaskList list;
    if (!loadTasksOrReport(paths.tasks_file, list)) return 1;
    const CSystemOptions options = loadOptionsOrDefaults(paths.data_folder);
    const bool service_running = probeServiceRunning(paths.data_folder);
    for (int i = 0; i < list.count(); ++i) {
        const TaskRowText row = taskRowText(list.at(i), options, service_running);
        std::cout << row.name << '\t' << row.status << '\t' << row.last_run << '\t' << row.next_run << '\t'
                  << row.type << '\t' << row.schedule << '\n';
    }
    return 0;
}

}  // namespace keelvault::cli
