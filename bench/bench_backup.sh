# Rows: backup of the bench database by the backup-to-files engine
# (keelvault-cli run of a type-1 task) against mariadb-dump, plain and gzip.
# Sourced by bench/run.sh (common.sh loaded, servers up, bench.t made).

BB_DIR=$BENCH_STATE/backup
BB_LIST=$BB_DIR/tasks.tsk
BB_CORE_LIB=${BB_CORE_LIB:-$BENCH_ROOT/build-bench/src/core/libkeelvault_core.a}
rm -rf "$BB_DIR"
mkdir -p "$BB_DIR/home" "$BB_DIR/sql" "$BB_DIR/gz" "$BB_DIR/theirs"
bench_need_mydumper

# A small program writes the two tasks with the library's own writer.
cat >"$BB_DIR/backup_tasks.cpp" <<'CPP'
#include <cstdlib>
#include <string>

#include "core/engine/mysql_session.h"
#include "core/model/task.h"
#include "core/model/task_list_file.h"

// backup_tasks LIST PORT SQL_FOLDER GZ_FOLDER
int main(int argc, char** argv) {
    using namespace keelvault;
    if (argc != 5) return 2;
    CServerSettings source;
    source.host = "127.0.0.1";
    source.port = std::atoi(argv[2]);
    source.user = "root";
    CDatabaseItem database;
    database.selected = 2;
    database.name = "bench";
    MySqlSession session;
    std::vector<TableEntry> tables;
    if (!session.open(source) || !session.selectDatabase("bench") || !session.listTables(tables)) return 1;
    for (const TableEntry& t : tables) database.tables.push_back(CTableItem{1, t.kind, "bench", t.name});

    CTaskList list;
    CTask task;
    task.task_type = kTypeBackupToFiles;
    task.source = source;
    task.databases = {database};
    task.name = "bench backup";
    task.log_name = "bench_backup.log";
    task.backup_options.backup_directory = argv[3];
    list.append(task);
    task.name = "bench backup gz";
    task.log_name = "bench_backup_gz.log";
    task.backup_options.backup_directory = argv[4];
    task.backup_options.gzip = 1;
    task.backup_options.compression_level = 5;
    list.append(task);
    // Buffer mode 1: statements go to the file in batches of 200.
    task.name = "bench backup mode 1";
    task.log_name = "bench_backup_mode1.log";
    task.backup_options.backup_directory = argv[3];
    task.backup_options.gzip = 0;
    task.buffer_options.mode = 1;
    task.buffer_options.records = 200;
    list.append(task);
    return saveTaskList(argv[1], list) ? 0 : 1;
}
CPP
# shellcheck disable=SC2046
c++ -std=c++20 -O1 -I"$BENCH_ROOT/src" $(pkg-config --cflags libmariadb) "$BB_DIR/backup_tasks.cpp" \
  "$BB_CORE_LIB" $(pkg-config --libs libmariadb) -lz -pthread -o "$BB_DIR/backup_tasks"
"$BB_DIR/backup_tasks" "$BB_LIST" "$BENCH_PORT1" "$BB_DIR/sql" "$BB_DIR/gz"

bb_run() { echo "XDG_DATA_HOME='$BB_DIR/home' '$BENCH_CLI' run '$1' --tasks '$BB_LIST'"; }
bb_dump="mariadb-dump --no-defaults -h 127.0.0.1 -P $BENCH_PORT1 -u root --single-transaction bench"
# Each measurement starts without the files of the one before.
bb_clean="rm -rf '$BB_DIR'/sql/* '$BB_DIR'/gz/* '$BB_DIR'/theirs/*"

bb_mydumper="mydumper -h 127.0.0.1 -P $BENCH_PORT1 -u root -B bench -t 2 -r 100000 -o '$BB_DIR/theirs/mydumper'"

bench_compare "backup bench to one SQL file, default options, vs mariadb-dump" \
  "ratio <= 1.0 (--single-transaction), < 64 MB" \
  "$(bb_run 'bench backup')" "$bb_dump > '$BB_DIR/theirs/dump.sql'" "$bb_clean"
# mydumper wants a fresh folder for every run.
bench_compare "backup bench to one SQL file, default options, vs mydumper" "ratio <= 1.1 (-t 2 -r 100000)" \
  "$(bb_run 'bench backup')" "$bb_mydumper" "$bb_clean"
bench_compare "backup bench to one SQL file, gzip level 5" "ratio <= 1.0 (mariadb-dump | gzip -5)" \
  "$(bb_run 'bench backup gz')" "$bb_dump | gzip -5 > '$BB_DIR/theirs/dump.sql.gz'" "$bb_clean"
bench_compare "backup bench to one SQL file, buffer mode 1 (200), vs mariadb-dump" "< 64 MB" \
  "$(bb_run 'bench backup mode 1')" "$bb_dump > '$BB_DIR/theirs/dump.sql'" "$bb_clean"
