#pragma once

#include <QObject>
#include <QString>

#include "core/model/task.h"
#include "ui/wizard/sheet_setup.h"

namespace keelvault::ui {

class Application;
class MainWindow;

// The commands that open the wizard, the property sheets, the backups list
// and the options sheet, installed on the task list and the main window.
class SheetCommands : public QObject {
    Q_OBJECT
public:
    SheetCommands(Application& app, MainWindow& window);

    void newTask();
    void editTask();
    void properties();
    void createRestore();
    void backupsList();
    void options();

    // The wizard on a new or prepared record, then the new-task steps with
    // `log_line`; the new task's index, or -1 when cancelled or refused.
    int runWizard(const CTask& record, const QString& log_line, bool append_to_new_tasks);

private:
    SheetSetup setup(int edit_index);
    // The one selected row, or -1 after "Please choose a task item!".
    int singleSelection(bool warn);

    Application& app_;
    MainWindow& window_;
};

}  // namespace keelvault::ui
