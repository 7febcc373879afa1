#!/usr/bin/env bash
# Installs what is missing, builds, starts the local demo MariaDB server with
# the sample database loaded, and shows the task list of the data folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
BUILD_DIR="$root/build" "$root/scripts/build.sh"

demo=${KEELVAULT_DEMO_DIR:-${XDG_STATE_HOME:-$HOME/.local/state}/keelvault/demo-server}
port=${KEELVAULT_DEMO_PORT:-3307}
"$root/scripts/mariadb-server.sh" start "$demo" "$port" >/dev/null
port=$(cat "$demo/port")
sakila=${KEELVAULT_SAKILA_DIR:-$root/../shared/data/sakila}
if ! mariadb --no-defaults -h 127.0.0.1 -P "$port" -u root -e 'USE sakila' >/dev/null 2>&1; then
  echo "Loading the sample database into the demo server..."
  mariadb --no-defaults -h 127.0.0.1 -P "$port" -u root <"$sakila/sakila-schema.sql"
  mariadb --no-defaults -h 127.0.0.1 -P "$port" -u root <"$sakila/sakila-data.sql"
fi
echo "Demo MariaDB server: 127.0.0.1:$port, user root, no password (stop: scripts/mariadb-server.sh stop \"$demo\")"
echo "Task list of the data folder:"
"$root/build/src/cli/keelvault-cli" list || true
