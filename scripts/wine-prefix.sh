#!/usr/bin/env bash
# Creates a Wine prefix once, with the fonts a Windows user has (Tahoma, Marlett, a CJK face).
# Usage: wine-prefix.sh PREFIX [BITS]   (BITS 32: a 32-bit prefix, made by the 32-bit loader)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
prefix=$1 bits=${2:-64}
loader=$(quillon_wine_loader "$bits")
if [ "$bits" = 32 ]; then export WINEARCH=win32; fi
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER=$loader
# Bumped whenever a step below changes, so prefixes made before it get the step too.
ready="$prefix/.quillon-ready-2"
[ -f "$ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$ready" ] && exit 0
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
# Characters Tahoma lacks come from the fonts linked to its face name. Wine's own links reach
# the CJK face through SimSun's replacement for regular Tahoma only; the bold face is looked up
# by a name of its own, so both names link to the CJK face directly, first in line.
link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for face in Tahoma 'Tahoma Bold'; do
  "$loader" reg add "$link" /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
done
wineserver -w || true
touch "$ready"
