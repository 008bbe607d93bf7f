#!/usr/bin/env bash
# The house rules that a compiler does not check: every source formatted as .clang-format says,
# host (POSIX, Linux) headers only in platform/ (and in the outside engine libraries and the
# tests), and no Qt Gui or Widgets header in engine/. Prints each breach; fails on any.
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

host='(unistd|fcntl|dirent|dlfcn|pwd|grp|poll|spawn|termios|pthread|sched|ftw|fnmatch|glob|libgen|mntent|utime)\.h|(sys|linux|arpa|netinet|net)/'
breaches=$(grep -nE "^\s*#\s*include\s*<($host)" "${sources[@]}" |
  grep -vE '^(platform|zipengine|tests|bench)/')
if [ -n "$breaches" ]; then
  echo "Host headers outside platform/:"
  echo "$breaches" | sed 's/^/  /'
  failed=1
fi

qt=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
ui_headers=$( (ls "$qt/QtGui" "$qt/QtWidgets" 2>/dev/null) | grep -E '^Q[A-Za-z]+$' | sort -u | paste -sd'|')
if [ -n "$ui_headers" ]; then
  breaches=$(grep -nE "^\s*#\s*include\s*<((QtGui|QtWidgets)/|($ui_headers)>)" engine/*.h engine/*.cpp 2>/dev/null)
  if [ -n "$breaches" ]; then
    echo "Qt Gui or Widgets headers in engine/:"
    echo "$breaches" | sed 's/^/  /'
    failed=1
  fi
fi
exit $failed
