# Row: CSV export of bench.t by the export engine (keelvault-cli run of a
# type-4 task) against the mariadb client's batch output of the same table.
# Sourced by bench/run.sh (common.sh loaded, servers up, bench.t made).

BX_DIR=$BENCH_STATE/export
BX_LIST=$BX_DIR/tasks.tsk
BX_CORE_LIB=${BX_CORE_LIB:-$BENCH_ROOT/build-bench/src/core/libkeelvault_core.a}
rm -rf "$BX_DIR"
mkdir -p "$BX_DIR/home" "$BX_DIR/out"

# A small program writes the task into a task list with the library's own writer.
cat >"$BX_DIR/export_task.cpp" <<'EOF'
#include <cstdlib>

#include "core/model/task.h"
#include "core/model/task_list_file.h"

// export_task LIST PORT DIRECTORY
int main(int argc, char** argv) {
    using namespace keelvault;
    if (argc != 4) return 2;
    CTask task;
    task.name = "bench export";
    task.task_type = kTypeExport;
    task.log_name = "bench_export.log";
    task.source.host = "127.0.0.1";
    task.source.port = std::atoi(argv[2]);
    task.source.user = "root";
    task.export_options.format = 1;
    task.export_options.directory = argv[3];
    task.export_options.fields_terminated_by = ",";
    task.export_options.fields_enclosed_by = "\"";
    task.export_options.fields_escaped_by = "\\";
    task.export_options.lines_terminated_by = "\r\n";
    task.export_options.column_names_on_top = 1;
    task.export_tables.push_back(CTableItem{1, 1, "bench", "t"});
    CTaskList list;
    list.append(task);
    return saveTaskList(argv[1], list) ? 0 : 1;
}
EOF
# shellcheck disable=SC2046
c++ -std=c++20 -O1 -I"$BENCH_ROOT/src" $(pkg-config --cflags libmariadb) "$BX_DIR/export_task.cpp" \
  "$BX_CORE_LIB" $(pkg-config --libs libmariadb) -lz -pthread \
  -o "$BX_DIR/export_task"
"$BX_DIR/export_task" "$BX_LIST" "$BENCH_PORT1" "$BX_DIR/out/"

bench_compare "export bench.t to CSV (1,000,000 rows)" "ratio <= 1.25, < 64 MB" \
  "XDG_DATA_HOME='$BX_DIR/home' '$BENCH_CLI' run 'bench export' --tasks '$BX_LIST'" \
  "mariadb --no-defaults -h 127.0.0.1 -P $BENCH_PORT1 -u root --batch --quick -e 'SELECT * FROM bench.t' >'$BX_DIR/theirs.tsv'"
ls -l "$BX_DIR/out/bench_t.csv" "$BX_DIR/theirs.tsv" >&2
