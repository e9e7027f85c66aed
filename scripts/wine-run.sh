#!/usr/bin/env bash
# Runs a Windows executable under Wine in the build tree's own prefix (the CTest emulator).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
exe=$1; shift
bits=$(quillon_pe_bits "$exe")
if ! loader=$(quillon_wine_loader "$bits"); then
  echo "wine-run: this machine cannot run $bits-bit Windows programs (its kernel runs no 32-bit" >&2
  echo "Linux programs, so Wine's 32-bit loader cannot start); run Windows tests from the win64 preset." >&2
  exit 1
fi
build=${QUILLON_WINE_BUILD_DIR:-$(cd "$(dirname "$exe")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)}
# Wine binds a prefix's desktop to the display of the process that started it, so programs on
# different displays (or none) must not share a prefix.
display=${DISPLAY:-}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix${display:+-display${display//[^0-9]/_}}}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER=$loader
"$here/wine-prefix.sh" "$WINEPREFIX"
exec "$loader" "$exe" "$@"
