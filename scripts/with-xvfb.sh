#!/usr/bin/env bash
# Runs a command with a display: the caller's $DISPLAY when TW_USE_DISPLAY=1,
# otherwise a private Xvfb started here and ended by its pid afterwards, also
# when the command fails or is interrupted.
set -uo pipefail
if [ "${TW_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then exec "$@"; fi
xpid=""
stop_xvfb() {
  if [ -n "$xpid" ]; then
    kill "$xpid" 2>/dev/null
    wait "$xpid" 2>/dev/null
    xpid=""
  fi
}
trap stop_xvfb EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# The pipe that hands over the display number lives in the build folder when
# the caller names one (the harness does), else in the temporary folder.
fifo="$(mktemp -u -p "${TW_BUILD_DIR:-${TMPDIR:-/tmp}}" xvfb.XXXXXX)"; mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten unix 3>"$fifo" >/dev/null 2>&1 &
xpid=$!
# -nolisten unix leaves only the abstract socket on Linux, which X clients use.
read -r -t 20 num <"$fifo" || num=""
rm -f "$fifo"
if [ -z "$num" ]; then echo "with-xvfb: Xvfb did not start" >&2; exit 1; fi
export DISPLAY=":$num"
"$@"
