#!/usr/bin/env bash
# Runs a fuzz target once over every file of the given folders (seeds, regression inputs):
# any crash, leak, sanitizer report or broken invariant fails.
set -euo pipefail
binary=$1
shift
files=()
for folder in "$@"; do
  [ -d "$folder" ] || continue
  while IFS= read -r -d '' f; do files+=("$f"); done < <(find "$folder" -type f -print0 | sort -z)
done
if [ ${#files[@]} -eq 0 ]; then
  echo "no inputs in $*" >&2
  exit 1
fi
exec "$binary" -timeout=10 -rss_limit_mb=2048 "${files[@]}"
