#!/usr/bin/env bash
# Benchmark: converting a large movie (1 GiB by default) with the native quillon-convert and with
# the Windows quillon-convert.exe under Wine, against a plain cp of the same bytes. Prints wall time
# and peak memory of each. Wine's own start-up (measured by a run that converts nothing) is
# reported and taken off the Windows time, which is then the conversion's. Each figure is the
# median of QUILLON_BENCH_RUNS runs (3 by default): the disks of shared machines are noisy.
# Usage: bench-convert.sh [MiB]
# QUILLON_BENCH_NATIVE / QUILLON_BENCH_WINDOWS name other build folders than the presets'.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
mib=${1:-1024}
bits=64
quillon_wine_loader 32 >/dev/null && bits=32

build() {  # build DIR PRESET [TOOLCHAIN]
  local dir=$1 preset=$2 toolchain=${3:-}
  if [ "$dir" = "build/$preset" ]; then
    cmake --preset "$preset" >/dev/null
  elif [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -G Ninja ${toolchain:+-DCMAKE_TOOLCHAIN_FILE=$toolchain} \
      -DCMAKE_BUILD_TYPE="$([ -n "$toolchain" ] && echo Release || echo Debug)" >/dev/null
  fi
  cmake --build "$dir" --target quillon-convert >/dev/null
}
native=${QUILLON_BENCH_NATIVE:-build/native}
windows=${QUILLON_BENCH_WINDOWS:-build/win$bits}
build "$native" native
build "$windows" "win$bits" "cmake/mingw-$([ $bits = 32 ] && echo i686 || echo x86_64).cmake"

dir=$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench.XXXXXX")
trap 'rm -rf "$dir"' EXIT
head -c $((mib * 1024 * 1024)) /dev/urandom >"$dir/movie.swf"
runs=${QUILLON_BENCH_RUNS:-3}
once() {  # once NAME COMMAND...: appends "seconds peak-KiB" to $dir/NAME.runs
  local name=$1; shift
  # Every run starts from a warm cache and a clean disk, without the last run's output.
  rm -f "$dir/copy.swf" "$dir/native.exe" "$dir/windows.exe"
  cat "$dir/movie.swf" >/dev/null
  sync
  /usr/bin/time -f '%e %M' -o "$dir/time" "$@" >/dev/null
  cat "$dir/time" >>"$dir/$name.runs"
}
result() {  # result NAME: the median time and the largest peak of its runs
  sort -n "$dir/$1.runs" | awk '{t[NR] = $1; if ($2 > m) m = $2} END {print t[int((NR + 1) / 2)], m}'
}
size=$((mib * 1024 * 1024))
check() {  # check OUTPUT: a trailer naming the movie's length after the movie's bytes
  local out=$1 got
  got=$(tail -c 8 "$out" | od -An -tx1 | tr -d ' \n')
  [ "$got" = "563412fa$(printf '%08x' "$size" | sed 's/\(..\)\(..\)\(..\)\(..\)/\4\3\2\1/')" ] &&
    cmp -s -n "$size" -i "$(($(stat -c %s "$out") - size - 8)):0" "$out" "$dir/movie.swf"
}

wexe="$windows/bin/quillon-convert.exe"
bits=$(quillon_pe_bits "$wexe")
scripts/wine-run.sh "$wexe" --version >/dev/null  # readies the prefix
# The three take turns, so that a slow spell of the machine falls on all of them alike.
n_ok=yes w_ok=yes
for ((i = 0; i < runs; i++)); do
  once cp cp "$dir/movie.swf" "$dir/copy.swf"
  once native "$native/bin/quillon-convert" --quiet "$dir/movie.swf" -o "$dir/native.exe"
  check "$dir/native.exe" || n_ok=NO
  once wine0 scripts/wine-run.sh "$wexe" --version
  once windows scripts/wine-run.sh "$wexe" --quiet "Z:$dir/movie.swf" -o "Z:$dir/windows.exe"
  check "$dir/windows.exe" || w_ok=NO
done
rm -f "$dir/windows.exe"
read -r cp_s cp_kib < <(result cp)
read -r n_s n_kib < <(result native)
read -r w0_s w0_kib < <(result wine0)
read -r w_s w_kib < <(result windows)
w_net=$(echo "$w_s - $w0_s" | bc -l)

mibs() { echo "$1 / 1024" | bc -l; }
printf '%-32s %9s %15s %8s\n' "$mib MiB movie" "wall (s)" "peak RSS (MiB)" "output"
printf '%-32s %9s %15.1f %8s\n' cp "$cp_s" "$(mibs "$cp_kib")" ""
printf '%-32s %9s %15.1f %8s\n' "quillon-convert (native)" "$n_s" "$(mibs "$n_kib")" "$n_ok"
printf '%-32s %9s %15.1f %8s\n' "wine start-up alone" "$w0_s" "$(mibs "$w0_kib")" ""
printf '%-32s %9s %15.1f %8s\n' "quillon-convert.exe ($bits-bit, Wine)" "$w_s" "$(mibs "$w_kib")" "$w_ok"
printf '%-32s %9.2f\n' "  less Wine's start-up" "$w_net"
n_ratio=$(echo "$n_s / ($cp_s + 0.001)" | bc -l)
w_ratio=$(echo "$w_net / ($cp_s + 0.001)" | bc -l)
printf 'time ratio native/cp: %.2f (limit 1.1); Windows/cp: %.2f (limit 1.5); peak memory limit 64 MiB\n' \
  "$n_ratio" "$w_ratio"
[ "$n_ok" = yes ] && [ "$w_ok" = yes ] && [ "$n_kib" -lt $((64 * 1024)) ] && [ "$w_kib" -lt $((64 * 1024)) ] &&
  [ "$(echo "$n_ratio <= 1.1" | bc)" = 1 ] && [ "$(echo "$w_ratio <= 1.5" | bc)" = 1 ]
