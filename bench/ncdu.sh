#!/usr/bin/env bash
# ncdu.sh - how fast scans travel in ncdu's export format, against ncdu itself.
#
# On the synthetic trees under /tmp/quillon-bench (default and large presets, built if missing):
# - export: `quillon --export-ncdu TREE FILE` against `ncdu -0 -x -o FILE TREE` (both walk the
#   disk and write the export) and `qpscan TREE` (the walk alone);
# - import: `quillon --import-ncdu EXPORT /RTXT ROOT out.txt /Q` without a display (reading the
#   export, building the tree, writing a small report; start-up included) against
#   `ncdu -0 -f EXPORT -o /dev/null` (reading it and writing it again), on the export ncdu
#   wrote. Medians of hyperfine runs in paired rounds, and the peak resident memory of each.
#
# Usage: bench/ncdu.sh [-r RUNS] [-n ROUNDS] [-p "default large"]
# Environment: QUILLON_BENCH_DIR, QUILLON_BENCH_BUILD, QUILLON_SHARED_BENCH as in scan.sh.
# Not run by CI.
set -euo pipefail

runs=3
rounds=3
presets="default large"
usage_end=14
. "$(dirname "$0")/common.sh"
bench_needs hyperfine ncdu python3 cmake
for preset in $presets; do
  if [ ! -d "$work/$preset" ] || [ ! -f "$work/$preset.manifest" ]; then
    echo "building the $preset tree in $work/$preset"
    "$shared/make-tree.sh" -f -p "$preset" "$work/$preset"
  fi
done
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target qpscan quillon >/dev/null
qpscan=$build/tools/qpscan
quillon=$build/app/quillon

unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data

for preset in $presets; do
  tree=$work/$preset
  theirs=$work/$preset.ncdu.json
  ours=$work/$preset.quillon.json
  echo
  echo "== $preset: $(cat "$tree.manifest")"
  "$qpscan" "$tree" >/dev/null 2>&1  # warms the cache
  ncdu -0 -x -o "$theirs" "$tree"
  "$quillon" --export-ncdu "$tree" "$ours"
  "$quillon" --import-ncdu "$theirs" /RTXT "$tree" "$work/ncdu-report.txt" /Q ||
    { echo "the import failed" >&2; exit 1; }
  echo "exports: ncdu $(stat -c %s "$theirs") bytes, quillon $(stat -c %s "$ours") bytes"

  rm -f "$work/$preset".ncdu.[0-9]*.json  # an earlier run's extra rounds are not this one's
  for round in $(seq 1 "$rounds"); do
    hyperfine -N --style basic --warmup 1 --runs "$runs" --export-json "$work/$preset.ncdu.$round.json" \
      -n export "$quillon --export-ncdu $tree $ours" \
      -n ncdu-o "ncdu -0 -x -o $theirs.again $tree" \
      -n qpscan "$qpscan $tree" \
      -n import "$quillon --import-ncdu $theirs /RTXT $tree $work/ncdu-report.txt /Q" \
      -n ncdu-f "ncdu -0 -f $theirs -o /dev/null" >"$work/$preset.ncdu.$round.txt" 2>&1
  done

  python3 - "$quillon" "$qpscan" "$tree" "$theirs" "$ours" "$work" "$work/$preset".ncdu.[0-9]*.json <<'PY'
import json, statistics, subprocess, sys
quillon, qpscan, tree, theirs, ours, work = sys.argv[1:7]

def peak_mib(command):
    probe = ("import resource, subprocess, sys; subprocess.run(sys.argv[1:], "
             "stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True); "
             "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    return max(int(subprocess.run([sys.executable, "-c", probe] + command, capture_output=True,
                                  text=True, check=True).stdout) for _ in range(2)) / 1024

times, ratios = {}, {"export": [], "import": []}
for path in sys.argv[7:]:
    rs = {r["command"]: r for r in json.load(open(path))["results"]}
    for name, r in rs.items():
        times.setdefault(name, []).extend(r["times"])
    ratios["export"].append(rs["export"]["median"] / rs["ncdu-o"]["median"])
    ratios["import"].append(rs["import"]["median"] / rs["ncdu-f"]["median"])
peaks = {
    "export": peak_mib([quillon, "--export-ncdu", tree, ours]),
    "ncdu-o": peak_mib(["ncdu", "-0", "-x", "-o", theirs + ".again", tree]),
    "qpscan": peak_mib([qpscan, tree]),
    "import": peak_mib([quillon, "--import-ncdu", theirs, "/RTXT", tree, work + "/ncdu-report.txt", "/Q"]),
    "ncdu-f": peak_mib(["ncdu", "-0", "-f", theirs, "-o", "/dev/null"]),
}
print(f"{'command':8} {'runs':>5} {'median s':>9} {'min s':>7} {'max s':>7} {'peak MiB':>9}")
for name in ("export", "ncdu-o", "qpscan", "import", "ncdu-f"):
    t = times[name]
    print(f"{name:8} {len(t):5} {statistics.median(t):9.3f} {min(t):7.3f} {max(t):7.3f} {peaks[name]:9.1f}")
print(f"export: {statistics.median(ratios['export']):.2f}x ncdu -o (median of paired rounds); "
      f"import: {statistics.median(ratios['import']):.2f}x ncdu -f")
PY
done
