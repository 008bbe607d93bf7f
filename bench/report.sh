#!/usr/bin/env bash
# report.sh - what a headless report costs beyond the scan it rests on.
#
# Builds the synthetic trees (default and large presets) under /tmp/quillon-bench if they are
# missing, builds quillon and qpscan, warms the cache, and times on each tree, side by side in
# one hyperfine run with repeated rounds: `quillon /RTXT <tree> out.txt /Q` without a display
# (start-up of the program included) and `qpscan <tree>`. Prints the median wall times, the
# median of the per-round ratios, the peak resident memory of both, and whether the targets
# hold (report <= 1.3x qpscan on the default tree, <= 1.15x on the large one, <= 1.5x on "wide":
# one folder of 20,000 subfolders, made here, whose list the report writes whole).
#
# Usage: bench/report.sh [-r RUNS] [-n ROUNDS] [-p "default large wide"]
# Environment: QUILLON_BENCH_DIR (trees, results; default /tmp/quillon-bench),
#              QUILLON_BENCH_BUILD (build folder; default build-bench in the repo),
#              QUILLON_SHARED_BENCH (make-tree.sh; default ../shared/bench).
# Not run by CI.
set -euo pipefail

runs=3
rounds=5
presets="default large"
usage_end=16
. "$(dirname "$0")/common.sh"
bench_needs hyperfine python3 cmake

for preset in $presets; do
  if [ "$preset" = wide ]; then
    if [ ! -f "$work/wide.manifest" ]; then
      rm -rf "$work/wide"
      mkdir -p "$work/wide"
      # 20,000 folders with names in no order, one in seven holding a small file.
      python3 - "$work/wide" <<'PY'
import os, sys
root = sys.argv[1]
for i in range(20000):
    folder = os.path.join(root, f"folder {i * 7919 % 100003}")
    os.mkdir(folder)
    if i % 7 == 0:
        with open(os.path.join(folder, "a.txt"), "w") as f:
            f.write("x" * (i % 5000))
PY
      echo "20000 folders, 2858 files in one folder" >"$work/wide.manifest"
    fi
    continue
  fi
  if [ ! -d "$work/$preset" ] || [ ! -f "$work/$preset.manifest" ]; then
    echo "building the $preset tree in $work/$preset"
    "$shared/make-tree.sh" -f -p "$preset" "$work/$preset"
  fi
done

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target qpscan quillon >/dev/null
qpscan=$build/tools/qpscan
quillon=$build/app/quillon

# The report runs as it would on a server: no display, its settings in a folder of its own.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
out=$work/report-out.txt

for preset in $presets; do
  tree=$work/$preset
  echo
  echo "== $preset: $(cat "$tree.manifest")"
  "$qpscan" "$tree" >/dev/null 2>&1  # warms the cache
  "$quillon" /RTXT "$tree" "$out" /Q || { echo "the report run failed" >&2; exit 1; }
  echo "report: $(wc -l <"$out") lines"

  rm -f "$work/$preset".report.[0-9]*.json  # an earlier run's extra rounds are not this one's
  for round in $(seq 1 "$rounds"); do
    hyperfine -N --style basic --warmup 1 --runs "$runs" --export-json "$work/$preset.report.$round.json" \
      -n report "$quillon /RTXT $tree $out /Q" \
      -n qpscan "$qpscan $tree" >"$work/$preset.report.$round.hyperfine.txt" 2>&1
  done

  python3 - "$preset" "$quillon" "$qpscan" "$tree" "$out" "$work/$preset".report.[0-9]*.json <<'PY'
import json, resource, statistics, subprocess, sys
preset, quillon, qpscan, tree, out = sys.argv[1:6]

def peak_mib(command):
    # The largest resident size of three runs: each run in a child of its own.
    peaks = []
    for _ in range(3):
        probe = ("import resource, subprocess, sys; subprocess.run(sys.argv[1:], "
                 "stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True); "
                 "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
        kib = subprocess.run([sys.executable, "-c", probe] + command, capture_output=True,
                             text=True, check=True).stdout
        peaks.append(int(kib))
    return max(peaks) / 1024

times, ratios = {}, []
for path in sys.argv[6:]:
    rs = {r["command"]: r for r in json.load(open(path))["results"]}
    for name, r in rs.items():
        times.setdefault(name, []).extend(r["times"])
    ratios.append(rs["report"]["median"] / rs["qpscan"]["median"])
peaks = {"report": peak_mib([quillon, "/RTXT", tree, out, "/Q"]), "qpscan": peak_mib([qpscan, tree])}
print(f"{'command':8} {'runs':>5} {'median s':>9} {'min s':>7} {'max s':>7} {'peak MiB':>9}")
for name in ("report", "qpscan"):
    t = times[name]
    print(f"{name:8} {len(t):5} {statistics.median(t):9.3f} {min(t):7.3f} {max(t):7.3f} "
          f"{peaks[name]:9.1f}")
ratio = statistics.median(ratios)
target = {"default": 1.3, "wide": 1.5}.get(preset, 1.15)
print("report / qpscan by round: " + " ".join(f"{x:.2f}" for x in ratios))
print(f"report: {ratio:.2f}x qpscan, median of paired rounds (target <= {target}: "
      f"{'met' if ratio <= target else 'MISSED'}); peak resident {peaks['report']:.1f} MiB "
      f"against qpscan's {peaks['qpscan']:.1f} MiB")
PY
done
