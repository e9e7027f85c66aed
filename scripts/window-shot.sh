#!/usr/bin/env bash
# Draws Quillon's main window as the program shows it, on a virtual display of its own, and
# writes it to docs/window.png (the README's screenshot). Builds Quillon with the win64 preset
# unless a built Quillon.exe is given.
# Usage: scripts/window-shot.sh [QUILLON_EXE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"
exe=${1:-}
if [ -z "$exe" ]; then
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j2 --target Quillon
  exe=$root/build/win64/bin/Quillon.exe
fi
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
loader=$(quillon_wine_loader "$(quillon_pe_bits "$exe")")
work=$(mktemp -d)
prefix="${XDG_DATA_HOME:-$HOME/.local/share}/quillon/wineprefix"
bash "$root/scripts/wine-prefix.sh" "$prefix"

fifo=$work/display
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 640x400x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
read -r -t 60 number <"$fifo"
export DISPLAY=":$number" WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER="$loader"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$loader" "$exe" >/dev/null 2>&1 &
main=""
for _ in $(seq 300); do
  main=$(xdotool search --name '^Quillon$' 2>/dev/null | head -1 || true)
  [ -n "$main" ] && break
  sleep 0.1
done
[ -n "$main" ] || { echo "window-shot: the window never appeared" >&2; exit 1; }
# The pointer away from the window, so no button shows hot; then let it settle.
xdotool mousemove 0 0
sleep 2
mkdir -p "$root/docs"
import -window "$main" "$work/window.png"
mv -f "$work/window.png" "$root/docs/window.png"
echo "window-shot: $root/docs/window.png"
