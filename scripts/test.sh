#!/usr/bin/env bash
# Sets everything up, builds, and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_BUILD:-$top/build}
bash "$top/scripts/build.sh"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
