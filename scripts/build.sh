#!/usr/bin/env bash
# Sets up the machine, then configures and builds the project in build/ (or $QUILLON_BUILD).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_BUILD:-$top/build}
bash "$top/scripts/setup-deps.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 "$@"
