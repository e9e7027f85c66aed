#!/usr/bin/env bash
# Builds the style gallery (tools/gallery) with the win64 preset, runs it under Wine and writes
# the contact sheet of every button style in every look to docs/gallery.png.
# Usage: scripts/gallery.sh [BUILD_DIR]   (default build/gallery-win64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/gallery-win64}
cmake --preset win64 -B "$build" >/dev/null
build=$(cd "$build" && pwd)
cmake --build "$build" -j2 --target quillon-gallery
mkdir -p "$root/docs"
# The program writes into its current folder: Wine maps it, a Unix path it would not.
cd "$root/docs"
"$root/scripts/wine-run.sh" "$build/tools/gallery/quillon-gallery.exe" gallery.png.tmp
mv -f gallery.png.tmp gallery.png
echo "gallery: $root/docs/gallery.png"
