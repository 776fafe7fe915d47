#!/usr/bin/env bash
# Turns the screenshots the e2e driver saved inside the Wine prefix
# (C:\screens\*.bmp) into PNGs under BUILD_DIR/screenshots/, where a person can
# open them, and removes the BMPs. Prints each PNG's path.
# Usage: collect-screenshots.sh BUILD_DIR
set -uo pipefail
build="$(cd "${1:?build folder}" && pwd)"
src="$build/wineprefix/drive_c/screens"
dst="$build/screenshots"
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
