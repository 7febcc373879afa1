# Rows: restore of dumps of bench.t by the restore engine (keelvault-cli run of
# a type-6 task) against the mariadb client replaying a default mariadb-dump
# file of the same data, and against myloader.
# Sourced by bench/run.sh (common.sh loaded, servers up, bench.t made).

BR_DIR=$BENCH_STATE/restore
BR_TASKS=${BR_TASKS:-$BENCH_ROOT/build-bench/bench/bench_restore_tasks}
BR_LIST=$BR_DIR/tasks.tsk
rm -rf "$BR_DIR"
mkdir -p "$BR_DIR/home" "$BR_DIR/single" "$BR_DIR/multi"

br_cli() { XDG_DATA_HOME="$BR_DIR/home" "$BENCH_CLI" run "$1" --tasks "$BR_LIST" >/dev/null; }
br_client2() { echo "mariadb --no-defaults -h 127.0.0.1 -P $BENCH_PORT2 -u root"; }

# The dumps: two by our backup engine (default options, and multiple rows), one by mariadb-dump.
"$BR_TASKS" "$BR_LIST" backup "bench single" "$BENCH_PORT1" bench "$BR_DIR/single" 0
"$BR_TASKS" "$BR_LIST" backup "bench multi" "$BENCH_PORT1" bench "$BR_DIR/multi" 1
br_cli "bench single"
br_cli "bench multi"
br_single=$(ls "$BR_DIR"/single/*.sql)
br_multi=$(ls "$BR_DIR"/multi/*.sql)
br_std=$BR_DIR/mariadb-dump.sql
mariadb-dump --no-defaults -h 127.0.0.1 -P "$BENCH_PORT1" -u root --databases bench >"$br_std"

"$BR_TASKS" "$BR_LIST" restore "restore single m0" "$BENCH_PORT2" "$br_single" 0 200
"$BR_TASKS" "$BR_LIST" restore "restore multi m0" "$BENCH_PORT2" "$br_multi" 0 200
"$BR_TASKS" "$BR_LIST" restore "restore multi m1" "$BENCH_PORT2" "$br_multi" 1 200
"$BR_TASKS" "$BR_LIST" restore "restore std m0" "$BENCH_PORT2" "$br_std" 0 200

br_fresh="$(br_client2) -e 'DROP DATABASE IF EXISTS bench'"
br_run() { echo "XDG_DATA_HOME='$BR_DIR/home' '$BENCH_CLI' run '$1' --tasks '$BR_LIST'"; }

# Ours on our own dumps against the standard tools on theirs, of the same data.
bench_need_mydumper
br_mydumper=$BR_DIR/mydumper
mydumper -t 2 -h 127.0.0.1 -P "$BENCH_PORT1" -u root -B bench -o "$br_mydumper" >&2
br_myloader="myloader -t 2 -h 127.0.0.1 -P $BENCH_PORT2 -u root -o -d '$br_mydumper'"

bench_compare "restore our dump, single rows, buffer mode 0, vs mariadb < mariadb-dump file" "ratio <= 1.5, < 64 MB" \
  "$(br_run 'restore single m0')" "$(br_client2) < '$br_std'" "$br_fresh"
bench_compare "restore our dump, single rows, buffer mode 0, vs myloader -t 2 (mydumper -t 2 dump)" "ratio <= 2, < 64 MB" \
  "$(br_run 'restore single m0')" "$br_myloader" "$br_fresh"
bench_compare "restore our dump, multiple rows, buffer mode 0, vs mariadb < mariadb-dump file" "ratio <= 1.0, < 64 MB" \
  "$(br_run 'restore multi m0')" "$(br_client2) < '$br_std'" "$br_fresh"
bench_compare "restore our dump, multiple rows, buffer mode 1 (200), vs mariadb < mariadb-dump file" "ratio <= 1.0, < 64 MB" \
  "$(br_run 'restore multi m1')" "$(br_client2) < '$br_std'" "$br_fresh"
# Both sides on the same default mariadb-dump file.
bench_compare "restore default mariadb-dump file" "report only" \
  "$(br_run 'restore std m0')" "$(br_client2) < '$br_std'" "$br_fresh"
ls -l "$br_single" "$br_multi" "$br_std" >&2
