#pragma once

#include <memory>
#include <string>

#include "cli/cli_common.h"
#include "core/editing/task_list_service.h"
#include "core/scheduler/task_environment.h"
#include "core/scheduler/task_server.h"

namespace keelvault::cli {

// A task list opened to be changed: the stored list in a server at rest (no
// workers: a start is recorded for the runner that loads the list), and the
// service that changes it and writes it back to the file.
class TaskListSession {
public:
    // Prints why when the list cannot be opened: the service holds it, the
    // file is damaged, or it is missing (unless `may_be_missing`).
    TaskListSession(const Paths& paths, std::string command, bool may_be_missing = false);

    bool ok() const { return ok_; }
    TaskListService& service() { return *service_; }
    TaskServer& server() { return server_; }
    // The task's index; prints "no task named" and gives -1 when there is none.
    int find(const std::string& name);
    // Prints the refusal of an outcome; true when it went through and was saved.
    bool report(const EditOutcome& outcome);
    int fail(const std::string& text) const { return cli::fail(command_, text); }
    const std::string& command() const { return command_; }
    const Paths& paths() const { return paths_; }

private:
    Paths paths_;
    std::string command_;
    TaskEnvironment env_;
    TaskServer server_;
    std::unique_ptr<TaskListService> service_;
    bool ok_ = false;
};

}  // namespace keelvault::cli
