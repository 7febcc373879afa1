#include "core/editing/task_list_service.h"

#include <system_error>

#include "core/editing/command_rules.h"
#include "core/editing/task_name_rules.h"
#include "core/model/task_list_file.h"
#include "core/model/task_log.h"
#include "core/platform/data_folder.h"
#include "core/scheduler/task_environment.h"
#include "core/scheduler/task_server.h"

namespace keelvault {

const char* const kServiceRunningMessage =
    "Keelvault Service is running now.\n\nThe program can't create, edit, delete, start, stop, run and rename any "
    "task when the service is running.\n\nIf you want to change any settings of the task list, please stop the "
    "service at the menu Tools->Windows Service.";

void addStoredTasks(const CTaskList& list, TaskServer& server) {
    for (int i = 0; i < list.count(); ++i) {
        const int index = server.addTask(list.at(i));
        CTask& task = server.taskAt(index);
        task.ref_text = list.at(i).ref_text;
        task.run_now = list.at(i).run_now.load();
    }
}

TaskListService::TaskListService(TaskServer& server, TaskEnvironment& env, std::function<bool()> save_list)
    : server_(server), env_(env), save_list_(std::move(save_list)) {}

bool TaskListService::held() const {
    return env_.service_running.load();
}

bool TaskListService::validIndex(int index) const {
    return index >= 0 && index < server_.taskCount();
}

bool TaskListService::save() const {
    return save_list_ ? save_list_() : false;
}

bool TaskListService::saveAs(const std::filesystem::path& file) const {
    return server_.saveTasksTo(file);
}

int TaskListService::indexOf(const std::string& name) const {
    for (int i = 0; i < server_.taskCount(); ++i) {
        const CTask& task = server_.taskAt(i);
        std::lock_guard lock(task.mutex());
        if (task.name == name) return i;
    }
    return -1;
}

std::string TaskListService::freshLogName(const std::string& task_name, const TaskTime& created) const {
    // Two tasks of one name made within a second would share a log; each gets its own.
    const auto taken = [&](const std::string& log_name) {
        if (std::filesystem::exists(logFilePath(env_.logsFolder(), log_name))) return true;
        for (const auto& task : server_.tasks()) {
            if (task->log_name == log_name) return true;
        }
        return false;
    };
    const std::string base = makeLogName(task_name, created);
    std::string log_name = base;
    for (int n = 2; taken(log_name); ++n) {
        log_name = base;
        log_name.insert(log_name.size() - 4, "_" + std::to_string(n));
    }
    return log_name;
}

CTask TaskListService::prepareNewTask(const CTask& task) const {
    CTask prepared(task);
    const TaskTime now = env_.now();
    prepared.status = kStatusIdle;
    prepared.run_now = 0;
    prepared.created_at = now;
    prepared.started_at.clear();
    prepared.last_run.clear();
    prepared.next_run.clear();
    // Retention of the new task must never delete files another task made.
    prepared.backups.clear();
    prepared.log_name = freshLogName(prepared.name, now);
    appendLog(env_.logsFolder(), prepared.log_name, kLogInfo, "", now);
    return prepared;
}

void TaskListService::startTask(int index, bool run_now) {
    if (!validIndex(index)) return;
    CTask& task = server_.taskAt(index);
    task.run_now = run_now ? 1 : 0;
    server_.startTask(index);
    if (server_.environment() == nullptr && !run_now && task.schedule.kind != kScheduleManual) {
        task.status = kStatusWaiting;
    }
}

EditOutcome TaskListService::addNewTask(const CTask& prepared, const std::string& log_line, bool append_to_new_tasks) {
    EditOutcome outcome;
    if (held()) {
        outcome.refusal = kServiceRunningMessage;
        return outcome;
    }
    outcome.index = server_.addTask(prepared);
    outcome.saved = save();
    CTask& added = server_.taskAt(outcome.index);
    if (append_to_new_tasks) appendNewTask(newTasksFilePath(env_.data_folder), added);
    env_.log(added, kLogInfo, log_line);
    if (added.schedule.kind != kScheduleManual) {
        startTask(outcome.index, false);
        if (server_.environment() == nullptr) outcome.saved = save() && outcome.saved;
    } else {
        added.status = kStatusIdle;
    }
    return outcome;
}

EditOutcome TaskListService::replaceTask(int index, const CTask& edited) {
    EditOutcome outcome;
    outcome.index = index;
    if (held()) {
        outcome.refusal = kServiceRunningMessage;
        return outcome;
    }
    if (!validIndex(index)) {
        outcome.refusal = "Please choose a task item!";
        return outcome;
    }
    CTask& task = server_.taskAt(index);
    if (task.status.load() != kStatusIdle || server_.hasWorker(index)) {
        outcome.refusal = kEditNotIdleMessage;
        return outcome;
    }
    task = edited;
    task.run_now = 0;
    task.status = kStatusIdle;
    outcome.saved = save();
    env_.log(task, kLogInfo, "Edit task");
    if (task.schedule.kind != kScheduleManual) {
        startTask(index, false);
        if (server_.environment() == nullptr) outcome.saved = save() && outcome.saved;
    }
    return outcome;
}

std::vector<int> TaskListService::copyTasks(const std::vector<int>& indexes) {
    std::vector<int> copies;
    if (held()) return copies;
    for (int index : indexes) {
        if (!validIndex(index)) continue;
        CTask copy = server_.copyTask(index);
        const TaskTime now = env_.now();
        copy.name += "_Copy";
        copy.created_at = now;
        copy.log_name = freshLogName(copy.name, now);
        // The copy made no backups: retention must never delete the source's files.
        copy.backups.clear();
        appendLog(env_.logsFolder(), copy.log_name, kLogInfo, "", now);
        const int added_index = server_.addTask(copy);
        CTask& added = server_.taskAt(added_index);
        added.status = kStatusIdle;
        added.run_now = 0;
        env_.log(added, kLogInfo, "Create task by Copy");
        copies.push_back(added_index);
    }
    if (!copies.empty()) save();
    return copies;
}

void TaskListService::deleteLogOf(const CTask& task) const {
    if (task.log_name.empty()) return;
    std::error_code ec;
    std::filesystem::remove(logFilePath(env_.logsFolder(), task.log_name), ec);
}

void TaskListService::markAndStop(int index) {
    CTask& task = server_.taskAt(index);
    if (task.status.load() != kStatusIdle || server_.hasWorker(index)) server_.stopTask(index);
    task.status = kStatusIdle;
    std::lock_guard lock(task.mutex());  // another task's worker may be saving the list
    task.ref_text = kDeletionMark;
}

bool TaskListService::deleteTasks(const std::vector<int>& indexes) {
    if (held()) return false;
    for (int index : indexes) {
        if (validIndex(index)) markAndStop(index);
    }
    for (int i = 0; i < server_.taskCount();) {
        const CTask& task = server_.taskAt(i);
        if (task.ref_text == kDeletionMark) {
            deleteLogOf(task);
            server_.removeTask(i);
        } else {
            ++i;
        }
    }
    return save();
}

bool TaskListService::deleteAll() {
    if (held()) return false;
    while (server_.taskCount() > 0) {
        markAndStop(0);
        deleteLogOf(server_.taskAt(0));
        server_.removeTask(0);
    }
    return save();
}

std::vector<std::string> TaskListService::taskNames() const {
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(server_.taskCount()));
    for (int i = 0; i < server_.taskCount(); ++i) names.push_back(server_.taskAt(i).name);
    return names;
}

