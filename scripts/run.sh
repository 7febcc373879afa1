#!/usr/bin/env bash
# Installs what is missing, builds, starts the local demo MariaDB server with
# the sample database loaded, prepares a demo data folder with a few tasks
# against it, and starts the desktop app on it. Without a display it runs the
# demo backup task with keelvault-cli instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
BUILD_DIR="$root/build" "$root/scripts/build.sh"

demo=${KEELVAULT_DEMO_DIR:-${XDG_STATE_HOME:-$HOME/.local/state}/keelvault/demo-server}
port=${KEELVAULT_DEMO_PORT:-3307}
"$root/scripts/mariadb-server.sh" start "$demo" "$port" >/dev/null
port=$(cat "$demo/port")
sakila=${KEELVAULT_SAKILA_DIR:-$root/share/sample}
if ! mariadb --no-defaults -h 127.0.0.1 -P "$port" -u root -e 'USE sakila' >/dev/null 2>&1; then
  echo "Loading the sample database into the demo server..."
  gzip -dc "$sakila/sakila-schema.sql.gz" | mariadb --no-defaults -h 127.0.0.1 -P "$port" -u root
  gzip -dc "$sakila/sakila-data.sql.gz" | mariadb --no-defaults -h 127.0.0.1 -P "$port" -u root
fi
echo "Demo MariaDB server: 127.0.0.1:$port, user root, no password (stop: scripts/mariadb-server.sh stop \"$demo\")"
# The demo keeps its own data folder, away from the user's real task list.
demo_data_home=${KEELVAULT_DEMO_DATA:-${XDG_STATE_HOME:-$HOME/.local/state}/keelvault/demo-data}
demo_folder="$demo_data_home/keelvault"
"$root/build/src/app/keelvault-demo-tasks" "$demo_folder" "$port"
export XDG_DATA_HOME="$demo_data_home"
echo "Demo data folder: $demo_folder"
echo "Demo tasks:"
"$root/build/src/cli/keelvault-cli" list || true

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting Keelvault. With a system tray it starts there (a task is scheduled): click its icon,"
  echo "press Ctrl+Alt+M, or run this command again to bring the window up."
  exec "$root/build/src/app/keelvault"
fi

echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): running the demo backup task with keelvault-cli instead."
status=0
"$root/build/src/cli/keelvault-cli" run "Sakila backup" || status=$?
echo "Backups: $demo_folder/Data/sakila-backups"
echo "Logs:    $demo_folder/Logs (keelvault-cli log \"Sakila backup\" with XDG_DATA_HOME=$demo_data_home)"
exit $status
