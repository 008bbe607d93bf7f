#!/usr/bin/env bash
# The full fault sweep and kill test: every injection point of each operation with each of
# ENOSPC, EIO and EACCES, then 50 kills per operation, and the table of figures.
# Usage: tests/faults/run.sh [build folder] [sweep options] (the build folder defaults to build/;
# options as "quillon_faults sweep" takes them, such as --ops move,archive or --seed 7).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
shift || true
exe=$build/tests/faults/quillon_faults
if [ ! -x "$exe" ]; then
  echo "No $exe: build the project first (scripts/build.sh or cmake --build $build)." >&2
  exit 2
fi
QT_QPA_PLATFORM=offscreen exec "$exe" sweep --every 1 --all-errnos --kills 50 "$@"
