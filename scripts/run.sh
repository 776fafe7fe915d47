#!/usr/bin/env bash
# Starts tidewell.exe under Wine: on $DISPLAY when there is one, otherwise on a
# private Xvfb; either way a screenshot of the screen is saved and its path
# printed.
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
export TW_BUILD_DIR="$top/build/win64"
shot="$TW_BUILD_DIR/screenshots/run.png"
mkdir -p "$(dirname "$shot")"
"$top/scripts/wine-prefix.sh" "$TW_BUILD_DIR"

inner() {
  . "$top/scripts/wine-env.sh" "$TW_BUILD_DIR"
  setpriv --bounding-set -sys_time --inh-caps -sys_time wine "$TW_BUILD_DIR/bin/tidewell.exe" &
  pid=$!
  sleep "${TW_RUN_SETTLE:-6}"
  import -window root "$shot" && echo "screenshot: $shot"
  if [ -n "${TW_RUN_KEEP:-}" ]; then wait $pid; fi
  wineserver -k 2>/dev/null || true
  wait $pid 2>/dev/null || true
}

if [ -n "${DISPLAY:-}" ]; then
  TW_RUN_KEEP=1 inner
else
  export -f inner; export top shot
  "$top/scripts/with-xvfb.sh" bash -c inner
fi
