#!/usr/bin/env bash
# Runs every benchmark and prints a table of ratios against the standard tools.
#   bench/run.sh            all rows
#   bench/run.sh export     only bench/bench_export*.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/common.sh"

"$root/scripts/install-deps.sh"
BUILD_DIR="$root/build-bench" BUILD_TYPE=Release "$root/scripts/build.sh" -DKEELVAULT_BUILD_TESTS=OFF

bench_servers_start
trap bench_servers_stop EXIT
bench_make_db
rm -f "$BENCH_RESULTS"

echo "| benchmark | ours (median) | standard tool (median) | ratio | our peak memory | goal |"
echo "|---|---|---|---|---|---|"
for row in "$root"/bench/bench_${1:-}*.sh; do
  [ -e "$row" ] || continue
  source "$row"
done
"$root/build-bench/bench/bench_idle_tasks" 200 30
