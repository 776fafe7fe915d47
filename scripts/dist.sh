#!/usr/bin/env bash
# Builds what users download: tidewell-<version>-win64.zip with tidewell.exe,
# its English language library RC409.dll and a short read-me, all in the
# zip's top level (the program finds its language library beside itself),
# and the installer packages tidewell-<version>-x64.msi and, when the 32-bit
# program has been built (build/win32, or TW_WIN32_BUILD_DIR),
# tidewell-<version>-x86.msi, both from packaging/tidewell.wxs with wixl,
# with the 32-bit program's own zip tidewell-<version>-win32.zip.
# The version is the program's own file version.
#
#   dist.sh [BUILD_DIR [OUT_DIR]]   (defaults: build/win64 and dist/)
# Prints the path of each file it built, the zip first.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build/win64}"
out="${2:-$top/dist}"

version="$(sed -n 's/.*VALUE "FileVersion", "\([0-9.]*\)".*/\1/p' "$top/src/resources/tidewell.rc" | head -n 1)"
[ -n "$version" ] || { echo "dist: no FileVersion in src/resources/tidewell.rc" >&2; exit 1; }
for f in tidewell.exe RC409.dll; do
  [ -f "$build/bin/$f" ] || { echo "dist: $build/bin/$f is missing; build the win64 preset first" >&2; exit 1; }
done
for tool in zip wixl; do
  command -v $tool >/dev/null || { echo "dist: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

# Staged inside the build folder, not in /tmp.
stage="$build/dist-stage"
rm -rf "$stage"
mkdir -p "$stage" "$out"
out="$(cd "$out" && pwd)"
cp "$build/bin/tidewell.exe" "$build/bin/RC409.dll" "$stage/"
# The debugging symbols stay out of what users download.
strip="$(command -v x86_64-w64-mingw32-strip || true)"
[ -n "$strip" ] && "$strip" "$stage/tidewell.exe"
# Read on Windows: CR LF line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$top/packaging/README.txt" >"$stage/README.txt"

zipfile="$out/tidewell-$version-win64.zip"
rm -f "$zipfile"
(cd "$stage" && zip -q -X "$zipfile" tidewell.exe RC409.dll README.txt)
echo "$zipfile"

# One package per program: arch, build folder, strip tool.
package() {
  local arch="$1" from="$2" strip_tool="$3" msi="$out/tidewell-$version-$1.msi"
  local files="$stage/$arch"
  rm -rf "$files"
  mkdir -p "$files"
  cp "$from/bin/tidewell.exe" "$from/bin/RC409.dll" "$files/"
  strip_tool="$(command -v "$strip_tool" || true)"
  [ -n "$strip_tool" ] && "$strip_tool" "$files/tidewell.exe"
  cp "$stage/README.txt" "$files/"
  rm -f "$msi"
  # wixl takes the files' sources relative to the folder it runs in.
  (cd "$files" && wixl -a "$arch" -D Version="$version" -D Arch="$arch" -o "$msi" \
    "$top/packaging/tidewell.wxs")
  echo "$msi"
}
package x64 "$build" x86_64-w64-mingw32-strip
win32="${TW_WIN32_BUILD_DIR:-$top/build/win32}"
if [ -f "$win32/bin/tidewell.exe" ] && [ -f "$win32/bin/RC409.dll" ]; then
  package x86 "$win32" i686-w64-mingw32-strip
  # The 32-bit program's zip, for Windows XP and 32-bit systems.
  zip32="$out/tidewell-$version-win32.zip"
  rm -f "$zip32"
  (cd "$stage/x86" && zip -q -X "$zip32" tidewell.exe RC409.dll README.txt)
  echo "$zip32"
fi
rm -rf "$stage"
