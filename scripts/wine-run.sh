#!/usr/bin/env bash
# Runs a Windows program under the project's private Wine prefix, without the
# capability to set the host's clock. Used as ctest's cross-compiling emulator.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${TW_BUILD_DIR:-$(cd "$here/.." && pwd)/build/win64}"
"$here/wine-prefix.sh" "$build"
. "$here/wine-env.sh" "$build"
# Programs of the build run from P: (the bin folder), so that their own folder
# and the working folder have drive paths.
if [ $# -gt 0 ] && [ "$(cd "$(dirname "$1")" 2>/dev/null && pwd)" = "$(cd "$build/bin" && pwd)" ]; then
  prog="P:\\$(basename "$1")"; shift; set -- "$prog" "$@"
fi
cd "$build/bin"
exec setpriv --bounding-set -sys_time --inh-caps -sys_time wine "$@"
