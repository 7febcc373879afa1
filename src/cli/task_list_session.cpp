#include "cli/task_list_session.h"

#include <iostream>

#include "core/model/task_list_file.h"
#include "core/platform/data_folder.h"
#include "core/platform/service_probe.h"

namespace keelvault::cli {

TaskListSession::TaskListSession(const Paths& paths, std::string command, bool may_be_missing)
    : paths_(paths), command_(std::move(command)) {
    env_.data_folder = paths_.data_folder;
    service_ = std::make_unique<TaskListService>(server_, env_,
                                                 [this] { return server_.saveTasksTo(paths_.tasks_file); });
    if (probeServiceRunning(paths_.data_folder)) {
        std::cerr << kServiceRunningMessage << "\n";
        return;
    }
    CTaskList list;
    std::error_code ec;
    if (!(may_be_missing && !std::filesystem::exists(paths_.tasks_file, ec))) {
        if (!loadTasksOrReport(paths_.tasks_file, list)) return;
    }
    if (!ensureDataFolders(paths_.data_folder)) {
        fail("cannot create the data folder " + paths_.data_folder.string());
        return;
    }
    addStoredTasks(list, server_);
    ok_ = true;
}

int TaskListSession::find(const std::string& name) {
    const int index = service_->indexOf(name);
    if (index < 0) fail("no task named " + name);
    return index;
}

bool TaskListSession::report(const EditOutcome& outcome) {
    if (!outcome.ok()) {
        fail(outcome.refusal);
        return false;
    }
    if (!outcome.saved) {
        fail("failed to save the task list to " + paths_.tasks_file.string());
        return false;
    }
    return true;
}

}  // namespace keelvault::cli
