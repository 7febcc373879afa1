#!/usr/bin/env bash
# Configures and builds into BUILD_DIR (default: build) with warnings as errors.
# Extra arguments go to the CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} -DKEELVAULT_WERROR=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
