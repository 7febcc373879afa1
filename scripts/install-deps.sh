#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Idempotent: only what is missing is installed.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libmariadb-dev mariadb-server mariadb-client
  zlib1g-dev libgtest-dev libxxhash-dev
  nlohmann-json3-dev libcli11-dev
  qt6-base-dev xvfb
  qt6-base-dev-tools libqt6svg6 libx11-dev
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# The server package must not start a system-wide server of its own; ours are
# started on demand with throwaway data folders.
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
  $SUDO chmod +x /usr/sbin/policy-rc.d
  trap '$SUDO rm -f /usr/sbin/policy-rc.d' EXIT
fi
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
