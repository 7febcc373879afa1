// Prepares the demo data folder of scripts/run.sh: a few tasks against the
// local demo server. An existing task list is left alone.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "core/model/options_file.h"
#include "core/model/task.h"
#include "core/model/task_list_file.h"
#include "core/model/task_log.h"
#include "core/platform/data_folder.h"

namespace {

using namespace keelvault;

CTask demoTask(const std::string& name, uint8_t type, const std::string& host, int port, const TaskTime& now) {
    CTask task;
    task.name = name;
    task.task_type = type;
    task.created_at = now;
    task.log_name = makeLogName(name, now);
    task.source.connection_name = "Demo server";
    task.source.host = host;
    task.source.port = port;
    task.source.user = "root";
    return task;
}

// The whole sample database: its tables are taken from the live server at
// each run ("Backup all newly-created tables in the source database"), as no
// selection page has listed them.
void selectSakila(CTask& task) {
    CDatabaseItem sakila;
    sakila.selected = 2;
    sakila.name = "sakila";
    task.databases.push_back(sakila);
    task.backup_options.flags[kOptNewTables] = 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: keelvault-demo-tasks DATA_FOLDER PORT\n";
        return 1;
    }
    const std::filesystem::path folder = argv[1];
    const int port = std::atoi(argv[2]);
    if (!ensureDataFolders(folder)) {
        std::cerr << "cannot create " << folder << "\n";
        return 1;
    }
    if (std::filesystem::exists(tasksFilePath(folder))) return 0;

    const TaskTime now = currentLocalTime();
    const std::string backups = (backupDataFolderPath(folder) / "sakila-backups" / "").string();

    CTask backup = demoTask("Sakila backup", kTypeBackupToFiles, "127.0.0.1", port, now);
    selectSakila(backup);
    backup.backup_options.backup_directory = backups;
    backup.backup_options.gzip = 1;

    CTask nightly = demoTask("Sakila nightly backup", kTypeBackupToFiles, "127.0.0.1", port, now);
    selectSakila(nightly);
    nightly.backup_options.backup_directory = backups;
    nightly.backup_options.gzip = 1;
    nightly.backup_options.retention_kind = 2;
    nightly.backup_options.retention_limit = 7;
    nightly.schedule.kind = kScheduleEveryDay;
    nightly.schedule.hour = 2;

    CTask count = demoTask("Sakila film count", kTypeExecuteScript, "127.0.0.1", port, now);
    count.source.database = "sakila";
    count.script = {"SELECT COUNT(*) FROM film"};

    CTaskList list;
    for (CTask* task : {&backup, &nightly, &count}) {
        task->applyScheduleStatus();
        appendLog(logsFolderPath(folder), task->log_name, kLogInfo, "Create task", now);
        list.append(*task);
    }
    CSystemOptions options;
    options.do_not_ask_auto_run = 1;
    options.show_tips = 0;
    options.default_backup_folder = (backupDataFolderPath(folder) / "").string();
    if (!saveOptions(optionsFilePath(folder), options) || !saveTaskList(tasksFilePath(folder), list)) {
        std::cerr << "cannot write the demo task list in " << folder << "\n";
        return 1;
    }
    return 0;
}
