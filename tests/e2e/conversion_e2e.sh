#!/usr/bin/env bash
# End to end: Quillon's real window on a virtual display, driven like a user with xdotool.
# Usage: conversion_e2e.sh QUILLON_EXE STUB_EXE WORK_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
exe=$1 stub=$2 work=$3
mkdir -p "$work"
work=$(cd "$work" && pwd)
bits=$(quillon_pe_bits "$exe")
loader=$(quillon_wine_loader "$bits") || { echo "e2e: cannot run $bits-bit programs here" >&2; exit 1; }

passed=0 failed=0
ok() { echo "ok   $1"; passed=$((passed + 1)); }
bad() {
  echo "FAIL $1"
  failed=$((failed + 1))
  import -window root "$work/failure-$failed.png" >/dev/null 2>&1  # what the user would have seen
}
check() { if eval "$2"; then ok "$1"; else bad "$1"; fi; }

# A display of our own.
for n in $(seq 90 140); do [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break; done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$n"
export WINEPREFIX="$work/prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER="$loader"
cleanup() {
  WINEDEBUG=-all wineserver -k >/dev/null 2>&1
  pkill -f "xclip.*-display :$n" >/dev/null 2>&1
  kill "$xvfb" >/dev/null 2>&1
}
trap cleanup EXIT
bash "$here/../../scripts/wine-prefix.sh" "$WINEPREFIX"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# Movies: one in a plain folder, one in a folder whose name no ANSI code page holds at once.
c="$WINEPREFIX/drive_c/e2e"
rm -rf "$c"
mkdir -p "$c/in" "$c/out" "$c/映画 фильм" "$c/出力"
make_movie() { python3 -c "import os,sys; open(sys.argv[1],'wb').write(b'FWS\x0a' + os.urandom(int(sys.argv[2])))" "$1" "$2"; }
make_movie "$c/in/movie.swf" 300000
make_movie "$c/映画 фильм/動画.swf" 4096

log="$work/quillon.log"
: >"$log"
WINEDEBUG=trace+msgbox "$loader" "$exe" >"$log" 2>&1 &
main=""
for _ in $(seq 200); do main=$(xdotool search --name '^Quillon$' 2>/dev/null | head -1); [ -n "$main" ] && break; sleep 0.1; done
[ -n "$main" ] || { echo "FAIL the main window never appeared"; echo "e2e: 0 passed, 1 failed"; exit 1; }
sleep 1

# Button centres, relative to the window's client area (the panel starts at row 31).
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
cmdsel() { click 264 55; }
cmdsave() { click 264 95; }
cmdc() { click 264 135; }

wait_window() {  # a window titled $1 other than the main one
  for _ in $(seq 150); do
    w=$(xdotool search --name "^$1\$" 2>/dev/null | grep -v -x "$main" | head -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}
wait_gone() {  # until no window titled $1 but the main one is left
  for _ in $(seq 300); do
    [ -z "$(xdotool search --name "^$1\$" 2>/dev/null | grep -v -x "$main")" ] && { sleep 0.3; return 0; }
    sleep 0.1
  done
  return 1
}
# Types a path into the focused file dialog through the clipboard (xdotool cannot type CJK into Wine).
choose() {
  wait_window '打开文件' >/dev/null || { bad "file dialog did not open"; return 1; }
  sleep 1
  printf '%s' "$1" | xclip -display "$DISPLAY" -selection clipboard
  xdotool key End shift+Home BackSpace ctrl+v
  sleep 0.3
  xdotool key Return
  wait_gone '打开文件'
}
seen=0
# The text of the next message box (into $msg), decoded from Wine's trace of it; then dismisses it.
next_message() {
  local text=""
  for _ in $(seq 300); do
    text=$(python3 - "$log" "$seen" <<'PY'
import re, sys
lines = [l for l in open(sys.argv[1], encoding='utf-8', errors='replace') if 'MSGBOX_OnInit' in l]
n = int(sys.argv[2])
if len(lines) > n:
    m = re.search(r'L"(.*)"', lines[n])
    s = m.group(1) if m else ''
    print(re.sub(r'\\([0-9a-f]{4})', lambda g: chr(int(g.group(1), 16)), s))
PY
)
    [ -n "$text" ] && break
    sleep 0.1
  done
  seen=$((seen + 1))
  sleep 0.5
  xdotool key Return
  wait_gone Quillon
  msg=$text
}
message_is() { next_message; [ "$msg" = "$1" ] || { echo "     saw: ${msg:-no message}"; return 1; }; }
expected_output() {  # stub + movie + trailer, compared byte for byte
  python3 - "$stub" "$1" "$2" <<'PY'
import struct, sys
stub, movie, out = (open(p, 'rb').read() for p in sys.argv[1:4])
sys.exit(0 if out == stub + movie + bytes([0x56, 0x34, 0x12, 0xFA]) + struct.pack('<I', len(movie)) else 1)
PY
}

# Nothing chosen yet.
cmdc
check "start with nothing chosen asks for the movie" 'message_is "请选择要转换的文件！"'

cmdsel; choose 'C:\e2e\in\movie.swf'
cmdc
check "start with only the movie chosen asks for the output" 'message_is "请选择保存文件的路径！"'
cmdsave; choose 'C:\e2e\out\movie.exe'
cmdc
check "conversion reports 转换完成！" 'message_is "转换完成！"'
check "output is stub + movie + 56 34 12 FA + length, byte for byte" \
  'expected_output "$c/in/movie.swf" "$c/out/movie.exe"'
cmdc
check "starting again refuses the existing output" 'message_is "文件已存在，请重新选择保存文件的路径！"'
cmdc
check "the refusal emptied the output display" 'message_is "请选择保存文件的路径！"'

cmdsel; choose 'C:\e2e\映画 фильм\動画.swf'
cmdsave; choose 'C:\e2e\出力\動画.exe'
cmdc
check "a movie in a folder outside the ANSI code page converts" 'message_is "转换完成！"'
check "that output is byte-exact too" 'expected_output "$c/映画 фильм/動画.swf" "$c/出力/動画.exe"'

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
