#!/usr/bin/env bash
# Turns the screenshots the e2e driver saved inside the Wine prefix
# (C:\screens\*.bmp) into PNGs under BUILD_DIR/screenshots/, where a person can
# open them, and removes the BMPs. Prints each PNG's path.
# With --clear (before the tests) it removes the pictures of an earlier run
# instead, so that every PNG there is from the last run (make run's run.png
# stays).
# Usage: collect-screenshots.sh [--clear] BUILD_DIR
set -uo pipefail
clear=0
if [ "${1:-}" = --clear ]; then clear=1; shift; fi
build="$(cd "${1:?build folder}" && pwd)"
src="$build/wineprefix/drive_c/screens"
dst="$build/screenshots"
if [ $clear = 1 ]; then
  rm -f "$src"/*.bmp
  find "$dst" -maxdepth 1 -name '*.png' ! -name run.png -delete 2>/dev/null
  exit 0
fi
[ -d "$src" ] || exit 0
mkdir -p "$dst"
rc=0
for bmp in "$src"/*.bmp; do
  [ -e "$bmp" ] || continue
  png="$dst/$(basename "${bmp%.bmp}").png"
  if convert "$bmp" "$png"; then
    rm -f "$bmp"
    echo "screenshot: $png"
  else
    echo "collect-screenshots: could not convert $bmp" >&2
    rc=1
  fi
done
exit $rc
