#!/usr/bin/env bash
# Drawing speed: every movie of a corpus folder played to its last frame, then K more frames
# ticked and drawn with quillon-render --bench, at the stage's own size and at 1920 x 1080 (the
# stage scaled to fit, as full screen shows it). The full-screen figure is taken on one core
# (taskset -c 0, one drawing thread) and, where the machine has more, with a thread a core.
# Prints a table of frames per second and milliseconds per frame, then the slowest case. The
# one-core figures come from the processor time a frame takes, the many-thread ones from the
# wall clock (run it on an otherwise idle machine for those).
# A Release build of its own is made in build/bench-release (opt-in: not part of the tests).
# Usage: scripts/bench-player.sh [--frames K] [--size WxH] [--only PATTERN] [--png DIR] [--no-build] [CORPUS_DIR]
#   --png DIR   also writes each case's image at stage size and at the full-screen size into
#               DIR (NAME.stage.png, NAME.full.png), for comparing builds byte for byte.
# QUILLON_BENCH_BUILD names another build folder.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=case-fonts.sh
. "$here/scripts/case-fonts.sh"
frames=60 size=1920x1080 only="" png="" build=1
while [ $# -gt 0 ]; do
  case $1 in
    --frames) frames=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --png) png=$2; shift 2 ;;
    --no-build) build=0; shift ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) break ;;
  esac
done
corpus=${1:-$here/../shared/player-corpus}
dir=${QUILLON_BENCH_BUILD:-$here/build/bench-release}
if [ ! -d "$corpus" ]; then echo "no corpus at $corpus"; exit 77; fi
if [ $build -eq 1 ]; then
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2
  fi
  cmake --build "$dir" --target quillon-render >/dev/null || exit 2
fi
render=$dir/tools/quillon-render
[ -x "$render" ] || { echo "no renderer at $render"; exit 2; }
[ -n "$png" ] && mkdir -p "$png"
cores=$(nproc 2>/dev/null || echo 1)
# One core for the single-core figures: the first one this process may run on.
core=$(taskset -pc $$ 2>/dev/null | sed 's/.*: *//; s/[,-].*//')
core=${core:-0}

# value KEY FILE: the first "KEY = value" in the file, quotes removed.
value() {
  awk -v key="$1" '{ line = $0; sub(/#.*/, "", line) }
    line ~ "^[ \t]*" key "[ \t]*=" { sub(/^[^=]*=[ \t]*/, "", line); gsub(/["\t ]/, "", line); print line; exit }' "$2"
}

# fps OUTPUT: frames per second by the wall clock as quillon-render printed it, or "-".
fps() { echo "$1" | sed -n 's/.*: \([0-9.]*\) frames per second.*/\1/p' | tail -1 | grep . || echo -; }
# cpufps OUTPUT: frames per second by the processor time a frame took (what one core does, however
# busy the machine is with other work); builds that print no processor time give the wall figure.
cpufps() {
  local t
  t=$(echo "$1" | sed -n 's/.*(\([0-9.]*\) ms of processor time a frame).*/\1/p' | tail -1)
  if [ -n "$t" ]; then awk -v t="$t" 'BEGIN { if (t > 0) printf "%.1f", 1000 / t; else print "-" }'; else fps "$1"; fi
}
ms() { [ "$1" = - ] && echo - || awk -v f="$1" 'BEGIN { printf "%.2f", 1000 / f }'; }

# Builds from before drawing threads take no --threads: one thread is all they have.
one_thread=() all_threads=() many=0
if [[ $("$render" 2>&1) == *--threads* ]]; then
  one_thread=(--threads 1) all_threads=(--threads "$cores")
  [ "$cores" -gt 1 ] && many=1
fi
printf '%-44s %10s %10s %9s' case stage-fps "${size}-fps" ms
[ $many -eq 1 ] && printf ' %10s %9s' "${cores}thr-fps" ms
printf '\n'
slowest="" slowestFps=""
for d in "$corpus"/*/; do
  name=$(basename "$d")
  toml=$d/test.toml
  [ -f "$toml" ] && [ -f "$d/test.swf" ] || continue
  [ -n "$only" ] && [[ $name != $only ]] && continue
  n=$(value num_frames "$toml"); n=${n:-$(value num_ticks "$toml")}; n=${n:-1}
  quality=$(grep -o 'quality *= *"[a-z]*"' "$toml" | head -1 | sed 's/.*"\(.*\)"/\1/'); quality=${quality:-high}
  args=("$d/test.swf" --frames "$n" --quality "$quality")
  [ -f "$d/input.json" ] && args+=(--input "$d/input.json")
  case_fonts "$d" "$name"
  args+=("${fonts[@]}")
  stageOut=() fullOut=()
  [ -n "$png" ] && stageOut=(--out "$png/$name.stage.png") && fullOut=(--out "$png/$name.full.png")
  stage=$(cpufps "$(taskset -c "$core" "$render" "${args[@]}" "${one_thread[@]}" --bench "$frames" "${stageOut[@]}" 2>&1)")
  one=$(cpufps "$(taskset -c "$core" "$render" "${args[@]}" "${one_thread[@]}" --size "$size" --bench "$frames" "${fullOut[@]}" 2>&1)")
  printf '%-44s %10s %10s %9s' "$name" "$stage" "$one" "$(ms "$one")"
  if [ $many -eq 1 ]; then
    all=$(fps "$("$render" "${args[@]}" "${all_threads[@]}" --size "$size" --bench "$frames" 2>&1)")
    printf ' %10s %9s' "$all" "$(ms "$all")"
  fi
  printf '\n'
  if [ "$one" != - ] && { [ -z "$slowestFps" ] || awk -v a="$one" -v b="$slowestFps" 'BEGIN { exit !(a < b) }'; }; then
    slowest=$name slowestFps=$one
  fi
done
[ -n "$slowest" ] && echo "slowest at $size on one core: $slowest, $slowestFps frames per second ($(ms "$slowestFps") ms a frame)"
exit 0
