# Sourced: the private Wine environment of one build folder.
# Usage: . scripts/wine-env.sh BUILD_DIR
tw_build="$(cd "${1:?build folder}" && pwd)"
export WINEPREFIX="$tw_build/wineprefix"
export TW_SCRATCH="$tw_build/scratch"
export HOME="$TW_SCRATCH/home"
export XDG_DATA_HOME="$HOME/.local/share"
# The wineserver keeps its socket and lock under /run/user/UID or else TMPDIR:
# with TMPDIR in scratch, a run leaves nothing in the host's /tmp.
export TMPDIR="$TW_SCRATCH/tmp"
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
unset WINESERVER
# With 32-bit Wine installed beside the 64-bit one, `wine` starts Wine's own
# programs (regedit, msiexec) as their 32-bit builds, whose view of
# HKLM\Software is the Wow6432Node: the prefix's own settings go through the
# 64-bit loader.
if [ -x /usr/lib/wine/wine64 ]; then TW_WINE64=/usr/lib/wine/wine64; else TW_WINE64=wine; fi
export TW_WINE64
mkdir -p "$HOME" "$TMPDIR"
# Window caption buttons are drawn with Wine's Marlett, which this Wine does
# not find in its own data folder; fontconfig finds it in the scratch home.
# Only Marlett: Wine's Tahoma would take over the dialog font and lose the
# Chinese glyphs that the fallback font has.
if [ ! -e "$XDG_DATA_HOME/fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  mkdir -p "$XDG_DATA_HOME/fonts" && ln -sf /usr/share/wine/fonts/marlett.ttf "$XDG_DATA_HOME/fonts/"
fi
