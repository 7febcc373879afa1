#include "core/editing/command_rules.h"

#include <algorithm>

namespace keelvault {

TaskFacts factsOf(const CTask& task) {
    return TaskFacts{task.status.load(), task.schedule.kind, task.task_type};
}

bool isIdleScheduled(const TaskFacts& task) {
    return task.status == kStatusIdle && task.schedule_kind != kScheduleManual;
}

bool isActive(const TaskFacts& task) {
    return task.status == kStatusWaiting || task.status == kStatusRunning;
}

namespace {

template <typename Test>
bool anySelected(const CommandState& state, Test test) {
    const int count = static_cast<int>(state.tasks.size());
    return std::any_of(state.selected.begin(), state.selected.end(),
                       [&](int row) { return row >= 0 && row < count && test(state.tasks[static_cast<size_t>(row)]); });
}

template <typename Test>
bool anyTask(const CommandState& state, Test test) {
    return std::any_of(state.tasks.begin(), state.tasks.end(), test);
}

// The one selected task, or null when not exactly one is selected.
const TaskFacts* single(const CommandState& state) {
    if (state.selected.size() != 1) return nullptr;
    const int row = state.selected.front();
    if (row < 0 || row >= static_cast<int>(state.tasks.size())) return nullptr;
    return &state.tasks[static_cast<size_t>(row)];
}

}  // namespace

bool commandEnabled(TaskCommand command, const CommandState& state) {
    const bool free = !state.service_running;  // the service holds the list otherwise
    const size_t selected = state.selected.size();
    const bool has_tasks = !state.tasks.empty();
    switch (command) {
        case TaskCommand::NewTask:
        case TaskCommand::LoadFrom:
            return free;
        case TaskCommand::EditTask:
        case TaskCommand::RenameTask:
            return free && selected == 1;
        case TaskCommand::DeleteTasks:
        case TaskCommand::CopyTasks:
            return free && selected > 0;
        case TaskCommand::DeleteAll:
            return free && has_tasks;
        case TaskCommand::Start:
            return free && anySelected(state, isIdleScheduled);
        case TaskCommand::Stop:
            return free && anySelected(state, isActive);
        case TaskCommand::RunImmediately:
            return free && anySelected(state, [](const TaskFacts& t) { return t.status != kStatusRunning; });
        case TaskCommand::StartAll:
            return free && anyTask(state, isIdleScheduled);
        case TaskCommand::StopAll:
            return free && anyTask(state, isActive);
        case TaskCommand::SelectAll:
            return has_tasks;
        case TaskCommand::ViewLog:
        case TaskCommand::Properties:
            return selected == 1;
        case TaskCommand::SaveAs:
            return state.shown_rows > 0 && has_tasks;
        case TaskCommand::CreateRestore: {
            const TaskFacts* task = single(state);
            return free && task && task->task_type >= kTypeBackupToFiles && task->task_type <= kTypeBackupToDatabase;
        }
        case TaskCommand::BackupsList: {
            // Only looks while the service runs: its Create Restore is off then.
            const TaskFacts* task = single(state);
            return task && task->task_type == kTypeBackupToFiles;
        }
    }
    return false;
}

}  // namespace keelvault
