#include "core/editing/command_rules.h"

#include <gtest/gtest.h>

namespace keelvault {
namespace {

TaskFacts facts(uint8_t status, uint8_t kind, uint8_t type = kTypeExecuteScript) {
    return {status, kind, type};
}

TEST(CommandRules, FollowTheSelectionAndTheTasks) {
    CommandState state;
    state.tasks = {facts(kStatusIdle, kScheduleManual),                             // 0 manual, stopped
                   facts(kStatusWaiting, kScheduleEveryDay),                        // 1 scheduled, waiting
                   facts(kStatusIdle, kScheduleManual, kTypeBackupToFiles),         // 2 backup to files
                   facts(kStatusIdle, kScheduleEveryWeek),                          // 3 scheduled, stopped
                   facts(kStatusRunning, kScheduleManual, kTypeBackupToDatabase)};  // 4 running copy
    state.shown_rows = 5;
    const struct {
        std::vector<int> selected;
        TaskCommand command;
        bool enabled;
    } cases[] = {
        {{}, TaskCommand::NewTask, true},         {{}, TaskCommand::DeleteTasks, false},
        {{}, TaskCommand::DeleteAll, true},       {{}, TaskCommand::ViewLog, false},
        {{}, TaskCommand::StartAll, true},        {{}, TaskCommand::StopAll, true},
        {{}, TaskCommand::SelectAll, true},       {{}, TaskCommand::SaveAs, true},
        {{}, TaskCommand::LoadFrom, true},        {{}, TaskCommand::RenameTask, false},
        {{0}, TaskCommand::EditTask, true},       {{0, 1}, TaskCommand::EditTask, false},
        {{0, 1}, TaskCommand::RenameTask, false}, {{0, 1}, TaskCommand::CopyTasks, true},
        {{0}, TaskCommand::Start, false},         {{3}, TaskCommand::Start, true},
        {{1}, TaskCommand::Start, false},         {{0}, TaskCommand::Stop, false},
        {{0, 1}, TaskCommand::Stop, true},        {{4}, TaskCommand::Stop, true},
        {{1}, TaskCommand::RunImmediately, true}, {{4}, TaskCommand::RunImmediately, false},
        {{0}, TaskCommand::ViewLog, true},        {{0, 2}, TaskCommand::Properties, false},
        {{2}, TaskCommand::CreateRestore, true},  {{4}, TaskCommand::CreateRestore, true},
        {{0}, TaskCommand::CreateRestore, false}, {{2, 4}, TaskCommand::CreateRestore, false},
        {{2}, TaskCommand::BackupsList, true},    {{4}, TaskCommand::BackupsList, false},
        {{7}, TaskCommand::Start, false},  // a row past the tasks counts for nothing
    };
    for (const auto& c : cases) {
        state.selected = c.selected;
        EXPECT_EQ(commandEnabled(c.command, state), c.enabled)
            << "command " << static_cast<int>(c.command) << " with " << c.selected.size() << " selected";
    }
}

TEST(CommandRules, TheServiceDisablesEveryChangeButNotTheViews) {
    CommandState state;
    state.service_running = true;
    state.tasks = {facts(kStatusIdle, kScheduleEveryDay, kTypeBackupToFiles), facts(kStatusWaiting, kScheduleEveryDay)};
    state.selected = {0};
    state.shown_rows = 2;
    for (int i = 0; i < kTaskCommandCount; ++i) {
        const auto command = static_cast<TaskCommand>(i);
        const bool view_only = command == TaskCommand::SelectAll || command == TaskCommand::ViewLog ||
                               command == TaskCommand::Properties || command == TaskCommand::SaveAs ||
                               command == TaskCommand::BackupsList;
        EXPECT_EQ(commandEnabled(command, state), view_only) << i;
    }
}

TEST(CommandRules, AnEmptyListAllowsOnlyNewAndLoad) {
    CommandState state;
    state.shown_rows = 1;  // a row not yet removed by the refresh
    for (int i = 0; i < kTaskCommandCount; ++i) {
        const auto command = static_cast<TaskCommand>(i);
        EXPECT_EQ(commandEnabled(command, state), command == TaskCommand::NewTask || command == TaskCommand::LoadFrom)
            << i;
    }
}

}  // namespace
}  // namespace keelvault
