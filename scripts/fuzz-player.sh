#!/usr/bin/env bash
# Fuzzes the player core (reader, timelines, scripts, rasteriser) with libFuzzer.
# Usage: scripts/fuzz-player.sh [SECONDS] (default 600). Needs clang and libclang-rt-14-dev,
# installed here when missing (as root). Fuzzes in one process at the lowest priority; findings
# land in build/player-fuzz/findings (QUILLON_FUZZ_OUT names another folder for a separate run).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
for p in clang libclang-rt-14-dev zlib1g-dev libstb-dev libmpg123-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    [ "$(id -u)" -eq 0 ] || { echo "fuzz-player: install $p first" >&2; exit 1; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$p"
  fi
done
out=${QUILLON_FUZZ_OUT:-build/player-fuzz}
mkdir -p "$out/obj" "$out/corpus" "$out/findings"
# MP3 through Debian's libmpg123, as the native build decodes it.
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -Iplayer -isystem /usr/include/stb
       -DQUILLON_HAVE_MPG123=1)
objs=()
# Rebuilds only what changed since the last run.
while IFS= read -r f; do
  o="$out/obj/$(echo "${f#player/}" | tr / _ | sed 's/\.cpp$//').o"
  if [ ! -f "$o" ] || [ "$f" -nt "$o" ] || [ -n "$(find player -name '*.h' -newer "$o")" ]; then
    clang++ "${flags[@]}" -fsanitize=fuzzer-no-link -c "$f" -o "$o"
  fi
  objs+=("$o")
done < <(find player -name '*.cpp' | sort)
# The image and font readers' C implementations.
for c in swf/stb_image_impl text/stb_truetype_impl; do
  o="$out/obj/$(basename "$c").o"
  [ -f "$o" ] || clang -O1 -g -fsanitize=address,undefined -w -I/usr/include/stb -c "player/$c.c" -o "$o"
done
clang++ "${flags[@]}" tests/player/fuzz/fuzz_player.cpp "${objs[@]}" "$out/obj/stb_image_impl.o" \
  "$out/obj/stb_truetype_impl.o" -lz -lmpg123 -o "$out/fuzz_player"
# Seeds: the reference movies when present (read in place, never copied), so the fuzzer starts
# from real tag streams; what it learns goes to its own corpus folder.
seeds=()
[ -d ../shared/player-corpus ] && seeds=(../shared/player-corpus/*/)
[ -d ../shared/avm1-corpus ] && seeds+=(../shared/avm1-corpus/*/)
exec nice -n 19 "$out/fuzz_player" "$out/corpus" "${seeds[@]}" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -rss_limit_mb=4096 -artifact_prefix="$out/findings/" -print_final_stats=1
