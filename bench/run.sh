#!/usr/bin/env bash
# Runs every benchmark (make bench builds them first): the native programs
# from bench/*_bench.cpp, then the Windows programs from bench/*_winbench.cpp
# under Wine with a private display. Each prints "name: ratio R (...)" lines,
# the code under test against a baseline timed in the same run. The exit code
# is non-zero when a benchmark missed its target or failed to run.
# Usage: bench/run.sh [NAME-PATTERN]   (e.g. bench/run.sh skeleton)
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
pattern="${1:-}"
rc=0

names() { for f in "$top"/bench/*"$1".cpp; do [ -e "$f" ] && basename "$f" .cpp; done | grep -- "$pattern"; }

native="$(names _bench)"
windows="$(names _winbench)"

for n in $native; do
  echo "== $n"
  "$top/build/native/$n" || { echo "$n: FAILED"; rc=1; }
done

if [ -n "$windows" ]; then
  export TW_BUILD_DIR="$top/build/win64"
  "$top/scripts/wine-prefix.sh" "$TW_BUILD_DIR" || exit 1
  run_windows() {
    local n rc=0
    for n in $windows; do
      echo "== $n (Wine)"
      "$top/scripts/wine-run.sh" "$TW_BUILD_DIR/bin/$n.exe" || { echo "$n: FAILED"; rc=1; }
    done
    (. "$top/scripts/wine-env.sh" "$TW_BUILD_DIR"; wineserver -k 2>/dev/null; wineserver -w 2>/dev/null) || true
    return $rc
  }
  export -f run_windows
  export top windows
  "$top/scripts/with-xvfb.sh" bash -c run_windows || rc=1
fi
exit $rc
