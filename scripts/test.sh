#!/usr/bin/env bash
# The whole test run: installs what is missing, builds with warnings as errors,
# starts two throwaway MariaDB servers, runs every test with ctest (and the
# scheduler, editing and engine tests once more under ThreadSanitizer), stops the
# servers and exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"

BUILD_DIR="$root/build" "$root/scripts/build.sh"

state=$(mktemp -d "${TMPDIR:-/tmp}/keelvault-servers.XXXXXX")
cleanup() {
  "$root/scripts/mariadb-server.sh" stop "$state/one" || true
  "$root/scripts/mariadb-server.sh" stop "$state/two" || true
  rm -rf "$state"
}
trap cleanup EXIT INT TERM

port1=$("$root/scripts/mariadb-server.sh" start "$state/one")
port2=$("$root/scripts/mariadb-server.sh" start "$state/two")
export KEELVAULT_TEST_DB_HOST=127.0.0.1
export KEELVAULT_TEST_DB_PORT1=$port1
export KEELVAULT_TEST_DB_PORT2=$port2
export KEELVAULT_TEST_DB_USER=root
export KEELVAULT_SAKILA_DIR=${KEELVAULT_SAKILA_DIR:-$root/share/sample}
echo "MariaDB test servers on 127.0.0.1:$port1 and 127.0.0.1:$port2"

status=0
ctest --test-dir "$root/build" --output-on-failure -j2 --timeout 600 || status=1

if [ "${KEELVAULT_SKIP_TSAN:-0}" != "1" ]; then
  echo "== ThreadSanitizer run of the scheduler, editing and engine tests =="
  cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DKEELVAULT_WERROR=ON -DKEELVAULT_TSAN=ON \
    -DKEELVAULT_BUILD_UI=OFF >/dev/null
  cmake --build "$root/build-tsan" -j"$(nproc)" --target scheduler_tests editing_tests engine_tests
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
  ctest --test-dir "$root/build-tsan" --output-on-failure -j2 --timeout 900 -L 'scheduler|editing|engine' || status=1
fi

exit $status
