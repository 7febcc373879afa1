#include "ui/sheet_commands.h"

#include "core/editing/restore_task.h"
#include "core/editing/task_list_service.h"
#include "core/editing/task_sheet_texts.h"
#include "core/model/task_list_file.h"
#include "core/platform/data_folder.h"
#include "ui/application.h"
#include "ui/dialogs/backups_list_dialog.h"
#include "ui/dialogs/system_options_sheet.h"
#include "ui/main_window.h"
#include "ui/prompter.h"
#include "ui/task_list_view.h"
#include "ui/wizard/task_property_sheet.h"
#include "ui/wizard/task_type_chooser.h"
#include "ui/wizard/task_wizard_sheet.h"

namespace keelvault::ui {

namespace {

QString qtext(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

SheetCommands::SheetCommands(Application& app, MainWindow& window) : QObject(&window), app_(app), window_(window) {
    TaskListView& view = *window.taskView();
    view.setCommandHandler(TaskCommand::NewTask, [this] { newTask(); });
    view.setCommandHandler(TaskCommand::EditTask, [this] { editTask(); });
    view.setCommandHandler(TaskCommand::Properties, [this] { properties(); });
    view.setCommandHandler(TaskCommand::CreateRestore, [this] { createRestore(); });
    view.setCommandHandler(TaskCommand::BackupsList, [this] { backupsList(); });
    window.setFrameHandler(FrameCommand::Options, [this] { options(); });
}

SheetSetup SheetCommands::setup(int edit_index) {
    return SheetSetup{app_.servers(),     [this] { return app_.saveServers(); }, app_.options(), app_.prompter(),
                      app_.fileChooser(), app_.taskList().taskNames(),           edit_index};
}

int SheetCommands::singleSelection(bool warn) {
    const QList<int> rows = window_.taskView()->selectedRows();
    if (rows.size() == 1) return rows.front();
    if (warn) app_.prompter().warn(QStringLiteral("Please choose a task item!"));
    return -1;
}

int SheetCommands::runWizard(const CTask& record, const QString& log_line, bool append_to_new_tasks) {
    CTaskWizardSheet wizard(setup(-1), record, &window_);
    if (app_.prompter().runDialog(wizard) != QDialog::Accepted) return -1;
    const CTask prepared = app_.taskList().prepareNewTask(wizard.task());
    return window_.taskView()->addNewTask(prepared, log_line, append_to_new_tasks);
}

void SheetCommands::newTask() {
    TaskTypeChooser chooser(app_.prompter(), &window_);
    if (app_.prompter().runDialog(chooser) != QDialog::Accepted || chooser.chosenType() == 0) return;
    runWizard(newTaskOfType(chooser.chosenType()), QStringLiteral("Create task"), true);
}

void SheetCommands::editTask() {
    const int index = singleSelection(true);
    if (index < 0) return;
    const CTask task = app_.taskServer().copyTask(index);
    if (task.status.load() != kStatusIdle) {
        app_.prompter().warn(QString::fromLatin1(kEditNotIdleMessage));
        return;
    }
    CTaskPropertySheet sheet(setup(index), task, true, &window_);
    if (app_.prompter().runDialog(sheet) != QDialog::Accepted) return;
    const EditOutcome outcome = app_.taskList().replaceTask(index, sheet.task());
    if (!outcome.ok()) app_.prompter().warn(qtext(outcome.refusal));
    window_.taskView()->refreshRows();
}

void SheetCommands::properties() {
    const int index = singleSelection(false);
    if (index < 0) return;
    CTaskPropertySheet sheet(setup(index), app_.taskServer().copyTask(index), false, &window_);
    app_.prompter().runDialog(sheet);
}

void SheetCommands::createRestore() {
    const int index = singleSelection(false);
    if (index < 0) return;
    const auto restore = restoreTaskFromBackupTask(app_.taskServer().copyTask(index));
    if (!restore) return;  // not a backup task
    runWizard(*restore, QStringLiteral("Create restore task by backup task"), false);
}

void SheetCommands::backupsList() {
    const int index = singleSelection(false);
    if (index < 0) return;
    const CTask task = app_.taskServer().copyTask(index);
    if (task.task_type != kTypeBackupToFiles) return;
    // While the service runs the task list file is where its runs are recorded;
    // otherwise the task in memory is.
    auto fresh = [this, index, name = task.name]() -> std::optional<std::vector<CBackupRecord>> {
        if (app_.serviceRunning()) {
            CTaskList stored;
            if (!loadTaskList(tasksFilePath(app_.dataFolder()), stored) || index >= stored.count()) return std::nullopt;
            return stored.at(index).backups;
        }
        TaskServer& server = app_.taskServer();
        if (index >= server.taskCount()) return std::nullopt;
        const CTask current = server.copyTask(index);
        if (current.name != name) return std::nullopt;
        return current.backups;
    };
    BackupsListDialog dialog(task, app_.options(), app_.serviceRunning(), fresh, app_.prompter(), &window_);
    dialog.setVerifySetup(app_.servers(), logsFolderPath(app_.dataFolder()));
    if (app_.prompter().runDialog(dialog) != QDialog::Accepted || !dialog.restoreTask()) return;
    runWizard(*dialog.restoreTask(), QStringLiteral("Create restore task by backup task"), false);
}

void SheetCommands::options() {
    CSystemOptionsSheet sheet(app_.options(), app_.dataFolder(), app_.prompter(), app_.fileChooser(), &window_);
    if (app_.prompter().runDialog(sheet) != QDialog::Accepted) return;
    app_.applyOptions(sheet.options());
}

}  // namespace keelvault::ui
