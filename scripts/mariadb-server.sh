#!/usr/bin/env bash
# Starts and stops throwaway MariaDB servers on 127.0.0.1.
#
#   mariadb-server.sh start DIR [PORT]   start a server with its data under DIR
#                                        (a free port is chosen when none is given);
#                                        prints the port on stdout
#   mariadb-server.sh stop DIR           stop the server of DIR
#
# The server runs as the current user with user root and no password.
set -euo pipefail

find_free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

find_prog() {
  for p in "$@"; do
    if command -v "$p" >/dev/null 2>&1; then command -v "$p"; return 0; fi
    for d in /usr/sbin /usr/bin /usr/libexec; do
      if [ -x "$d/$p" ]; then echo "$d/$p"; return 0; fi
    done
  done
  return 1
}

cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR [PORT]" >&2; exit 2; }

case "$cmd" in
start)
  mysqld=$(find_prog mariadbd mysqld) || { echo "mariadbd not found" >&2; exit 1; }
  installdb=$(find_prog mariadb-install-db mysql_install_db) || { echo "mariadb-install-db not found" >&2; exit 1; }
  client=$(find_prog mariadb mysql) || { echo "mariadb client not found" >&2; exit 1; }
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  if [ -f "$dir/server.pid" ] && kill -0 "$(cat "$dir/server.pid")" 2>/dev/null; then
    cat "$dir/port"
    exit 0
  fi
  port=${3:-$(find_free_port)}
  user=$(id -un)
  if [ ! -d "$dir/data/mysql" ]; then
    rm -rf "$dir/data"
    "$installdb" --no-defaults --datadir="$dir/data" --user="$user" \
      --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1 \
      || { cat "$dir/install.log" >&2; exit 1; }
  fi
  # A temporary folder of its own: a server starting up clears the temporary
  # tables it finds in its folder, which would be those of the other servers.
  mkdir -p "$dir/tmp"
  "$mysqld" --no-defaults --datadir="$dir/data" --user="$user" --tmpdir="$dir/tmp" \
    --bind-address=127.0.0.1 --port="$port" --socket="$dir/mysqld.sock" \
    --pid-file="$dir/server.pid" --log-error="$dir/error.log" \
    --skip-name-resolve --innodb-buffer-pool-size=128M --max-allowed-packet=64M \
    --innodb-flush-log-at-trx-commit=2 --skip-log-bin >/dev/null 2>&1 &
  echo "$port" >"$dir/port"
  for _ in $(seq 1 300); do
    if "$client" --no-defaults -h 127.0.0.1 -P "$port" -u root -e 'SELECT 1' >/dev/null 2>&1; then
      echo "$port"
      exit 0
    fi
    sleep 0.1
  done
  echo "MariaDB in $dir did not start; its error log:" >&2
  cat "$dir/error.log" >&2 || true
  exit 1
  ;;
stop)
  [ -f "$dir/server.pid" ] || exit 0
  pid=$(cat "$dir/server.pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 200); do
    kill -0 "$pid" 2>/dev/null || { rm -f "$dir/server.pid"; exit 0; }
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  rm -f "$dir/server.pid"
  ;;
*)
  echo "usage: $0 start|stop DIR [PORT]" >&2
  exit 2
  ;;
esac
