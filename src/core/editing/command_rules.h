#pragma once

#include <cstdint>
#include <vector>

#include "core/model/task.h"

namespace keelvault {

// The task commands of the Tasks and Run menus.
enum class TaskCommand {
    NewTask,
    EditTask,
    DeleteTasks,
    DeleteAll,
    CopyTasks,
    RenameTask,
    Properties,
    CreateRestore,
    BackupsList,
    Start,
    Stop,
    RunImmediately,
    StartAll,
    StopAll,
    SelectAll,
    ViewLog,
    SaveAs,
    LoadFrom,
};
inline constexpr int kTaskCommandCount = static_cast<int>(TaskCommand::LoadFrom) + 1;

// What the enabling rules look at in one task.
struct TaskFacts {
    uint8_t status = kStatusIdle;
    uint8_t schedule_kind = kScheduleManual;
    uint8_t task_type = kTypeBackupToFiles;
};
TaskFacts factsOf(const CTask& task);

// Everything a rule depends on: the tasks in list order, the selected task
// indexes, the rows the view shows and whether the service holds the list.
struct CommandState {
    bool service_running = false;
    std::vector<TaskFacts> tasks;
    std::vector<int> selected;
    int shown_rows = 0;
};

bool commandEnabled(TaskCommand command, const CommandState& state);

// Per-task tests the commands share with their rules.
bool isIdleScheduled(const TaskFacts& task);
bool isActive(const TaskFacts& task);  // Waiting or Running

}  // namespace keelvault
