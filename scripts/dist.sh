#!/usr/bin/env bash
# Builds the zip that users download: tidewell-<version>-win64.zip with
# tidewell.exe, its English language library RC409.dll and a short read-me,
# all in the zip's top level (the program finds its language library beside
# itself). The version is the program's own file version.
#
#   dist.sh [BUILD_DIR [OUT_DIR]]   (defaults: build/win64 and dist/)
# Prints the zip's path.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build/win64}"
out="${2:-$top/dist}"

version="$(sed -n 's/.*VALUE "FileVersion", "\([0-9.]*\)".*/\1/p' "$top/src/resources/tidewell.rc" | head -n 1)"
[ -n "$version" ] || { echo "dist: no FileVersion in src/resources/tidewell.rc" >&2; exit 1; }
for f in tidewell.exe RC409.dll; do
  [ -f "$build/bin/$f" ] || { echo "dist: $build/bin/$f is missing; build the win64 preset first" >&2; exit 1; }
done
command -v zip >/dev/null || { echo "dist: zip is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }

# Staged inside the build folder, not in /tmp.
stage="$build/dist-stage"
rm -rf "$stage"
mkdir -p "$stage" "$out"
cp "$build/bin/tidewell.exe" "$build/bin/RC409.dll" "$stage/"
# The debugging symbols stay out of what users download.
strip="$(command -v x86_64-w64-mingw32-strip || true)"
[ -n "$strip" ] && "$strip" "$stage/tidewell.exe"
# Read on Windows: CR LF line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$top/packaging/README.txt" >"$stage/README.txt"

zipfile="$out/tidewell-$version-win64.zip"
rm -f "$zipfile"
(cd "$stage" && zip -q -X "$zipfile" tidewell.exe RC409.dll README.txt)
rm -rf "$stage"
echo "$zipfile"
