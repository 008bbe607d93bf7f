#!/usr/bin/env bash
# files.sh - what keeping every file costs and how fast the file store answers.
#
# On the large synthetic tree under /tmp/quillon-bench (100,000 folders, 1,000,000 files; built
# if missing), warm cache: `qpscan TREE` against `qpscan --file-details TREE` in paired hyperfine
# rounds; the peak resident memory of both and of ncdu scanning the tree and showing it (run in
# a pseudo-terminal, quit once the scan is shown); and the times `qpscan --ask` reports for the
# largest 100 files, the file types and a search of a substring over the whole tree, from the
# store (asked after the timed runs).
# Prints the ratios against the targets: the scan with details at most 1.10x the scan without,
# its peak at most 0.8x ncdu's.
#
# Usage: bench/files.sh [-r RUNS] [-n ROUNDS] [-p large]
# Environment: QUILLON_BENCH_DIR, QUILLON_BENCH_BUILD, QUILLON_SHARED_BENCH as in scan.sh.
# Not run by CI.
set -euo pipefail

runs=3
rounds=3
presets="large"
usage_end=15
. "$(dirname "$0")/common.sh"
bench_needs hyperfine python3 cmake ncdu script
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target qpscan >/dev/null
qpscan=$build/tools/qpscan

for preset in $presets; do
  tree=$work/$preset
  if [ ! -d "$tree" ] || [ ! -f "$tree.manifest" ]; then
    echo "building the $preset tree in $tree"
    "$shared/make-tree.sh" -f -p "$preset" "$tree"
  fi
  echo
  echo "== $preset: $(cat "$tree.manifest")"
  "$qpscan" "$tree" >/dev/null 2>&1  # warms the cache
  rm -f "$work/$preset".files.[0-9]*.json  # an earlier run's extra rounds are not this one's
  for round in $(seq 1 "$rounds"); do
    hyperfine -N --style basic --warmup 1 --runs "$runs" --export-json "$work/$preset.files.$round.json" \
      -n plain "$qpscan $tree" -n details "$qpscan --file-details $tree" \
      >"$work/$preset.files.$round.hyperfine.txt" 2>&1
  done
  "$qpscan" "$tree" 2>"$work/$preset.plain.err" >/dev/null
  "$qpscan" --file-details --ask "$tree" 2>"$work/$preset.details.err" >/dev/null
  # ncdu as a person uses it: it scans, shows the tree, and is quit with q.
  rm -f "$work/ncdu.rss"
  (sleep 20; printf q) | TERM=xterm script -qfc \
    "/usr/bin/time -f %M -o $work/ncdu.rss ncdu -x $tree" /dev/null >/dev/null 2>&1 || true
  python3 - "$work/ncdu.rss" "$work/$preset.plain.err" "$work/$preset.details.err" \
    "$work/$preset".files.[0-9]*.json <<'PY'
import json, re, statistics, sys
ncdu = int(open(sys.argv[1]).read().split()[-1]) / 1024
def facts(path):
    return dict(re.findall(r"^(\w+)=(.*)$", open(path).read(), re.M))
plain, details = facts(sys.argv[2]), facts(sys.argv[3])
ratios, times = [], {}
for path in sys.argv[4:]:
    rs = {r["command"]: r for r in json.load(open(path))["results"]}
    for name, r in rs.items():
        times.setdefault(name, []).extend(r["times"])
    ratios.append(rs["details"]["median"] / rs["plain"]["median"])
peak = {k: int(v["PeakResidentKiB"]) / 1024 for k, v in (("plain", plain), ("details", details))}
print(f"scan without file details: {statistics.median(times['plain']):.3f} s, peak {peak['plain']:.1f} MiB")
print(f"scan with file details:    {statistics.median(times['details']):.3f} s, peak {peak['details']:.1f} MiB"
      f" ({details['StoredFiles']} files, store {int(details['StoreBytes']) / 2**20:.1f} MiB)")
ratio = statistics.median(ratios)
print(f"with / without by round: " + " ".join(f"{x:.2f}" for x in ratios) +
      f"; {ratio:.2f}x (target <= 1.10: {'met' if ratio <= 1.10 else 'MISSED'})")
share = peak["details"] / ncdu
print(f"ncdu scan-and-browse peak {ncdu:.1f} MiB; with details {share:.2f}x (target <= 0.8: "
      f"{'met' if share <= 0.8 else 'MISSED'})")
for key in ("LargestMs", "TypesMs", "FindMs"):
    print(f"{key}: {details[key]}")
PY
done
