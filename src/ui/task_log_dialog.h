#pragma once

#include <QDialog>
#include <filesystem>
#include <string>
#include <vector>

#include "core/model/options_file.h"
#include "core/model/task_log.h"

class QAction;
class QTableWidget;

namespace keelvault::ui {

class Prompter;

// "Task Log": the entries of one task's log, newest at the bottom, with
// reload, show-all, empty and the three exports.
class TaskLogDialog : public QDialog {
    Q_OBJECT
public:
    TaskLogDialog(Prompter& prompter, std::filesystem::path logs_folder, const std::string& task_name,
                  std::string log_name, CSystemOptions options, QWidget* parent = nullptr);

    static constexpr size_t kShownByDefault = 200;

    void refresh();     // the last 200 entries
    void displayAll();  // every entry
    void emptyLogs();
    void exportCsv();
    void exportTxt();
    void exportLog();
    void openHelp();

    const std::vector<LogRecord>& entries() const { return entries_; }
    QTableWidget* list() const { return list_; }
    std::filesystem::path logPath() const;

    QAction* displayAllAction() const { return display_all_; }
    QAction* refreshAction() const { return refresh_; }

private:
    void showEntries(std::vector<LogRecord> entries);
    void exportLines(const QString& filter, const QString& suffix, bool csv);

    Prompter& prompter_;
    std::filesystem::path logs_folder_;
    std::string log_name_;
    CSystemOptions options_;
    std::vector<LogRecord> entries_;
    QTableWidget* list_;
    QAction* display_all_;
    QAction* refresh_;
};

}  // namespace keelvault::ui