std::string TaskListService::nameRefusal(const std::string& name, int own_index) const {
    const auto checked = checkTaskName(TaskNameTexts{name, {}}, taskNames(), own_index);
    return checked ? std::string() : checked.failure().message;
}

std::string TaskListService::renameRefusal(int index, const std::string& name) const {
    if (held()) return kServiceRunningMessage;
    if (!validIndex(index)) return "Please choose a task!";
    return nameRefusal(name, index);
}

EditOutcome TaskListService::renameTask(int index, const std::string& name) {
    EditOutcome outcome;
    outcome.index = index;
    outcome.refusal = renameRefusal(index, name);
    if (!outcome.ok()) return outcome;
    CTask& task = server_.taskAt(index);
    std::lock_guard lock(task.mutex());  // its engine or a worker's save may be reading it
    task.name = name;
    return outcome;
}

EditOutcome TaskListService::loadFrom(const std::filesystem::path& file) {
    EditOutcome outcome;
    if (held()) {
        outcome.refusal = kServiceRunningMessage;
        return outcome;
    }
    CTaskList list;
    if (!loadTaskList(file, list)) {
        outcome.refusal = kLoadFailedMessage;
        return outcome;
    }
    const bool was_started = server_.isStarted();
    TaskEnvironment* runner = server_.environment();
    if (was_started) {
        server_.stopAll();
    } else {
        server_.removeAll();
    }
    addStoredTasks(list, server_);
    if (was_started) server_.startAll(runner);
    return outcome;
}

bool TaskListService::start(int index) {
    if (held() || !validIndex(index)) return false;
    // A worker just started may not have left Idle yet.
    if (!isIdleScheduled(factsOf(server_.taskAt(index))) || server_.hasWorker(index)) return false;
    env_.log(server_.taskAt(index), kLogInfo, "Start task");
    startTask(index, false);
    return true;
}

bool TaskListService::stop(int index) {
    if (held() || !validIndex(index)) return false;
    CTask& task = server_.taskAt(index);
    // A worker just started may not have left Idle yet; it is stopped all the same.
    if (!isActive(factsOf(task)) && !server_.hasWorker(index)) return false;
    env_.log(task, kLogInfo, "Stop task");
    task.run_now = 0;
    server_.stopTask(index);
    task.status = kStatusIdle;
    return true;
}

bool TaskListService::runImmediately(int index) {
    if (held() || !validIndex(index)) return false;
    if (server_.taskAt(index).status.load() == kStatusRunning) return false;
    env_.log(server_.taskAt(index), kLogInfo, "Run task immediately");
    startTask(index, true);
    return true;
}

int TaskListService::startAll() {
    int started = 0;
    for (int i = 0; i < server_.taskCount(); ++i) started += start(i) ? 1 : 0;
    return started;
}

int TaskListService::stopAll() {
    if (held()) return 0;
    int stopped = 0;
    for (int i = 0; i < server_.taskCount(); ++i) {
        CTask& task = server_.taskAt(i);
        if (!isActive(factsOf(task)) && !server_.hasWorker(i)) continue;
        task.run_now = 0;
        server_.stopTask(i);
        task.status = kStatusIdle;
        env_.log(task, kLogInfo, "Stop task");
        ++stopped;
    }
    return stopped;
}

}  // namespace keelvault
