#!/usr/bin/env bash
# Builds what is missing and starts Quillon (under Wine on Linux).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ -z "${DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
Quillon is a desktop program and needs a display, but DISPLAY is not set.
Run it from a graphical session, or start a virtual display first, for example:
  Xvfb :99 -screen 0 1024x768x24 &  DISPLAY=:99 bash scripts/run.sh
(and watch it with a VNC server such as x11vnc, or take screenshots with `import -window root`).
MSG
  exit 2
fi
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target Quillon
prefix="$HOME/.local/share/quillon/wineprefix"
bash scripts/wine-prefix.sh "$prefix"
WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" exec wine build/win32/bin/Quillon.exe
