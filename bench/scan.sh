#!/usr/bin/env bash
# scan.sh - how fast and how lean the engine's folder scan is, against the floors.
#
# Builds the synthetic trees (default and large presets) under /tmp/quillon-bench if they are
# missing, builds the walker probes and the program, warms the cache, and times on each tree,
# side by side in one hyperfine run with repeated runs: the probe (the one-thread floor), pprobe
# with 2 workers and with one a core (the parallel floors), qpscan, the program's headless report
# (which scans the folder) and its report on a display that quits when written (start-up, window
# and scan: the GUI scan to idle, on a private Xvfb), the same walk with QUILLON_SCAN_THREADS=1
# (the sequential walk), du and ncdu. Prints the median wall times, their ratios to the probe's
# and to pprobe -j 2, qpscan's peak resident memory, and whether the targets hold (qpscan <=
# 1.15x pprobe -j 2; the report and the GUI scan <= 1.3x qpscan on the default tree and <= 1.15x
# on the large one; <= 20 MiB + 400 bytes a folder). With -c (as root) the cache is dropped
# before every run instead (sync; echo 3 > /proc/sys/vm/drop_caches), with fewer runs.
#
# The machine may be shared, so the four commands are timed in several rounds (each round runs
# every command RUNS times, one after the other): the ratio to the probe is taken in each round
# and the target is judged on the median of those paired ratios; the medians over all runs are
# shown as well.
#
# Usage: bench/scan.sh [-r RUNS] [-n ROUNDS] [-p "default large"] [-c]
# Environment: QUILLON_BENCH_DIR (trees, probe, results; default /tmp/quillon-bench),
#              QUILLON_BENCH_BUILD (qpscan's build folder; default build-bench in the repo),
#              QUILLON_SHARED_BENCH (make-tree.sh and probe/; default ../shared/bench).
# Not run by CI: the large tree takes half a minute to build and a minute to time.
set -euo pipefail

runs=3
rounds=6
presets="default large"
cold=0
usage_end=25
. "$(dirname "$0")/common.sh"
bench_needs hyperfine ncdu python3 g++ cmake Xvfb

for preset in $presets; do
  if [ ! -d "$work/$preset" ] || [ ! -f "$work/$preset.manifest" ]; then
    echo "building the $preset tree in $work/$preset"
    "$shared/make-tree.sh" -f -p "$preset" "$work/$preset"
  fi
done

probe=$work/probe
if [ ! -x "$probe" ] || [ "$shared/probe/probe.cpp" -nt "$probe" ]; then
  g++ -O2 -std=c++17 -Wall -Wextra -o "$probe" "$shared/probe/probe.cpp"
fi
pprobe=$work/pprobe
if [ ! -x "$pprobe" ] || [ "$shared/probe/pprobe.cpp" -nt "$pprobe" ]; then
  g++ -O2 -std=c++17 -pthread -Wall -Wextra -o "$pprobe" "$shared/probe/pprobe.cpp"
fi
cores=$(nproc)
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target qpscan quillon zipadd zipext >/dev/null
qpscan=$build/tools/qpscan
quillon=$build/app/quillon

# The program runs on its own settings, and its display is a private X server.
home=$work/home
mkdir -p "$home"
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
report="env QT_QPA_PLATFORM=offscreen $quillon /RINF"
gui="env DISPLAY=$display QT_QPA_PLATFORM=xcb $quillon /RINF"
prepare=()
if [ "$cold" = 1 ]; then
  [ "$(id -u)" = 0 ] || { echo "-c needs root (it drops the page cache)" >&2; exit 1; }
  # The runs go without a shell (-N), and so does the preparation unless it asks for one.
  prepare=(--prepare "sh -c 'sync; echo 3 > /proc/sys/vm/drop_caches'")
fi

