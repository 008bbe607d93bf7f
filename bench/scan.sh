#!/usr/bin/env bash
# scan.sh - how fast and how lean the engine's folder scan is, against the floor.
#
# Builds the synthetic trees (default and large presets) under /tmp/quillon-bench if they are
# missing, builds the walker probe and qpscan, warms the cache, and times on each tree, side by
# side in one hyperfine run with repeated runs: the probe (the floor), qpscan, du and ncdu.
# Prints the median wall times, their ratios to the probe's, qpscan's peak resident memory,
# and whether the targets hold (qpscan <= 1.10x the probe; <= 20 MiB + 400 bytes a folder).
#
# The machine may be shared, so the four commands are timed in several rounds (each round runs
# every command RUNS times, one after the other): the ratio to the probe is taken in each round
# and the target is judged on the median of those paired ratios; the medians over all runs are
# shown as well.
#
# Usage: bench/scan.sh [-r RUNS] [-n ROUNDS] [-p "default large"]
# Environment: QUILLON_BENCH_DIR (trees, probe, results; default /tmp/quillon-bench),
#              QUILLON_BENCH_BUILD (qpscan's build folder; default build-bench in the repo),
#              QUILLON_SHARED_BENCH (make-tree.sh and probe/; default ../shared/bench).
# Not run by CI: the large tree takes half a minute to build and a minute to time.
set -euo pipefail

runs=3
rounds=6
presets="default large"
while [ $# -gt 0 ]; do
  case "$1" in
    -r) runs=$2; shift 2 ;;
    -n) rounds=$2; shift 2 ;;
    -p) presets=$2; shift 2 ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done

repo=$(cd "$(dirname "$0")/.." && pwd)
shared=${QUILLON_SHARED_BENCH:-$repo/../shared/bench}
work=${QUILLON_BENCH_DIR:-/tmp/quillon-bench}
build=${QUILLON_BENCH_BUILD:-$repo/build-bench}
for tool in hyperfine ncdu python3 g++ cmake; do
  command -v "$tool" >/dev/null || { echo "scan.sh needs $tool (scripts/setup-deps.sh)" >&2; exit 1; }
done
mkdir -p "$work"

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
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target qpscan >/dev/null
qpscan=$build/tools/qpscan

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

  for round in $(seq 1 "$rounds"); do
    hyperfine -N --style basic --warmup 1 --runs "$runs" --export-json "$work/$preset.$round.json" \
      -n probe "$probe $tree" \
      -n qpscan "$qpscan $tree" \
      -n du "du -s --apparent-size -b $tree" \
      -n ncdu "ncdu -0 -x -o /dev/null $tree" >"$work/$preset.$round.hyperfine.txt" 2>&1
  done

  # Peak memory: the largest of three runs (the first one above already measured once).
  peak=$(sed -n 's/^PeakResidentKiB=//p' "$work/$preset.qpscan.err")
  for _ in 1 2; do
    p=$("$qpscan" "$tree" 2>&1 >/dev/null | sed -n 's/^PeakResidentKiB=//p')
    [ "$p" -gt "$peak" ] && peak=$p
  done

  python3 - "$peak" "$manifest" "$record" "$work/$preset".[0-9]*.json <<'PY'
import json, re, statistics, sys
peak_kib, manifest, record = int(sys.argv[1]), sys.argv[2], sys.argv[3]
times = {}
round_ratios = {}
for path in sys.argv[4:]:
    rs = {r["command"]: r for r in json.load(open(path))["results"]}
    for name, r in rs.items():
        times.setdefault(name, []).extend(r["times"])
        round_ratios.setdefault(name, []).append(r["median"] / rs["probe"]["median"])
results = {name: {"median": statistics.median(t), "min": min(t), "max": max(t), "n": len(t)}
           for name, t in times.items()}
m = dict(re.findall(r"(\w+)=(\d+)", manifest))
rec = dict(re.findall(r"^(\w+)=(-?\d+)$", record, re.M))
dirs, files, links = int(m["dirs"]), int(m["files"]), int(m["symlinks"])

probe = results["probe"]["median"]
print(f"{'command':8} {'runs':>5} {'median s':>9} {'min s':>7} {'max s':>7} {'x probe':>8} "
      f"{'paired x probe':>15}")
for name in ("probe", "qpscan", "du", "ncdu"):
    r = results[name]
    paired = statistics.median(round_ratios[name])
    print(f"{name:8} {r['n']:5} {r['median']:9.3f} {r['min']:7.3f} {r['max']:7.3f} "
          f"{r['median'] / probe:8.2f} {paired:15.2f}")
print("qpscan / probe by round: " + " ".join(f"{x:.2f}" for x in round_ratios["qpscan"]))

ratio = statistics.median(round_ratios["qpscan"])
limit_kib = 20 * 1024 + 400 * dirs / 1024
counts_ok = (int(rec["TreeFolderCount"]) == dirs - 1 and
             int(rec["TreeFileCount"]) == files + links)
print(f"qpscan: {ratio:.2f}x the probe, median of paired rounds (target <= 1.10: {'met' if ratio <= 1.10 else 'MISSED'}); "
      f"peak resident {peak_kib / 1024:.1f} MiB for {dirs} folders, limit {limit_kib / 1024:.1f} MiB "
      f"({'met' if peak_kib <= limit_kib else 'MISSED'}); "
      f"counts {'agree with' if counts_ok else 'DIFFER FROM'} the manifest")
PY
done
