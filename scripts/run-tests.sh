#!/usr/bin/env bash
# Runs every test of both builds: native first, then the Windows programs under
# Wine with a private display. Ends the prefix's wineserver afterwards and
# checks that the run left nothing behind: no Wine process or Xvfb of this
# build, no test key in the prefix's registry. The exit code says whether
# everything passed.
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
rc=0

echo "== native tests"
ctest --preset native -j2 || rc=1

echo "== Windows tests under Wine"
export TW_BUILD_DIR="$top/build/win64"
prefix="$TW_BUILD_DIR/wineprefix"
# Interrupted: the Wine programs of the prefix end too (with-xvfb.sh ends its
# Xvfb itself).
trap '( . scripts/wine-env.sh "$TW_BUILD_DIR"; wineserver -k 2>/dev/null ); exit 130' INT TERM
"$top/scripts/wine-prefix.sh" "$TW_BUILD_DIR" || rc=1

# Registry key names of the prefix (the wineserver writes them out when it
# ends), to tell afterwards which keys the run added.
reg_keys() { cat "$prefix/user.reg" "$prefix/system.reg" 2>/dev/null | sed -n 's/^\[\(.*\)\] [0-9]*$/\1/p' | sort -u; }
keys_before="$(reg_keys)"

# The programs run one at a time (no -j): they share one prefix and display.
scripts/with-xvfb.sh ctest --preset win64 || rc=1

# Let the wineserver end by itself (it then saves the registry); end it by
# the prefix when it lingers.
(
  . scripts/wine-env.sh "$TW_BUILD_DIR"
  timeout 20 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
)

echo "== leftovers"
# Processes of this build: Wine programs, the wineserver, Xvfb and the test
# chronyd servers whose environment points at this build's prefix or build
# folder.
leftovers() {
  local p c
  for p in /proc/[0-9]*; do
    c="$(cat "$p/comm" 2>/dev/null)" || continue
    case "$c" in wine* | *.exe | *preloader* | Xvfb | chronyd) ;; *) continue ;; esac
    # A process that ended meanwhile (or a zombie) has no environment left.
    if { tr '\0' '\n' <"$p/environ"; } 2>/dev/null |
      grep -qxF -e "WINEPREFIX=$prefix" -e "TW_BUILD_DIR=$TW_BUILD_DIR"; then
      echo "${p#/proc/} $c"
    fi
  done
}
left=""
for _ in $(seq 50); do
  left="$(leftovers)"
  [ -z "$left" ] && break
  sleep 0.2
done
if [ -n "$left" ]; then
  echo "run-tests: still running after the tests:"
  echo "$left"
  rc=1
fi

# A key a test or benchmark seeded and did not remove (they name their keys
# with one of these words, e.g. "TidewellRegPageE2E").
added="$(comm -13 <(echo "$keys_before") <(reg_keys))"
stale="$(grep -iE 'sandbox|test|e2e|bench|tidewell[a-z0-9_]' <<<"$added")"
if [ -n "$stale" ]; then
  echo "run-tests: test keys left in the prefix's registry:"
  echo "$stale"
  rc=1
fi
[ -z "$left" ] && [ -z "$stale" ] && echo "nothing left behind"

if [ $rc = 0 ]; then echo "make test: all tests passed"; else echo "make test: FAILED"; fi
exit $rc
