# common.sh - what the benchmark scripts share; sourced once they have set their defaults (runs,
# rounds, presets; cold too for a script that takes -c) and the line their usage text ends on
# (usage_end). Takes the script's options -r RUNS, -n ROUNDS, -p PRESETS, -c and -h, sets the
# folders (repo, shared, work, build) and gives bench_needs TOOL..., which checks the tools and
# makes the work folder.

while [ $# -gt 0 ]; do
  case "$1" in
    -r) runs=$2; shift 2 ;;
    -n) rounds=$2; shift 2 ;;
    -p) presets=$2; shift 2 ;;
    -c) [ -n "${cold+set}" ] || { echo "unknown argument $1" >&2; exit 2; }; cold=1; shift ;;
    -h|--help) sed -n "2,${usage_end}p" "$0"; exit 0 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done

repo=$(cd "$(dirname "$0")/.." && pwd)
shared=${QUILLON_SHARED_BENCH:-$repo/../shared/bench}
work=${QUILLON_BENCH_DIR:-/tmp/quillon-bench}
build=${QUILLON_BENCH_BUILD:-$repo/build-bench}

bench_needs() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null ||
      { echo "$(basename "$0") needs $tool (scripts/setup-deps.sh)" >&2; exit 1; }
  done
  mkdir -p "$work"
}
