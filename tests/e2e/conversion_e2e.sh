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

# The ink of a caption on its button, from a capture of the window (left top width height in the
# window's client pixels; with "after-gap", only the part after the widest gap between inked
# columns, where the two spaces before "制作" lie). An empty box drawn for a missing glyph is an
# outline: every row between its top and bottom edges inks the same two columns. Real strokes
# make those rows differ. Prints the number of distinct interior rows; fails on box-like ink.
caption_has_strokes() {
  import -window "$main" "$work/window.ppm" >/dev/null 2>&1 || return 1
  python3 - "$work/window.ppm" "$@" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
fields, at = [], 0
while len(fields) < 4:  # P6 width height maxval
    while data[at:at + 1].isspace(): at += 1
    start = at
    while not data[at:at + 1].isspace(): at += 1
    fields.append(data[start:at])
width, depth = int(fields[1]), int(fields[3])
pixels = data[at + 1:]
if depth > 255: pixels = pixels[0::2]  # 16-bit samples, high byte first
left, top, w, h = map(int, sys.argv[2:6])
def rgb(x, y):
    i = 3 * (y * width + x)
    return pixels[i], pixels[i + 1], pixels[i + 2]
back = rgb(left + 3, top + h // 2)
ink = [[sum(abs(a - b) for a, b in zip(rgb(left + x, top + y), back)) > 150 for x in range(w)] for y in range(h)]
cols = [x for x in range(w) if any(ink[y][x] for y in range(h))]
if not cols: print('     no ink at all', file=sys.stderr); sys.exit(1)
a, b = cols[0], cols[-1] + 1
if len(sys.argv) > 6 and sys.argv[6] == 'after-gap':
    gaps = [(cols[i + 1] - cols[i], i) for i in range(len(cols) - 1)]
    a = cols[max(gaps)[1] + 1]
rows = [y for y in range(h) if any(ink[y][a:b])]
t, bottom = rows[0], rows[-1]
interior = {tuple(ink[y][a:b]) for y in range(t + 3, bottom - 2)}
print('     %d inked columns from x %d, %d rows tall, %d distinct interior rows' % (b - a, a, bottom - t + 1, len(interior)), file=sys.stderr)
sys.exit(0 if len(interior) >= 3 else 1)
PY
}
# The credit band: "Corvandel  制作  " in 15.75 pt bold on the panel's colour, at (8, 159).
check "制作 in the bold credit band is drawn, not two empty boxes" 'caption_has_strokes 10 161 301 29 after-gap'
check "the regular-weight caption 选择转换文件 has its strokes as well" 'caption_has_strokes 220 43 89 25'

# Nothing chosen yet.
cmdc
check "start with nothing chosen asks for the movie" 'message_is "请选择要转换的文件！"'

cmdsel; choose 'C:\e2e\in\movie.swf'
# The chooser keeps the focus through its dialog: Space on it opens the dialog again.
xdotool key space
check "Space on the focused chooser opens its dialog again" 'wait_window "打开文件" >/dev/null'
xdotool key Escape
wait_gone '打开文件'
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
