#!/usr/bin/env bash
# Builds the engine's and the host layer's tests with clang under ThreadSanitizer in build-tsan/
# (or $QUILLON_TSAN_BUILD) and runs them with the scanner's read-ahead at 4 workers and at its
# default; any report of a data race fails its test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_TSAN_BUILD:-$top/build-tsan}
bash "$top/scripts/setup-deps.sh"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLON_TSAN=ON >/dev/null
cmake --build "$build" -j2 --target test_engine test_platform test_file_operations
cd "$build"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
# Tests that start other programs (cp, du, ncdu) are left out: clang 14's ThreadSanitizer stops
# on a CHECK in the child Qt forks for them, before anything of ours runs there.
spawning='HardLinkedFilesCountOnce|AHardLinkItsCountingFolder|ThroughNcdu|CompressedInputIsUnpacked'
for dir in engine platform; do
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --test-dir "$build/tests/$dir" \
    -E "$spawning" "$@"
done
