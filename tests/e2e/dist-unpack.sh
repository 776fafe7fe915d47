#!/usr/bin/env bash
# Builds the distribution zip into the build folder and unpacks it into a
# fresh folder of the test prefix, where an e2e case starts the program.
#   dist-unpack.sh BUILD_DIR FOLDER
set -euo pipefail
build="$1"
folder="$2"
rm -rf "$folder"
zip="$(bash "$(dirname "$0")/../../scripts/dist.sh" "$build" "$build/dist")"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder"
ls -l "$folder"
