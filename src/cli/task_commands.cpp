// The subcommands that change the task list, all through the task-list service.
#include <iostream>

#include "cli/cli_common.h"
#include "cli/task_json.h"
#include "cli/task_list_session.h"
#include "core/editing/task_checks.h"

namespace keelvault::cli {

namespace {

// Reads FILE (or standard input) as one task object onto `task`.
bool readTask(const std::string& command, const std::string& input, CTask& task) {
    std::string text, error;
    Json json;
    if (!readInput(command, input, text)) return false;
    if (!parseJson(text, json, error) || !taskFromJson(json, task, error)) {
        fail(command, error);
        return false;
    }
    return true;
}

// The checks of the pages the task's type has, as the wizard and the
// property sheet run them; a refusal names the field as the JSON does.
bool checkFields(TaskListSession& session, const CTask& task, int own_index) {
    const TaskCheckContext context{session.service().taskNames(), own_index};
    const std::optional<TaskCheckFailure> failure = checkTaskForSave(task, context);
    if (!failure) return true;
    std::string message = failure->message;
    for (char& c : message) {
        if (c == '\n') c = ' ';
    }
    session.fail("field \"" + failure->field + "\": " + message);
    return false;
}

}  // namespace

int runAdd(const Paths& paths, const std::string& input, bool run, const EngineSetup& setup) {
    // Every field left out keeps the default of a new record of its type.
    CTask task;
    if (!readTask("add", input, task)) return 1;
    TaskListSession session(paths, "add", true);
    if (!session.ok()) return 1;
    TaskListService& service = session.service();
    if (!checkFields(session, task, -1)) return 1;

    const CTask prepared = service.prepareNewTask(task);
    const EditOutcome outcome = service.addNewTask(prepared, "Create task", true);
    if (!session.report(outcome)) return 1;
    const CTask& added = session.server().taskAt(outcome.index);
    std::cout << "keelvault-cli add: created task " << added.name << " (" << taskStatusText(added.status.load())
              << ")\n";
    return run ? runRun(paths, added.name, setup) : 0;
}

int runEdit(const Paths& paths, const std::string& name, const std::string& input) {
    TaskListSession session(paths, "edit");
    if (!session.ok()) return 1;
    const int index = session.find(name);
    if (index < 0) return 1;
    // The fields the object names replace the task's own; the rest stay.
    CTask edited = session.server().copyTask(index);
    if (!readTask("edit", input, edited)) return 1;
    TaskListService& service = session.service();
    if (!checkFields(session, edited, index)) return 1;
    if (!session.report(service.replaceTask(index, edited))) return 1;
    std::cout << "keelvault-cli edit: changed task " << edited.name << "\n";
    return 0;
}

int runDelete(const Paths& paths, const std::string& name) {
    TaskListSession session(paths, "delete");
    if (!session.ok()) return 1;
    const int index = session.find(name);
    if (index < 0) return 1;
    if (!session.service().deleteTasks({index})) return session.fail("failed to save the task list");
    std::cout << "keelvault-cli delete: deleted task " << name << "\n";
    return 0;
}

int runCopy(const Paths& paths, const std::string& name) {
    TaskListSession session(paths, "copy");
    if (!session.ok()) return 1;
    const int index = session.find(name);
    if (index < 0) return 1;
    const std::vector<int> copies = session.service().copyTasks({index});
    if (copies.empty()) return session.fail("the task could not be copied");
    std::cout << "keelvault-cli copy: created task " << session.server().taskAt(copies.front()).name << "\n";
    return 0;
}

int runRename(const Paths& paths, const std::string& name, const std::string& new_name) {
    TaskListSession session(paths, "rename");
    if (!session.ok()) return 1;
    const int index = session.find(name);
    if (index < 0) return 1;
    if (!session.report(session.service().renameTask(index, new_name))) return 1;
    // The desktop writes a rename with its next save; this process ends now.
    if (!session.service().save()) return session.fail("failed to save the task list");
    std::cout << "keelvault-cli rename: renamed task " << name << " to " << new_name << "\n";
    return 0;
}

int runStart(const Paths& paths, const std::string& name) {
    TaskListSession session(paths, "start");
    if (!session.ok()) return 1;
    const int index = session.find(name);
    if (index < 0) return 1;
    if (!session.service().start(index)) {
        return session.fail("task " + name + " is not a stopped task with a schedule (a Manual task runs with run)");
    }
    if (!session.service().save()) return session.fail("failed to save the task list");
    std::cout << "keelvault-cli start: started task " << name << "\n";
    return 0;
}

int runStop(const Paths& paths, const std::string& name) {
    TaskListSession session(paths, "stop");
    if (!session.ok()) return 1;
    const int index = session.find(name);
    if (index < 0) return 1;
    if (!session.service().stop(index)) return session.fail("task " + name + " is neither waiting nor running");
    if (!session.service().save()) return session.fail("failed to save the task list");
    std::cout << "keelvault-cli stop: stopped task " << name << "\n";
    return 0;
}

}  // namespace keelvault::cli
