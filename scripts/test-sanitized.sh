#!/usr/bin/env bash
# Builds the project and its tests with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan/ (or $QUILLON_ASAN_BUILD) and runs every test there; any report fails its test.
# The fuzz targets are built there too, and their seed and regression inputs replayed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_ASAN_BUILD:-$top/build-asan}
bash "$top/scripts/setup-deps.sh"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLON_SANITIZE=ON -DQUILLON_FUZZ=ON >/dev/null
cmake --build "$build" -j2
cd "$build"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$top/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
