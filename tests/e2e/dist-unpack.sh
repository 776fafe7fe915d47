#!/usr/bin/env bash
# Builds what `make dist` builds into the build folder, unpacks the zip into a
# fresh folder of the test prefix, where an e2e case starts the program, and
# puts the installer packages into its "packages" subfolder, from where an
# e2e case installs them with the system's msiexec.
#   dist-unpack.sh BUILD_DIR FOLDER
set -euo pipefail
build="$1"
folder="$2"
rm -rf "$folder"
built="$(bash "$(dirname "$0")/../../scripts/dist.sh" "$build" "$build/dist")"
zip="$(grep 'win64\.zip$' <<<"$built")"
mkdir -p "$folder/packages"
unzip -q "$zip" -d "$folder"
grep '\.msi$' <<<"$built" | while read -r msi; do cp "$msi" "$folder/packages/"; done
ls -lR "$folder"
