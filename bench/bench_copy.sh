# Rows: copy of bench.t to the second server by the server-to-server copy
# engine (keelvault-cli run of a type-2 task) against mariadb-dump piped into
# the mariadb client. Sourced by bench/run.sh (common.sh loaded, servers up,
# bench.t made).

BC_DIR=$BENCH_STATE/copy
BC_TASKS=${BC_TASKS:-$BENCH_ROOT/build-bench/bench/bench_copy_tasks}
BC_LIST=$BC_DIR/tasks.tsk
rm -rf "$BC_DIR"
mkdir -p "$BC_DIR/home"

"$BC_TASKS" "$BC_LIST" "copy default" "$BENCH_PORT1" "$BENCH_PORT2" bench t 0 0 200
"$BC_TASKS" "$BC_LIST" "copy multi m1" "$BENCH_PORT1" "$BENCH_PORT2" bench t 1 1 100

bc_run() { echo "XDG_DATA_HOME='$BC_DIR/home' '$BENCH_CLI' run '$1' --tasks '$BC_LIST'"; }
bc_pipe="mariadb-dump --no-defaults -h 127.0.0.1 -P $BENCH_PORT1 -u root --single-transaction --databases bench | \
mariadb --no-defaults -h 127.0.0.1 -P $BENCH_PORT2 -u root"
bc_fresh="mariadb --no-defaults -h 127.0.0.1 -P $BENCH_PORT2 -u root -e 'DROP DATABASE IF EXISTS bench'"

bench_compare "copy to another server, default options (single rows, buffer mode 0)" "ratio <= 1.5, < 64 MB" \
  "$(bc_run 'copy default')" "$bc_pipe" "$bc_fresh"
bench_compare "copy to another server, multiple rows, buffer mode 1 (100)" "ratio <= 2, < 64 MB" \
  "$(bc_run 'copy multi m1')" "$bc_pipe" "$bc_fresh"
