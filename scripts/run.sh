#!/usr/bin/env bash
# Builds what is missing and starts Quillon (under Wine on Linux).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
. scripts/wine-env.sh
if [ -z "${DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
Quillon is a desktop program and needs a display, but DISPLAY is not set.
Run it from a graphical session, or start a virtual display first, for example:
  Xvfb :99 -screen 0 1024x768x24 &  DISPLAY=:99 bash scripts/run.sh
(and look at it with `import -display :99 -window root shot.png`, or a VNC server such as x11vnc).
MSG
  exit 2
fi
# The shipped build is 32-bit; where this kernel runs no 32-bit programs Wine cannot start it,
# and the 64-bit build of the same sources runs instead.
preset=win32
if ! quillon_wine_loader 32 >/dev/null; then
  echo "note: this kernel runs no 32-bit programs; starting the 64-bit build" >&2
  preset=win64
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Quillon
loader=$(quillon_wine_loader "${preset#win}")
prefix="${XDG_DATA_HOME:-$HOME/.local/share}/quillon/wineprefix"
bash scripts/wine-prefix.sh "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER="$loader"
exec "$loader" "build/$preset/bin/Quillon.exe"
