#!/usr/bin/env bash
# Benchmark: converting a large movie (1 GiB by default) against a plain cp of the same bytes.
# Prints wall time and peak memory of both, side by side. Usage: bench-convert.sh [MiB]
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-1024}
cmake --preset native >/dev/null
cmake --build --preset native --target convert_bench >/dev/null
dir=$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench.XXXXXX")
trap 'rm -rf "$dir"' EXIT
head -c 5309440 /dev/urandom >"$dir/stub.exe"
head -c $((mib * 1024 * 1024)) /dev/urandom >"$dir/movie.swf"
cat "$dir/movie.swf" >/dev/null  # both runs start from a warm cache
measure() {  # prints "seconds peak-KiB"
  /usr/bin/time -f '%e %M' -o "$dir/time" "$@" >/dev/null
  cat "$dir/time"
}
read -r cp_s cp_kib < <(measure cp "$dir/movie.swf" "$dir/copy.swf")
rm -f "$dir/copy.swf"
read -r q_s q_kib < <(measure build/native/tests/convert_bench "$dir/stub.exe" "$dir/movie.swf" "$dir/out.exe")
expected=$((5309440 + mib * 1024 * 1024 + 8))
actual=$(stat -c %s "$dir/out.exe")
printf '%-10s %10s %14s\n' "" "wall (s)" "peak RSS (MiB)"
printf '%-10s %10s %14.1f\n' cp "$cp_s" "$(echo "$cp_kib / 1024" | bc -l)"
printf '%-10s %10s %14.1f\n' quillon "$q_s" "$(echo "$q_kib / 1024" | bc -l)"
echo "output size: $actual bytes (expected $expected)"
ratio=$(echo "$q_s / ($cp_s + 0.001)" | bc -l)
printf 'time ratio quillon/cp: %.2f (limit 1.5); peak memory limit 64 MiB\n' "$ratio"
[ "$actual" -eq "$expected" ] && [ "$q_kib" -lt $((64 * 1024)) ] && [ "$(echo "$ratio <= 1.5" | bc)" = 1 ]
