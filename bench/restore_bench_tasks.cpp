// Writes the tasks of the restore benchmark into a task list, so the rows can
// drive them through keelvault-cli.
//
//   bench_restore_tasks LIST backup NAME PORT DATABASE FOLDER MULTIPLE_ROWS
//   bench_restore_tasks LIST restore NAME PORT FILE BUFFER_MODE RECORDS
//
// A task of the same name in LIST is replaced; the others are kept.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_task_list.h"
#include "core/engine/mysql_session.h"
#include "core/model/task.h"
#include "core/model/task_list_file.h"

using namespace keelvault;

namespace {

CServerSettings server(const char* port) {
    CServerSettings settings;
    settings.host = "127.0.0.1";
    settings.port = std::atoi(port);
    settings.user = "root";
    return settings;
}

int usage() {
    std::fprintf(stderr,
                 "usage: bench_restore_tasks LIST backup NAME PORT DATABASE FOLDER MULTIPLE_ROWS\n"
                 "       bench_restore_tasks LIST restore NAME PORT FILE BUFFER_MODE RECORDS\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 8) return usage();
    const std::filesystem::path list_path = argv[1];
    const std::string kind = argv[2];
    CTask task;
    task.name = argv[3];
    task.log_name = cleanFileNamePart(task.name) + ".log";
    if (kind == "backup") {
        task.task_type = kTypeBackupToFiles;
        task.source = server(argv[4]);
        CDatabaseItem database;
        database.selected = 2;
        database.name = argv[5];
        // The task stores its tables; list them as the wizard would.
        MySqlSession session;
        std::vector<TableEntry> tables;
        if (!session.open(task.source) || !session.selectDatabase(database.name) || !session.listTables(tables)) {
            std::fprintf(stderr, "cannot list the tables of %s\n", database.name.c_str());
            return 1;
        }
        for (const TableEntry& table : tables) database.tables.push_back(CTableItem{1, table.kind, database.name, table.name});
        task.databases.push_back(database);
        task.backup_options.backup_directory = argv[6];
        task.backup_options.flags[kOptMultipleRows] = static_cast<uint8_t>(std::atoi(argv[7]) != 0);
    } else if (kind == "restore") {
        task.task_type = kTypeRestoreFromFiles;
        task.destination = server(argv[4]);
        CRestoreFile file;
        file.full_path = argv[5];
        file.file_name = std::filesystem::path(file.full_path).filename().string();
        file.kind = file.full_path.ends_with(".gz") ? 1 : 0;
        task.restore_files.push_back(file);
        task.restore_options = {0, 0};
        task.buffer_options.mode = static_cast<uint8_t>(std::atoi(argv[6]));
        task.buffer_options.records = std::atoi(argv[7]);
    } else {
        return usage();
    }

    return keelvault::bench::putTask(list_path, task);
}
