#!/usr/bin/env bash
# Creates the build folder's private Wine prefix once, then reuses it.
# Drive letters map to scratch folders only: the host's root (Wine's default
# Z:) is removed so that nothing a test scans can reach this machine's files.
#   C:  the prefix's own drive_c          (fixed)
#   D:  scratch/drive_d                   (fixed, a second fixed drive)
#   E:  scratch/drive_e                   (CD-ROM)
#   F:  scratch/drive_f                   (removable)
#   G:  scratch/drive_g                   (network)
#   H:  scratch/drive_h                   (RAM disk)
#   P:  the build's bin folder            (network: the programs run from here,
#                                          so their own folder has a drive path
#                                          and no fixed-drive scan walks it)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-env.sh" "${1:?build folder}"

mkdir -p "$TW_SCRATCH"
exec 9>"$TW_SCRATCH/.prefix.lock"
flock 9
if [ -f "$WINEPREFIX/.tidewell-ready" ]; then
  # Prefixes made before the X11 setting below get it once.
  if [ ! -f "$WINEPREFIX/.tidewell-x11" ]; then
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n' \
      > "$WINEPREFIX/drive_c/x11.reg"
    setpriv --bounding-set -sys_time --inh-caps -sys_time "$TW_WINE64" regedit /s 'C:\x11.reg' >/dev/null 2>&1
    rm -f "$WINEPREFIX/drive_c/x11.reg"
    touch "$WINEPREFIX/.tidewell-x11"
  fi
  exit 0
fi

rm -rf "$WINEPREFIX"
echo "wine-prefix: creating $WINEPREFIX"
setpriv --bounding-set -sys_time --inh-caps -sys_time wineboot -i >/dev/null 2>&1 || true
setpriv --bounding-set -sys_time --inh-caps -sys_time wineserver -w

dd="$WINEPREFIX/dosdevices"
for l in "$dd"/*:; do
  case "$(basename "$l")" in c:) ;; *) rm -f "$l" ;; esac
done
for d in d e f g h; do
  mkdir -p "$TW_SCRATCH/drive_$d"
  ln -s "$TW_SCRATCH/drive_$d" "$dd/$d:"
done
mkdir -p "$(dirname "$WINEPREFIX")/bin"
ln -s "$(cd "$(dirname "$WINEPREFIX")/bin" && pwd)" "$dd/p:"

# The host's root is out of reach now, so the import file goes through C:.
cat > "$WINEPREFIX/drive_c/drives.reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"d:"="hd"
"e:"="cdrom"
"f:"="floppy"
"g:"="network"
"h:"="ramdisk"
"p:"="network"

; Wine draws the windows' frames itself instead of leaving them to a window
; manager: a private Xvfb has none, and there a managed window gets no title
; bar and every map and unmap waits for a manager that never answers.
[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
setpriv --bounding-set -sys_time --inh-caps -sys_time "$TW_WINE64" regedit /s 'C:\drives.reg' >/dev/null 2>&1
rm -f "$WINEPREFIX/drive_c/drives.reg"
setpriv --bounding-set -sys_time --inh-caps -sys_time wineserver -w
# The shell folders that pointed into the host's home now point at scratch.
touch "$WINEPREFIX/.tidewell-ready" "$WINEPREFIX/.tidewell-x11"
echo "wine-prefix: ready"
