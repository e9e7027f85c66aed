#!/usr/bin/env bash
# Runs a Windows executable under Wine in the build tree's own prefix (the CTest emulator).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1; shift
build=${QUILLON_WINE_BUILD_DIR:-$(cd "$(dirname "$exe")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$here/wine-prefix.sh" "$WINEPREFIX"
exec wine "$exe" "$@"
