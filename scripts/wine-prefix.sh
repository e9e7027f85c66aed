#!/usr/bin/env bash
# Creates a Wine prefix once, with the fonts a Windows user has (Tahoma, Marlett, a CJK face).
# Usage: wine-prefix.sh PREFIX
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
prefix=$1
loader=$(quillon_wine_loader 64)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER=$loader
[ -f "$prefix/.quillon-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.quillon-ready" ] && exit 0
"$loader" wineboot --init >/dev/null 2>&1
wineserver -w || true
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
for f in tahoma.ttf tahomabd.ttf marlett.ttf; do
  cp -f "/usr/share/wine/fonts/$f" "$fonts/"
done
export LANG=C.UTF-8 LC_ALL=C.UTF-8
for face in SimSun '宋体'; do
  "$loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
done
wineserver -w || true
touch "$prefix/.quillon-ready"
