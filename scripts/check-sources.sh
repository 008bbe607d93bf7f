#!/usr/bin/env bash
# The house rules that a compiler does not check: every source formatted as .clang-format says,
# host (POSIX, Linux) headers only in platform/ (and in the outside engine libraries and the
# tests), includes that follow the layer order, no Qt Gui or Widgets header in engine/, config/
# or platform/, names kept as bytes (no lossy conversion of a
# host name outside platform/HostNames.cpp), and files written, removed and made only through
# platform/ (never through Qt's file classes, which follow links and convert names lossily).
# Prints each breach; fails on any.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
failed=0

mapfile -t listed < <(git ls-files -- '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
sources=()
for f in "${listed[@]}"; do [ -f "$f" ] && sources+=("$f"); done

unformatted=()
for f in "${sources[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "Not formatted as .clang-format says (run clang-format -i):"
  printf '  %s\n' "${unformatted[@]}"
  failed=1
fi

# Prints the breaches found under a heading, and fails the run, when there are any.
report() {
  [ -n "$2" ] || return 0
  echo "$1"
  echo "$2" | sed 's/^/  /'
  failed=1
}

host='(unistd|fcntl|dirent|dlfcn|pwd|grp|poll|spawn|termios|pthread|sched|ftw|fnmatch|glob|libgen|mntent|utime)\.h|(sys|linux|arpa|netinet|net)/'
report "Host headers outside platform/:" \
  "$(grep -nE "^\s*#\s*include\s*<($host)" "${sources[@]}" | grep -vE '^(platform|zipengine|tests|bench)/')"

# A host name is any bytes: these conversions turn the ones that are not UTF-8 into other names.
lossy='QFile::(en|de)codeName|toLocal8Bit|fromLocal8Bit'
report "Lossy host-name conversions outside platform/HostNames.cpp (use EncodeHostName/DecodeHostName):" \
  "$(grep -nE "$lossy" "${sources[@]}" | grep -vE '^(platform/HostNames\.cpp|tests/|bench/)')"

# Writing, removing and making files by Qt follows links at the last name and converts names lossily.
writes='QSaveFile|QFile::(remove|rename|link|copy)|\bmkpath\b|QDir::setCurrent|QDir\(\)\.(mkdir|rmdir|remove)'
report "Files written, removed or made through Qt (use platform/HostFiles.h or PinnedFolder.h):" \
  "$(grep -nE "$writes" "${sources[@]}" | grep -vE '^(tests/|bench/)')"

# The clean-up core and the files the program keeps reach the disk by descriptors alone.
core=(platform/FileOperation*.cpp platform/Tree*.cpp platform/Trash.cpp platform/PinnedFolder.cpp
      platform/HostFiles.cpp platform/EntryDigest.cpp platform/HiddenNames.cpp
      config/SettingsStore.cpp cleanup/*.cpp)
report "Qt file access in the clean-up core or the program's own files:" \
  "$(grep -nE '\bQ(File|FileInfo|DirIterator|StorageInfo)\b|QDir\(|qEnvironmentVariable' "${core[@]}" 2>/dev/null)"

# The layers, lowest first (README, Layout). A folder includes from itself and from the layers
# below it only; folders of one layer do not include each other.
layers=(
  "platform zipengine"
  "engine draw desktop config"
  "controls"
  "views"
  "reports cleanup"
  "app tools"
)
layer_table=$(for i in "${!layers[@]}"; do for d in ${layers[$i]}; do echo "$d $i"; done; done)
report "Includes against the layer order:" \
  "$(grep -nE '^\s*#\s*include\s*"[a-z]+/' "${sources[@]}" | grep -vE '^(tests|bench)/' |
     awk -v table="$layer_table" '
       BEGIN { n = split(table, rows, "\n"); for (i = 1; i <= n; i++) { split(rows[i], f, " "); level[f[1]] = f[2] } }
       {
         split($0, at, "/"); from = at[1]
         match($0, /#[ \t]*include[ \t]*"[a-z]+\//); to = substr($0, RSTART, RLENGTH)
         sub(/.*"/, "", to); sub(/\/$/, "", to)
         if (!(from in level)) { print $0 "  (" from "/ is in no layer)"; next }
         if (!(to in level)) { print $0 "  (" to "/ is in no layer)"; next }
         if (from != to && level[to] >= level[from]) print $0 "  (" from "/ may not include " to "/)"
       }')"

qt=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
ui_headers=$( (ls "$qt/QtGui" "$qt/QtWidgets" 2>/dev/null) | grep -E '^Q[A-Za-z]+$' | sort -u | paste -sd'|')
if [ -n "$ui_headers" ]; then
  report "Qt Gui or Widgets headers in engine/, config/ or platform/ (they need Qt Core alone):" \
    "$(grep -nE "^\s*#\s*include\s*<((QtGui|QtWidgets)/|($ui_headers)>)" {engine,config,platform}/*.{h,cpp} 2>/dev/null)"
fi
exit $failed
