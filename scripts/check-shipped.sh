#!/usr/bin/env bash
# Opt-in check of the shipped 32-bit files, not part of CI or test.sh: the real 32-bit Quillon.exe
# converts a movie through its window on a virtual display, and the output is started and watched
# playing. Screenshots and a summary land in BUILD/shipped. Where the kernel runs no 32-bit
# programs, Wine's 32-bit loader runs under user-mode emulation for this run only: about a
# hundred times slower, so the first run (which also makes the 32-bit prefix) takes half an hour.
# Usage: scripts/check-shipped.sh [QUILLON_EXE]   (default: built with the win32 preset)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"

binfmt=/proc/sys/fs/binfmt_misc
# The i386 ELF format for the static emulator; F opens the emulator now, so it works in any mount
# namespace. Debian ships no such line on amd64, whose kernels usually run i386 programs natively.
i386_format=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'
# Generous: emulated, the window took eight and a half minutes to appear with a ready prefix.
window_wait=${QUILLON_SHIPPED_WAIT:-2400}

exe=${1:-}
build=$root/build/win32
if [ -n "$exe" ]; then
  exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
  build=$(cd "$(dirname "$exe")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)
  [ "$build" != / ] || build=$(dirname "$exe")
fi
out=$build/shipped
prefix=$build/shipped-prefix
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.log "$out"/*.exe "$out/summary.txt"
summary=$out/summary.txt
started_at=$SECONDS
failed=0

note() { echo "check-shipped: $*"; }
mmss() { printf '%d:%02d' $(($1 / 60)) $(($1 % 60)); }
step_begin() {
  step=$1 step_at=$SECONDS step_open=1
  note "$step ..."
}
# Records the step that began last: STATUS (ok or FAIL) and what was seen.
step_end() {
  local status=$1 seen=$2 took=$((SECONDS - step_at))
  step_open=""
  printf '%-10s %-5s %6s  %s\n' "$step" "$status" "$(mmss $took)" "$seen" >>"$summary"
  note "$step: $status after $(mmss $took): $seen"
  if [ "$status" != ok ]; then
    failed=$((failed + 1))
    [ -n "${DISPLAY:-}" ] && import -window root "$out/failure-$step.png" >/dev/null 2>&1
  fi
}
give_up() {
  step_end FAIL "$1"
  exit 1
}

{
  echo "check-shipped: the 32-bit Quillon.exe and its output, run under Wine"
  echo "started   $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  echo
  printf '%-10s %-5s %6s  %s\n' step result m:ss seen
} >"$summary"

# Everything started here is stopped on every way out, and the emulation format removed again:
# left registered, it makes the 32-bit loader look available to the test command.
registered="" mounted="" xvfb="" quillon="" player="" cleaned=""
cleanup() {
  local status=$?
  [ -n "$cleaned" ] && return
  cleaned=1
  if [ -n "${step_open:-}" ]; then step_end FAIL "stopped before it finished (exit status $status)"; fi
  if [ -n "${WINEPREFIX:-}" ]; then WINEDEBUG=-all wineserver -k >/dev/null 2>&1 || true; fi
  for pid in $player $quillon $xvfb; do kill "$pid" 2>/dev/null || true; done
  for pid in $player $quillon $xvfb; do wait "$pid" 2>/dev/null || true; done
  if [ -n "$registered" ] && [ -e "$binfmt/qemu-i386" ]; then echo -1 >"$binfmt/qemu-i386" || true; fi
  if [ -n "$mounted" ]; then umount "$binfmt" || true; fi
  if [ -e "$binfmt/qemu-i386" ] && [ -n "$registered" ]; then
    echo "check-shipped: could not remove $binfmt/qemu-i386" >&2
    status=1
  fi
  {
    echo
    echo "finished  $(date -u '+%Y-%m-%d %H:%M:%S UTC'), $(mmss $((SECONDS - started_at))) in all"
    if [ "$status" -eq 0 ] && [ "$failed" -eq 0 ]; then echo "result    PASS"; else echo "result    FAIL"; fi
  } >>"$summary"
  note "summary in $summary"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- 1. The 32-bit loader ----------------------------------------------------------------------
step_begin loader
if quillon_wine_loader 32 >/dev/null; then
  how="this kernel runs 32-bit programs itself"
else
  [ -x /usr/bin/qemu-i386-static ] || give_up "no 32-bit support and no /usr/bin/qemu-i386-static (qemu-user-static)"
  [ "$(id -u)" = 0 ] || give_up "registering the emulation format needs root"
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" || give_up "could not mount binfmt_misc"
    mounted=1
  fi
  if [ ! -e "$binfmt/qemu-i386" ]; then
    format=$i386_format
    if [ -f /usr/lib/binfmt.d/qemu-i386.conf ]; then format=$(grep -m1 '^:' /usr/lib/binfmt.d/qemu-i386.conf); fi
    echo "$format" >"$binfmt/register" || give_up "could not register the i386 format"
    registered=1
  fi
  how="emulated: qemu-i386 registered in binfmt_misc for this run"
fi
loader=$(quillon_wine_loader 32) || give_up "Wine's 32-bit loader still does not start"
step_end ok "$how; $("$loader" --version 2>/dev/null)"

# --- A display of our own ----------------------------------------------------------------------
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
read -r -t 60 number <"$fifo"
rm -f "$fifo"
[ -n "${number:-}" ] || { step_begin display; give_up "Xvfb did not start"; }
export DISPLAY=":$number"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# --- 2. The 32-bit prefix, made once -----------------------------------------------------------
step_begin prefix
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER=$loader
reused=$([ -n "$(ls "$prefix"/.quillon-ready-* 2>/dev/null)" ] && echo yes || echo no)
bash "$root/scripts/wine-prefix.sh" "$prefix" 32 >"$out/prefix.log" 2>&1 || give_up "the prefix could not be made (see prefix.log)"
grep -q '^#arch=win32' "$prefix/system.reg" || give_up "$prefix is not a 32-bit prefix"
[ "$reused" = yes ] && made="reused" || made="made"
step_end ok "$made $prefix (32-bit, fonts in place)"

# --- 3. The win32 build, after the prefix, which does not need it and is the slow part --------
step_begin build
ninja_busy() {  # another ninja building in $build
  local p
  for p in /proc/[0-9]*; do
    [ "$(cat "$p/comm" 2>/dev/null)" = ninja ] && [ "$(readlink "$p/cwd" 2>/dev/null)" = "$build" ] && return 0
  done
  return 1
}
if [ -z "$exe" ]; then
  exe=$build/bin/Quillon.exe
  for _ in $(seq 360); do ninja_busy || break; sleep 10; done
  (cd "$root" && cmake --preset win32 >"$out/build.log" 2>&1 && cmake --build "$build" -j1 --target Quillon >>"$out/build.log" 2>&1) ||
    give_up "the win32 build failed (see build.log)"
fi
[ -f "$exe" ] || give_up "no Quillon.exe at $exe"
[ "$(quillon_pe_bits "$exe")" = 32 ] || give_up "$exe is not a 32-bit program"
# The stub every output starts with is the one inside Quillon.exe.
stub=$out/embedded-stub.exe
wrestool -x --raw --type=CUSTOM --name=101 --language=2052 "$exe" >"$stub" 2>/dev/null && [ -s "$stub" ] ||
  give_up "$exe carries no stub (CUSTOM/101)"
step_end ok "$exe ($(stat -c %s "$exe") bytes, $(file -b "$exe" | cut -d, -f1))"

# One server for the whole run, so the output starts without Wine's services starting again.
wineserver -p

# Files the dialogs pick, inside the prefix so their names are plain drive C paths.
work=$prefix/drive_c/quillon-check
rm -rf "$work"
mkdir -p "$work/in" "$work/out"
movie=$work/in/quillon-check.swf output=$work/out/quillon-check.exe
python3 "$root/scripts/make-test-movie.py" "$movie"

# Shots of a window until two in a row, some seconds apart, are the same: it has painted.
settled_shot() {  # WINDOW FILE SECONDS
  local win=$1 file=$2 limit=$((SECONDS + $3)) last="" now
  while [ "$SECONDS" -lt "$limit" ]; do
    now=$out/.shot-$RANDOM.png
    import -window "$win" "$now" >/dev/null 2>&1 || { rm -f "$now"; sleep 5; continue; }
    if [ -n "$last" ] && [ "$(convert "$now" -format '%k' info: 2>/dev/null || echo 0)" -gt 2 ] &&
      [ "$(compare -metric AE "$last" "$now" null: 2>&1 || true)" = 0 ]; then
      rm -f "$last"
      mv -f "$now" "$file"
      return 0
    fi
    [ -n "$last" ] && rm -f "$last"
    last=$now
    sleep 15
  done
  [ -n "$last" ] && mv -f "$last" "$file"
  return 1
}
find_window() {  # TITLE SECONDS [EXCEPT]: the id of a window of that exact title
  local limit=$((SECONDS + $2)) w
  while [ "$SECONDS" -lt "$limit" ]; do
    w=$(xdotool search --name "^$1\$" 2>/dev/null | grep -v -x "${3:-none}" | head -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 2
  done
  return 1
}
window_gone() {  # TITLE SECONDS [EXCEPT]
  local limit=$((SECONDS + $2))
  while [ "$SECONDS" -lt "$limit" ]; do
    [ -z "$(xdotool search --name "^$1\$" 2>/dev/null | grep -v -x "${3:-none}")" ] && return 0
    sleep 2
  done
  return 1
}
# Pixels of a shot within a few percent of a colour.
pixels_of() {  # FILE HEX
  convert "$1" -alpha off -fuzz 6% -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info:
}
# Where a colour lies in a shot, as WxH+X+Y.
place_of() {  # FILE HEX
  convert "$1" -alpha off -fuzz 6% -fill black +opaque "$2" -trim -format '%wx%h+%X+%Y' info: 2>/dev/null
}

# --- 4. Quillon.exe's window, and a conversion through it -------------------------------------
step_begin window
log=$out/quillon.log
WINEDEBUG=trace+msgbox "$loader" "$exe" >"$log" 2>&1 &
quillon=$!
main=$(find_window Quillon "$window_wait") || give_up "no window titled Quillon after $(mmss "$window_wait")"
xdotool mousemove 0 0
settled_shot "$main" "$out/quillon-window.png" 1200 || give_up "the window never finished painting"
step_end ok "window $main, $(identify -format '%wx%h' "$out/quillon-window.png"), $(convert "$out/quillon-window.png" -format '%k' info:) colours: quillon-window.png"

# Button centres in the window, as the end-to-end test clicks them.
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; sleep 1; xdotool mousemove 0 0; }
dialog_title='打开文件'
# With no window manager, keys go to the window under the pointer.
focus_on() {
  xdotool mousemove --window "$1" 8 8
  xdotool windowfocus "$1" 2>/dev/null || true
  sleep 1
}
choose() {  # SHOT PATH: the next file dialog picks PATH
  local dialog
  dialog=$(find_window "$dialog_title" 900 "$main") || return 1
  settled_shot "$dialog" "$out/$1" 600 || true
  focus_on "$dialog"
  xdotool key --clearmodifiers End shift+Home BackSpace
  xdotool type --delay 150 "$2"
  sleep 5
  xdotool key Return
  window_gone "$dialog_title" 900 "$main"
}
seen_messages=0
next_message() {  # SHOT SECONDS: the text of the next message box, dismissed after its shot
  local limit=$((SECONDS + $2)) text="" box
  while [ "$SECONDS" -lt "$limit" ]; do
    text=$(python3 - "$log" "$seen_messages" <<'PY'
import re, sys
lines = [l for l in open(sys.argv[1], encoding='utf-8', errors='replace') if 'MSGBOX_OnInit' in l]
n = int(sys.argv[2])
if len(lines) > n:
    m = re.search(r'L"(.*)"', lines[n])
    s = m.group(1) if m else ''
    print(re.sub(r'\\([0-9a-f]{4})', lambda g: chr(int(g.group(1), 16)), s) or '(empty)')
PY
)
    [ -n "$text" ] && break
    sleep 3
  done
  [ -n "$text" ] || return 1
  seen_messages=$((seen_messages + 1))
  box=$(find_window Quillon 600 "$main") || return 1
  settled_shot root "$out/$1" 600 || true
  focus_on "$box"
  xdotool key Return
  window_gone Quillon 600 "$main" || true
  echo "$text"
}

step_begin convert
click 264 55
choose dialog-open.png 'C:\quillon-check\in\quillon-check.swf' || give_up "the movie's file dialog did not open or close"
click 264 95
choose dialog-save.png 'C:\quillon-check\out\quillon-check.exe' || give_up "the output's file dialog did not open or close"
click 264 135
message=$(next_message message.png 1800) || give_up "no message after starting the conversion"
[ "$message" = '转换完成！' ] || give_up "the conversion said: $message"
[ -f "$output" ] || give_up "the conversion said it was done, but $output is missing"
settled_shot "$main" "$out/quillon-after.png" 600 || true
layout=$(python3 - "$stub" "$movie" "$output" <<'PY'
import struct, sys
stub, movie, out = sys.argv[1:4]
m, o = open(movie, 'rb').read(), open(out, 'rb').read()
tail = m + bytes([0x56, 0x34, 0x12, 0xFA]) + struct.pack('<I', len(m))
if not o.endswith(tail) or o[:2] != b'MZ':
    print('not stub + movie + trailer'); sys.exit(1)
if o != open(stub, 'rb').read() + tail:
    print('the part before the movie is not the stub inside Quillon.exe'); sys.exit(1)
print('byte for byte the stub inside Quillon.exe + movie + trailer')
PY
) || give_up "output $(stat -c %s "$output") bytes: $layout"
step_end ok "said 转换完成！; output $(stat -c %s "$output") bytes, $layout: dialog-open.png dialog-save.png message.png quillon-after.png"
kill "$quillon" 2>/dev/null
wait "$quillon" 2>/dev/null
quillon=""
window_gone Quillon 120 || true

# --- 5. The output, playing -------------------------------------------------------------------
step_begin output
"$loader" "$output" >"$out/output.log" 2>&1 &
player=$!
title='quillon-check'
win=$(find_window "$title" "$window_wait") || give_up "no window titled $title after $(mmss "$window_wait")"
background='#3060C0' square='#E02020' bar='#20C040'
limit=$((SECONDS + 1200))
while :; do
  import -window "$win" "$out/output-1.png" >/dev/null 2>&1 &&
    [ "$(pixels_of "$out/output-1.png" "$background")" -gt 20000 ] && break
  [ "$SECONDS" -lt "$limit" ] || give_up "the window never showed the movie's stage colour"
  sleep 10
done
sleep 45
import -window "$win" "$out/output-2.png" >/dev/null 2>&1
seen=""
for shot in output-1.png output-2.png; do
  f=$out/$shot
  seen="$seen$shot: stage $(pixels_of "$f" "$background") px, square $(place_of "$f" "$square"), bar $(place_of "$f" "$bar"); "
done
moved=$(compare -metric AE "$out/output-1.png" "$out/output-2.png" null: 2>&1 || true)
ok=ok
for shot in output-1.png output-2.png; do
  [ "$(pixels_of "$out/$shot" "$square")" -gt 2000 ] && [ "$(pixels_of "$out/$shot" "$bar")" -gt 4000 ] || ok=FAIL
done
[ "$moved" != 0 ] || ok=FAIL
step_end "$ok" "window $win; ${seen}$moved pixels changed in 45 s"
kill "$player" 2>/dev/null
wait "$player" 2>/dev/null
player=""

[ "$failed" -eq 0 ]
