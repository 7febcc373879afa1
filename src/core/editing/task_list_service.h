#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/model/task.h"

namespace keelvault {

class TaskEnvironment;
class TaskServer;

// Shown instead of any change to the task list while the companion service holds it.
extern const char* const kServiceRunningMessage;
// The mark a task carries between the two passes of Delete; no real ref_text has it.
inline constexpr const char* kDeletionMark = "##__@@--$$(([]}}";

inline constexpr const char* kEditNotIdleMessage = "Please STOP the task first, and then EDIT it!";
inline constexpr const char* kLoadFailedMessage = "Failed to load the task list from the file!";

// Puts stored tasks into the server keeping their ref_text and run_now
// (addTask would renew them).
void addStoredTasks(const CTaskList& list, TaskServer& server);

// How a command ended: refused (with the message to show) or done.
struct EditOutcome {
    std::string refusal;
    int index = -1;      // the task added or changed
    bool saved = true;   // false when the list could not be written afterwards
    bool ok() const { return refusal.empty(); }
};

// The one place that changes the task list: adding, editing, copying,
// deleting, renaming and loading tasks, with their log lines and saves, and
// the start, stop and run commands. The desktop view and keelvault-cli both
// call it; questions to the user stay with the caller, which asks before it
// calls.
//
// Runs on the thread that owns the TaskServer. With a server that has no
// environment (a list at rest, as keelvault-cli edits it) no worker is
// started: a start is recorded in the task's status for the runner that
// loads the list.
class TaskListService {
public:
    // `save_list` writes the whole list where its owner keeps it.
    TaskListService(TaskServer& server, TaskEnvironment& env, std::function<bool()> save_list);

    // True while the companion service holds the list; every change is refused then.
    bool held() const;

    // The steps of finishing the wizard on a new record: Idle, created now,
    // its own log file name and an empty log. A new task has made no runs
    // and no backups.
    CTask prepareNewTask(const CTask& task) const;
    // After a new task: add, save, append it to "newtasks.tsk" when asked,
    // log `log_line`, then start it when scheduled. A Manual task is left
    // Idle for the caller's run question (runTask on Yes).
    EditOutcome addNewTask(const CTask& prepared, const std::string& log_line, bool append_to_new_tasks);
    // The edited copy replaces task `index` (only while it is Idle), then
    // save, "Edit task", start when scheduled, else Idle.
    EditOutcome replaceTask(int index, const CTask& edited);
    // Copies of the tasks at `indexes`, each Idle with its own empty log and
    // no backups; returns the copies' indexes.
    std::vector<int> copyTasks(const std::vector<int>& indexes);
    // Stops, marks and removes the tasks with their logs, then saves.
    bool deleteTasks(const std::vector<int>& indexes);
    bool deleteAll();
    // The refusal of a task name (empty, or another task's than the one at
    // `own_index`), or an empty text.
    std::string nameRefusal(const std::string& name, int own_index = -1) const;
    // The names of the tasks, in list order.
    std::vector<std::string> taskNames() const;
    // The refusal of a new name for task `index`, or an empty text.
    std::string renameRefusal(int index, const std::string& name) const;
    // Renames under the task's lock, so a running engine never sees a torn
    // name. The list is written with the next save.
    EditOutcome renameTask(int index, const std::string& name);
    // Replaces the list by a .tsk file (running tasks stopped, the new ones
    // started when the runner was). Refusal kLoadFailedMessage on failure.
    EditOutcome loadFrom(const std::filesystem::path& file);
    bool saveAs(const std::filesystem::path& file) const;
    bool save() const;

    // Start: an Idle scheduled task gets "Start task" and is started.
    bool start(int index);
    // Stop: a Waiting or Running task gets "Stop task" and is stopped, Idle.
    bool stop(int index);
    // Run Immediately: a task that is not Running gets "Run task immediately" and runs.
    bool runImmediately(int index);
    int startAll();
    int stopAll();
    // Starts a task without a log line: run_now on asks for one run at once.
    void startTask(int index, bool run_now);

    int indexOf(const std::string& name) const;

private:
    bool validIndex(int index) const;
    void deleteLogOf(const CTask& task) const;
    std::string freshLogName(const std::string& task_name, const TaskTime& created) const;
    void markAndStop(int index);

    TaskServer& server_;
    TaskEnvironment& env_;
    std::function<bool()> save_list_;
};

}  // namespace keelvault
