// Writes a server-to-server copy task (type 2) into a task list, so the copy
// benchmark can drive it through keelvault-cli.
//
//   bench_copy_tasks LIST NAME SOURCE_PORT DESTINATION_PORT DATABASE TABLE MULTIPLE_ROWS BUFFER_MODE RECORDS
//
// A task of the same name in LIST is replaced; the others are kept.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_task_list.h"
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 10) {
        std::fprintf(stderr,
                     "usage: bench_copy_tasks LIST NAME SOURCE_PORT DESTINATION_PORT DATABASE TABLE MULTIPLE_ROWS "
                     "BUFFER_MODE RECORDS\n");
        return 2;
    }
    const std::filesystem::path list_path = argv[1];
    CTask task;
    task.name = argv[2];
    task.log_name = cleanFileNamePart(task.name) + ".log";
    task.task_type = kTypeBackupToServer;
    task.source = server(argv[3]);
    task.destination = server(argv[4]);
    CDatabaseItem database;
    database.selected = 1;
    database.name = argv[5];
    database.tables.push_back(CTableItem{1, 1, argv[5], argv[6]});
    task.databases.push_back(database);
    task.backup_options.flags[kOptMultipleRows] = static_cast<uint8_t>(std::atoi(argv[7]) != 0);
    task.buffer_options.mode = static_cast<uint8_t>(std::atoi(argv[8]));
    task.buffer_options.records = std::atoi(argv[9]);

    return keelvault::bench::putTask(list_path, task);
}
