#!/usr/bin/env bash
# Builds the zip that users download: tidewell-<version>-win64.zip (or
# -win32.zip for the 32-bit program, from a build whose programs are 32-bit)
# with tidewell.exe, its English language library RC409.dll and a short
# read-me, all in the zip's top level (the program finds its language library
# beside itself). The version is the program's own file version. Without a
# build folder, both zips: build/win64 and, when built, build/win32.
#
#   dist.sh [BUILD_DIR [OUT_DIR]]   (defaults: build/win64 and build/win32, dist/)
# Prints the zips' paths.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -eq 0 ]; then
  bash "$0" "$top/build/win64" "$top/dist"
  bash "$0" "$top/build/win32" "$top/dist"
  exit 0
fi
build="$1"
out="${2:-$top/dist}"

version="$(sed -n 's/.*VALUE "FileVersion", "\([0-9.]*\)".*/\1/p' "$top/src/resources/tidewell.rc" | head -n 1)"
[ -n "$version" ] || { echo "dist: no FileVersion in src/resources/tidewell.rc" >&2; exit 1; }
for f in tidewell.exe RC409.dll; do
  [ -f "$build/bin/$f" ] || { echo "dist: $build/bin/$f is missing; build its preset first" >&2; exit 1; }
done
command -v zip >/dev/null || { echo "dist: zip is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }

# The program's machine type (PE offset 0x3c, then 4 bytes on): 0x14c is i386.
pe="$(od -An -tu4 -j60 -N4 "$build/bin/tidewell.exe" | tr -d ' ')"
machine="$(od -An -tx2 -j$((pe + 4)) -N2 "$build/bin/tidewell.exe" | tr -d ' ')"
case "$machine" in
  014c) bits=32 strip_prefix=i686 ;;
  8664) bits=64 strip_prefix=x86_64 ;;
  *) echo "dist: $build/bin/tidewell.exe is no Windows program for x86 or x64" >&2; exit 1 ;;
esac

# Staged inside the build folder, not in /tmp.
stage="$build/dist-stage"
rm -rf "$stage"
mkdir -p "$stage" "$out"
cp "$build/bin/tidewell.exe" "$build/bin/RC409.dll" "$stage/"
# The debugging symbols stay out of what users download.
strip="$(command -v $strip_prefix-w64-mingw32-strip || true)"
[ -n "$strip" ] && "$strip" "$stage/tidewell.exe"
# Read on Windows: CR LF line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$top/packaging/README.txt" >"$stage/README.txt"

zipfile="$out/tidewell-$version-win$bits.zip"
rm -f "$zipfile"
(cd "$stage" && zip -q -X "$zipfile" tidewell.exe RC409.dll README.txt)
rm -rf "$stage"
echo "$zipfile"
