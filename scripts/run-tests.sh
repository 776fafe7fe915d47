#!/usr/bin/env bash
# Runs every test of both builds: native first, then the Windows programs under
# Wine with a private display. Ends the prefix's wineserver afterwards. The exit
# code says whether everything passed.
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
rc=0

echo "== native tests"
ctest --preset native -j2 || rc=1

echo "== Windows tests under Wine"
export TW_BUILD_DIR="$top/build/win64"
"$top/scripts/wine-prefix.sh" "$TW_BUILD_DIR" || rc=1
scripts/with-xvfb.sh ctest --preset win64 || rc=1
( . scripts/wine-env.sh "$TW_BUILD_DIR"; wineserver -k 2>/dev/null || true )

if [ $rc = 0 ]; then echo "make test: all tests passed"; else echo "make test: FAILED"; fi
exit $rc
