#!/usr/bin/env bash
# Fuzzes every target (or those named) for SECONDS each, one after the other, from a copy of
# its seed corpus (the repository's corpus never grows) with its regression inputs replayed
# first. Builds the targets first when needed, in the sanitizer build (build-asan/ or
# $QUILLON_ASAN_BUILD, configured with QUILLON_SANITIZE and QUILLON_FUZZ). Any crash, leak,
# sanitizer report, timeout (10 s for one input) or running out of memory (2 GB) fails; the
# input that did it is kept under the build's fuzz-findings/ folder, to be added to
# tests/fuzz/regressions/TARGET/ with the fix. FUZZ_ARGS adds options for libFuzzer.
#
#   tests/fuzz/run.sh SECONDS [TARGET...]
set -euo pipefail
if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${QUILLON_ASAN_BUILD:-$top/build-asan}

all=(fuzz_settings_store fuzz_profile fuzz_addons fuzz_zip_entries fuzz_zip_directory fuzz_zip_extract
     fuzz_command_line fuzz_host_names fuzz_ncdu)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

if [ ! -f "$build/CMakeCache.txt" ] || ! grep -q '^QUILLON_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
  CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLON_SANITIZE=ON -DQUILLON_FUZZ=ON >/dev/null
fi
cmake --build "$build" -j"${QUILLON_JOBS:-1}" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
findings="$build/fuzz-findings"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

passed=0
failed=0
for target in "${targets[@]}"; do
  corpus="$scratch/$target"
  mkdir -p "$corpus" "$findings/$target"
  cp "$here/corpus/$target"/* "$corpus/"
  dirs=("$corpus")
  [ -d "$here/regressions/$target" ] && dirs+=("$here/regressions/$target")
  log="$findings/$target.log"
  # Each target runs in a folder of its own, where nothing it leaves behind can disturb the next.
  status=0
  (cd "$scratch" && "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/$target/" \
    ${FUZZ_ARGS:-} "${dirs[@]}") >"$log" 2>&1 || status=$?
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1 || true)
  speed=$(grep -oE 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1 || true)
  units=$(grep -oE ' corp: [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1 || true)
  if [ $status -eq 0 ]; then
    passed=$((passed + 1))
    echo "$target: ${runs:-?} executions in ${seconds} s (${speed:-?}/s), corpus ${units:-?} inputs, no finding"
  else
    failed=$((failed + 1))
    echo "$target: FAILED (exit $status) after ${runs:-?} executions; log $log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|invariant broken|artifact_prefix|Test unit written)' "$log" |
      head -20 | sed 's/^/  /'
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ]
