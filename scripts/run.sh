#!/usr/bin/env bash
# Starts tidewell.exe under Wine: on $DISPLAY when there is one, otherwise on a
# private Xvfb. Either way it waits for the program's window, saves a
# screenshot of the screen and prints its path. On a private Xvfb the program
# is ended afterwards; on $DISPLAY it keeps running until it is closed
# (TW_RUN_KEEP=0 ends it there too).
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
export TW_BUILD_DIR="$top/build/win64"
shot="$TW_BUILD_DIR/screenshots/run.png"
mkdir -p "$(dirname "$shot")"
"$top/scripts/wine-prefix.sh" "$TW_BUILD_DIR" || exit 1

inner() {
  local pid rc=0 n shown=0
  # wine-run.sh starts it from P:\, the bin folder's drive, like the tests.
  "$top/scripts/wine-run.sh" "$TW_BUILD_DIR/bin/tidewell.exe" &
  pid=$!
  # Wine names each X window's class after the program: wait for a real
  # (larger than 1x1) window of tidewell.exe, then let it paint.
  for n in $(seq 150); do
    if xwininfo -root -children 2>/dev/null | grep -F '("tidewell.exe" "tidewell.exe")' |
      grep -qvE '\) +1x1[+-]'; then
      shown=1
      break
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      echo "run: tidewell.exe ended before showing a window (exit code $?)" >&2
      return 1
    fi
    sleep 0.2
  done
  [ $shown = 1 ] || { echo "run: no window of tidewell.exe after 30 s" >&2; rc=1; }
  sleep "${TW_RUN_SETTLE:-1.5}"
  if import -window root "$shot"; then echo "screenshot: $shot"; else rc=1; fi
  if [ "${TW_RUN_KEEP:-0}" = 1 ]; then
    echo "run: tidewell.exe is running on $DISPLAY; close its window to end"
    wait "$pid"
  fi
  (. "$top/scripts/wine-env.sh" "$TW_BUILD_DIR"; wineserver -k 2>/dev/null; wineserver -w 2>/dev/null) || true
  wait "$pid" 2>/dev/null
  return $rc
}

if [ -n "${DISPLAY:-}" ]; then
  TW_RUN_KEEP="${TW_RUN_KEEP:-1}" inner
else
  export -f inner
  export top shot
  "$top/scripts/with-xvfb.sh" bash -c inner
fi