for preset in $presets; do
  tree=$work/$preset
  manifest=$(cat "$tree.manifest")
  echo
  echo "== $preset: $manifest"
  # Warm the cache, and check the counts against the manifest on the way.
  "$probe" "$tree" >/dev/null || true
  record=$("$qpscan" "$tree" 2>"$work/$preset.qpscan.err")
  du -s --apparent-size -b "$tree" >/dev/null
  ncdu -0 -x -o /dev/null "$tree"

  many=()
  [ "$cores" != 2 ] && many=(-n "pprobe -j $cores" "$pprobe -j $cores $tree")
  rm -f "$work/$preset".[0-9]*.json  # an earlier run's extra rounds are not this one's
  for round in $(seq 1 "$rounds"); do
    hyperfine -N --style basic --warmup 1 --runs "$runs" "${prepare[@]}" \
      --export-json "$work/$preset.$round.json" \
      -n probe "$probe $tree" \
      -n "pprobe -j 2" "$pprobe -j 2 $tree" \
      "${many[@]}" \
      -n qpscan "$qpscan $tree" \
      -n "qpscan 1 thread" "env QUILLON_SCAN_THREADS=1 $qpscan $tree" \
      -n report "$report $tree $work/report.txt" \
      -n "gui scan" "$gui $tree $work/gui.txt /Q" \
      -n du "du -s --apparent-size -b $tree" \
      -n ncdu "ncdu -0 -x -o /dev/null $tree" >"$work/$preset.$round.hyperfine.txt" 2>&1
  done

  # Peak memory: the largest of three runs (the first one above already measured once).
  peak=$(sed -n 's/^PeakResidentKiB=//p' "$work/$preset.qpscan.err")
  for _ in 1 2; do
    p=$("$qpscan" "$tree" 2>&1 >/dev/null | sed -n 's/^PeakResidentKiB=//p')
    [ "$p" -gt "$peak" ] && peak=$p
  done

  python3 - "$peak" "$manifest" "$record" "$preset" "$work/$preset".[0-9]*.json <<'PY'
import json, re, statistics, sys
peak_kib, manifest, record, preset = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
times = {}
round_ratios = {}
floor_ratios = {}
scan_ratios = {}
for path in sys.argv[5:]:
    rs = {r["command"]: r for r in json.load(open(path))["results"]}
    for name, r in rs.items():
        times.setdefault(name, []).extend(r["times"])
        round_ratios.setdefault(name, []).append(r["median"] / rs["probe"]["median"])
        floor_ratios.setdefault(name, []).append(r["median"] / rs["pprobe -j 2"]["median"])
        scan_ratios.setdefault(name, []).append(r["median"] / rs["qpscan"]["median"])
results = {name: {"median": statistics.median(t), "min": min(t), "max": max(t), "n": len(t)}
           for name, t in times.items()}
m = dict(re.findall(r"(\w+)=(\d+)", manifest))
rec = dict(re.findall(r"^(\w+)=(-?\d+)$", record, re.M))
dirs, files, links = int(m["dirs"]), int(m["files"]), int(m["symlinks"])

probe = results["probe"]["median"]
print(f"{'command':16} {'runs':>5} {'median s':>9} {'min s':>7} {'max s':>7} {'x probe':>8} "
      f"{'paired x probe':>15} {'paired x pprobe-2':>18}")
for name in results:
    r = results[name]
    paired = statistics.median(round_ratios[name])
    floor = statistics.median(floor_ratios[name])
    print(f"{name:16} {r['n']:5} {r['median']:9.3f} {r['min']:7.3f} {r['max']:7.3f} "
          f"{r['median'] / probe:8.2f} {paired:15.2f} {floor:18.2f}")
print("qpscan / pprobe -j 2 by round: " + " ".join(f"{x:.2f}" for x in floor_ratios["qpscan"]))

ratio = statistics.median(floor_ratios["qpscan"])
limit = 1.3 if preset == "default" else 1.15
report = statistics.median(scan_ratios["report"])
gui = statistics.median(scan_ratios["gui scan"])
sequential = statistics.median(scan_ratios["qpscan 1 thread"])
print(f"qpscan: {ratio:.2f}x pprobe -j 2 (target <= 1.15: {'met' if ratio <= 1.15 else 'MISSED'}); "
      f"the report {report:.2f}x and the GUI scan {gui:.2f}x qpscan (target <= {limit}: "
      f"{'met' if max(report, gui) <= limit else 'MISSED'}); the sequential walk {sequential:.2f}x qpscan")
limit_kib = 20 * 1024 + 400 * dirs / 1024
counts_ok = (int(rec["TreeFolderCount"]) == dirs - 1 and
             int(rec["TreeFileCount"]) == files + links)
print(f"qpscan: peak resident {peak_kib / 1024:.1f} MiB for {dirs} folders, limit {limit_kib / 1024:.1f} MiB "
      f"({'met' if peak_kib <= limit_kib else 'MISSED'}); "
      f"counts {'agree with' if counts_ok else 'DIFFER FROM'} the manifest")
PY
done
