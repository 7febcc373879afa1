#include "core/editing/task_sheet_texts.h"

#include <string_view>

namespace keelvault {

namespace {

bool knownType(int type) {
    return type >= 1 && type <= 8;
}

// The summary's schedule names; the task list says "Minutes" for kind 5.
const char* summaryScheduleName(int kind) {
    switch (kind) {
        case kScheduleManual:
            return "Manual";
        case kScheduleEveryDay:
            return "Every Day";
        case kScheduleEveryWeek:
            return "Every Week";
        case kScheduleEveryMonth:
            return "Every Month";
        case kScheduleSpecialDate:
            return "Special Date";
        case kScheduleTimeInterval:
            return "Time Interval";
        default:
            return "";
    }
}

const char* exportTypeWord(int format) {
    switch (format) {
        case 1:
            return "CSV";
        case 2:
            return "XML";
        case 3:
            return "HTML";
        case 4:
            return "TEXT";
        default:
            return "";
    }
}

class Lines {
public:
    Lines& line(std::string_view text) {
        text_.append(text);
        text_.append("\r\n");
        return *this;
    }
    Lines& indented(std::string_view text) {
        text_.append("    ");
        return line(text);
    }
    Lines& blank() { return line(""); }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

std::string countsText(const SelectionCounts& counts) {
    return std::to_string(counts.databases) + " database(s), " + std::to_string(counts.tables) + " table(s)";
}

}  // namespace

std::string taskTypeDisplayName(int type) {
    switch (type) {
        case kTypeBackupToFiles:
            return "Backup MySQL databases to SQL/PHP files";
        case kTypeBackupToServer:
            return "Backup MySQL databases to another server";
        case kTypeBackupToDatabase:
            return "Backup a MySQL database to another database";
        case kTypeExport:
            return "Export MySQL tables and views to CSV/XML/HTML/TEXT files";
        case kTypeExecuteScript:
            return "Execute MySQL script";
        case kTypeRestoreFromFiles:
            return "Restore MySQL databases by SQL and GZIP files";
        case kTypeRestoreFromServer:
            return "Restore MySQL databases by another server";
        case kTypeRestoreFromDatabase:
            return "Restore a MySQL database by another database";
        default:
            return "";
    }
}

std::string taskTypeChooserCaption(int type) {
    switch (type) {
        case kTypeExport:
            return taskTypeDisplayName(type) + " (TCP/IP protocol)";
        case kTypeExecuteScript:
            return taskTypeDisplayName(type) + " (TCP/IP protocol)";
        case kTypeRestoreFromFiles:
        case kTypeRestoreFromServer:
            return taskTypeDisplayName(type) + " (TCP/IP, Use SAME database names)";
        case kTypeRestoreFromDatabase:
            return taskTypeDisplayName(type) + " (TCP/IP, Choose ANY database name)";
        default:
            return taskTypeDisplayName(type);
    }
}

std::string taskTypeChooserDescription(int type) {
    switch (type) {
        case kTypeBackupToFiles:
            return "Backup one/multiple MySQL database(s) on a remote/local server to the local SQL/PHP file(s) via "
                   "TCP/IP protocol (Use SAME database names)";
        case kTypeBackupToServer:
            return "Backup one/multiple MySQL database(s) on a remote/local server to another remote/local server via "
                   "TCP/IP protocol (Use SAME database names)";
        case kTypeBackupToDatabase:
            return "Backup one MySQL database on a remote/local server to another database on the different/same "
                   "server via TCP/IP protocol (Choose ANY database name)";
        default:
            return "";
    }
}

std::vector<TaskPage> wizardPages(int type) {
    using P = TaskPage;
    switch (type) {
        case kTypeBackupToFiles:
            return {P::TaskName,    P::SourceServer, P::ChooseDatabases, P::BackupFile,
                    P::Compression, P::Buffer,       P::Schedule,        P::Summary};
        case kTypeBackupToServer:
        case kTypeRestoreFromServer:
            return {P::TaskName, P::SourceServer, P::ChooseDatabases, P::DestinationServer,
                    P::Buffer,   P::Schedule,     P::Summary};
        case kTypeBackupToDatabase:
        case kTypeRestoreFromDatabase:
            return {P::TaskName, P::SourceDatabase, P::ChooseTables, P::DestDatabase,
                    P::Buffer,   P::Schedule,       P::Summary};
        case kTypeExport:
            return {P::TaskName, P::SourceServer, P::SelectTables, P::ExportFile, P::Schedule, P::Summary};
        case kTypeExecuteScript:
            return {P::TaskName, P::SourceServer, P::SqlScript, P::Schedule, P::Summary};
        case kTypeRestoreFromFiles:
            return {P::TaskName, P::RestoreFiles, P::DestinationServer, P::Buffer, P::Schedule, P::Summary};
        default:
            return {};
    }
}

std::vector<TaskPage> propertyTabs(int type) {
    std::vector<TaskPage> tabs = wizardPages(type);
    if (!tabs.empty()) tabs.pop_back();
    return tabs;
}

std::string wizardCaption(int type, int step) {
    if (!knownType(type)) return "Task Wizard";
    return "Task Wizard - " + taskTypeDisplayName(type) + " - Step " + std::to_string(step) + " of " +
           std::to_string(wizardPages(type).size());
}

std::string welcomeText(int type) {
    return "Create a new task to schedule " + taskTypeDisplayName(type) + ".";
}

std::string propertySheetTitle(const CTask& task, bool edit_mode) {
    return std::string(edit_mode ? "Edit Task - " : "Task Properties - ") + task.name + " - " +
           taskTypeDisplayName(task.task_type);
}

std::string taskTypeHelpTopic(int type) {
    return "taskwizard/tasktype" + std::to_string(type) + ".html";
}

CTask newTaskOfType(int type) {
    CTask task;
    task.task_type = static_cast<uint8_t>(knownType(type) ? type : kTypeBackupToFiles);
    return task;
}

SelectionCounts selectionCounts(const std::vector<CDatabaseItem>& databases) {
    SelectionCounts counts;
    for (const CDatabaseItem& database : databases) {
        if (database.selected == 0) continue;
        ++counts.databases;
        for (const CTableItem& table : database.tables) {
            if (table.selected != 0) ++counts.tables;
        }
    }
    return counts;
}

std::string taskSummaryText(const CTask& task) {
    const int type = task.task_type;
    Lines out;
    out.line("Task name:").indented(task.name).blank();
    out.line("Task type:").indented(taskTypeDisplayName(type)).blank();
    if (type == kTypeExecuteScript) {
        out.line("MySQL server:").indented(task.source.host).blank();
    } else if (type != kTypeRestoreFromFiles && knownType(type)) {
        out.line("Source MySQL server:").indented(task.source.host).blank();
    }
    switch (type) {
        case kTypeBackupToFiles: {
            out.line("Backup information:").indented(countsText(selectionCounts(task.databases))).blank();
            const CBackupOptions& options = task.backup_options;
            if (options.flag(kOptFileMode) == 1) {
                out.line("To file:").indented(options.same_file_path);
            } else {
                out.line("To folder:").indented(options.backup_directory);
            }
            break;
        }
        case kTypeBackupToServer:
        case kTypeBackupToDatabase:
        case kTypeRestoreFromServer:
        case kTypeRestoreFromDatabase: {
            const bool restore = type == kTypeRestoreFromServer || type == kTypeRestoreFromDatabase;
            out.line(restore ? "Restore information:" : "Backup information:")
                .indented(countsText(selectionCounts(task.databases)))
                .blank();
            out.line("Destination MySQL server:").indented(task.destination.host);
            break;
        }
        case kTypeExport:
            out.line("Export information:").indented(std::to_string(task.export_tables.size()) + " table(s)").blank();
            out.line("To file ( type and directory ):")
                .indented(exportTypeWord(task.export_options.format))
                .indented(task.export_options.directory);
            break;
        case kTypeExecuteScript:
            out.line("SQL script:").indented(std::to_string(task.script.size()) + " statement(s)");
            break;
        case kTypeRestoreFromFiles:
            out.line("Backup Files:").indented(std::to_string(task.restore_files.size()) + " file(s)").blank();
            out.line("MySQL server:").indented(task.destination.host);
            break;
        default:
            break;
    }
    out.blank().line("Task schedule:").indented(summaryScheduleName(task.schedule.kind));
    return out.take();
}

}  // namespace keelvault
