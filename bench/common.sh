# Shared pieces of the benchmarks; sourced by bench/run.sh and the bench_*.sh rows.
#
# Each row calls bench_compare with a command of ours and the standard tool's
# command for the same work; they run alternately, and the row prints the
# median wall time of each, our peak memory and the ratio ours / theirs.

BENCH_ROOT=${BENCH_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
BENCH_STATE=${BENCH_STATE:-${TMPDIR:-/tmp}/keelvault-bench}
BENCH_PAIRS=${BENCH_PAIRS:-3}
BENCH_CLI=${BENCH_CLI:-$BENCH_ROOT/build-bench/src/cli/keelvault-cli}
BENCH_RESULTS=${BENCH_RESULTS:-$BENCH_STATE/results.txt}

# Starts (or reuses) the two benchmark servers; exports BENCH_PORT1 and BENCH_PORT2.
bench_servers_start() {
  mkdir -p "$BENCH_STATE"
  BENCH_PORT1=$("$BENCH_ROOT/scripts/mariadb-server.sh" start "$BENCH_STATE/server1")
  BENCH_PORT2=$("$BENCH_ROOT/scripts/mariadb-server.sh" start "$BENCH_STATE/server2")
  export BENCH_PORT1 BENCH_PORT2
}

# mydumper and myloader (Debian's mydumper package) are only wanted by the
# benchmarks, never by users; installed here when missing.
bench_need_mydumper() {
  command -v mydumper >/dev/null && command -v myloader >/dev/null && return 0
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get install -y --no-install-recommends mydumper >&2 ||
    { $sudo apt-get update >&2 && $sudo apt-get install -y --no-install-recommends mydumper >&2; }
}

bench_servers_stop() {
  "$BENCH_ROOT/scripts/mariadb-server.sh" stop "$BENCH_STATE/server1" || true
  "$BENCH_ROOT/scripts/mariadb-server.sh" stop "$BENCH_STATE/server2" || true
}

# The mariadb client on server 1 or 2: bench_sql 1 -e "SELECT 1"
bench_sql() {
  local which=$1
  shift
  local port=$BENCH_PORT1
  [ "$which" = 2 ] && port=$BENCH_PORT2
  mariadb --no-defaults -h 127.0.0.1 -P "$port" -u root "$@"
}

# The benchmark database "bench" on server 1: table t with 1,000,000 rows.
bench_make_db() {
  if [ "$(bench_sql 1 -N -e 'SELECT COUNT(*) FROM bench.t' 2>/dev/null)" = 1000000 ]; then return 0; fi
  echo "Creating the benchmark database (1,000,000 rows)..." >&2
  bench_sql 1 -e "DROP DATABASE IF EXISTS bench; CREATE DATABASE bench; USE bench;
    CREATE TABLE bench.t (id INT PRIMARY KEY AUTO_INCREMENT, a INT, b BIGINT, c VARCHAR(100), d DATETIME,
      e DECIMAL(10,2), f TEXT) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
    INSERT INTO bench.t (a, b, c, d, e, f) SELECT seq, seq*1000003, CONCAT('name-', seq, ' O''Brien'),
      '2024-01-01' + INTERVAL seq SECOND, seq/7, REPEAT('x', seq % 200) FROM bench.seq_1_to_1000000;"
}

# Runs a shell command line once; prints "seconds peak_kb".
bench_measure() {
  local out
  out=$(mktemp)
  /usr/bin/time -f '%e %M' -o "$out" bash -c "$1" >/dev/null 2>"$out.err" || {
    echo "benchmark command failed: $1" >&2
    cat "$out.err" >&2
    rm -f "$out" "$out.err"
    return 1
  }
  tail -n 1 "$out"
  rm -f "$out" "$out.err"
}

bench_median() { sort -g | awk '{ a[NR] = $1 } END { if (NR % 2) print a[(NR + 1) / 2]; else print (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# bench_compare NAME GOAL OURS THEIRS [SETUP]
# SETUP (optional) runs before every single measurement (e.g. to empty a
# destination database).
bench_compare() {
  local name=$1 goal=$2 ours=$3 theirs=$4 setup=${5:-}
  local ours_t=() theirs_t=() ours_m=() i r
  for ((i = 0; i < BENCH_PAIRS; i++)); do
    [ -n "$setup" ] && bash -c "$setup"
    r=$(bench_measure "$ours") || return 1
    ours_t+=("${r% *}")
    ours_m+=("${r#* }")
    [ -n "$setup" ] && bash -c "$setup"
    r=$(bench_measure "$theirs") || return 1
    theirs_t+=("${r% *}")
  done
  local o t m
  o=$(printf '%s\n' "${ours_t[@]}" | bench_median)
  t=$(printf '%s\n' "${theirs_t[@]}" | bench_median)
  m=$(printf '%s\n' "${ours_m[@]}" | sort -g | tail -n 1)
  local line
  line=$(awk -v n="$name" -v o="$o" -v t="$t" -v m="$m" -v g="$goal" \
    'BEGIN { printf "| %s | %.2f s | %.2f s | %.2f | %.1f MB | %s |\n", n, o, t, (t > 0 ? o / t : 0), m / 1024, g }')
  echo "$line"
  mkdir -p "$(dirname "$BENCH_RESULTS")"
  echo "$line" >>"$BENCH_RESULTS"
}
