#!/usr/bin/env bash
# Sets everything up, builds, and starts Quillon Pro with the given arguments.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLON_BUILD:-$top/build}
bash "$top/scripts/build.sh" --target quillon >&2
exec "$build/app/quillon" "$@"
