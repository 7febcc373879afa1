#pragma once

#include <string>
#include <vector>

#include "core/model/task.h"

namespace keelvault {

// The name of a task type in the wizard's captions, on its welcome page and
// in the summary ("Backup MySQL databases to SQL/PHP files", ...); empty
// outside 1..8.
std::string taskTypeDisplayName(int type);
// The radio button of the type in "Create a new task".
std::string taskTypeChooserCaption(int type);
// The text under the radio buttons of the three backup types; empty for the others.
std::string taskTypeChooserDescription(int type);

// What one wizard page or property tab holds.
enum class TaskPage {
    TaskName,
    SourceServer,
    DestinationServer,
    ChooseDatabases,
    SourceDatabase,
    ChooseTables,
    DestDatabase,
    SelectTables,
    ExportFile,
    BackupFile,
    Compression,
    Buffer,
    SqlScript,
    RestoreFiles,
    Schedule,
    Summary,
};

// The wizard's pages after the welcome page: from the task name page to the
// summary; their count is the step count. Empty outside 1..8.
std::vector<TaskPage> wizardPages(int type);
// The tabs of the property sheets: the wizard's pages without the summary.
std::vector<TaskPage> propertyTabs(int type);

// "Task Wizard - " + display name + " - Step n of m"; "Task Wizard" for an
// unknown type.
std::string wizardCaption(int type, int step);
inline constexpr const char* kWelcomeCaption = "Welcome to the Task Wizard";
std::string welcomeText(int type);

// "Edit Task - " / "Task Properties - " + task name + " - " + display name.
std::string propertySheetTitle(const CTask& task, bool edit_mode);

// The help topic of a task type's wizard and sheets.
std::string taskTypeHelpTopic(int type);

// A new record of the type, every other field at its default.
CTask newTaskOfType(int type);

// The summary page's text, every line ending in CR LF.
std::string taskSummaryText(const CTask& task);

// In a database selection: the chosen entries and, within them, the chosen tables.
struct SelectionCounts {
    int databases = 0;
    int tables = 0;
};
SelectionCounts selectionCounts(const std::vector<CDatabaseItem>& databases);

}  // namespace keelvault
