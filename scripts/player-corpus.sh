#!/usr/bin/env bash
# Renders every reference movie of a corpus folder and compares it with its reference image
# within the movie's own tolerance. Prints one line per movie and the pass total.
# Usage: scripts/player-corpus.sh [--min N] [CORPUS_DIR] [RENDERER]
# QUILLON_RUN, when set, is a command that runs the renderer (an emulator).
# QUILLON_DEFAULT_FACE names the sans face for cases drawn with a default font (Debian's Noto Sans).
# Exit status: 0 when at least N movies pass (all by default), 1 otherwise, 77 without a corpus.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
min=""
if [ "${1:-}" = "--min" ]; then min=$2; shift 2; fi
corpus=${1:-$here/../shared/player-corpus}
render=${2:-$here/build/native/tools/quillon-render}
if [ ! -d "$corpus" ]; then echo "no corpus at $corpus"; exit 77; fi
if [ ! -x "$render" ]; then echo "no renderer at $render (build the native preset first)"; exit 2; fi
# shellcheck source=case-fonts.sh
. "$here/scripts/case-fonts.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# value KEY FILE [SECTION]: the first "KEY = value" in SECTION (or anywhere), quotes removed.
value() {
  awk -v key="$1" -v want="${3:-}" '
    /^\[/ { section = $0; next }
    want != "" && index(section, want) == 0 { next }
    { line = $0; sub(/#.*/, "", line) }
    line ~ "^[ \t]*" key "[ \t]*=" { sub(/^[^=]*=[ \t]*/, "", line); gsub(/["\t ]/, "", line); print line; exit }
  ' "$2"
}

pass=0; total=0
for dir in "$corpus"/*/; do
  name=$(basename "$dir")
  toml="$dir/test.toml"
  [ -f "$toml" ] && [ -f "$dir/test.swf" ] || continue
  total=$((total + 1))
  frames=$(value num_frames "$toml"); frames=${frames:-1}
  quality=$(grep -o 'quality *= *"[a-z]*"' "$toml" | head -1 | sed 's/.*"\(.*\)"/\1/'); quality=${quality:-high}
  ok=1; details=""
  # Each [image_comparisons.NAME] section names an image; a trigger takes it after that many frames.
  mapfile -t sections < <(grep -o '^\[image_comparisons\.[^]]*\]' "$toml" | sed 's/^\[image_comparisons\.//; s/\]$//; s/"//g')
  [ ${#sections[@]} -eq 0 ] && sections=(output)
  for s in "${sections[@]}"; do
    tol=$(value tolerance "$toml" "image_comparisons.$s"); tol=${tol:-0}
    tol=$(value tolerance "$toml" "\"$s\"" || true); [ -z "$tol" ] && tol=$(value tolerance "$toml" "image_comparisons.$s"); tol=${tol:-0}
    outl=$(value max_outliers "$toml" "\"$s\""); [ -z "$outl" ] && outl=$(value max_outliers "$toml" "image_comparisons.$s"); outl=${outl:-0}
    trig=$(value trigger "$toml" "\"$s\""); n=${trig:-$frames}
    ref="$dir/$s.expected.png"
    # Movies driven by input get it as the script corpus runner delivers it.
    input=(); [ -f "$dir/input.json" ] && input=(--input "$dir/input.json")
    # A view of its own size: the stage is drawn scaled into it.
    view=$(grep -o 'viewport_dimensions *= *{[^}]*}' "$toml" | head -1)
    size=()
    if [ -n "$view" ]; then
      vw=$(echo "$view" | grep -o 'width *= *[0-9]*' | grep -o '[0-9]*$')
      vh=$(echo "$view" | grep -o 'height *= *[0-9]*' | grep -o '[0-9]*$')
      size=(--size "${vw}x${vh}")
    fi
    case_fonts "$dir" "$name"
    # shellcheck disable=SC2086  # QUILLON_RUN is a command prefix (an emulator), split into words
    result=$(${QUILLON_RUN:-} "$render" "$dir/test.swf" --frames "$n" --quality "$quality" --out "$tmp/$name.$s.png" \
             --expected "$ref" --tolerance "$tol" --max-outliers "$outl" "${input[@]}" "${size[@]}" "${fonts[@]}" 2>&1)
    rc=$?
    [ $rc -eq 0 ] || ok=0
    details="$details [$s after $n frames: $(echo "$result" | tail -1)]"
  done
  if [ $ok -eq 1 ]; then pass=$((pass + 1)); echo "pass $name$details"; else echo "FAIL $name$details"; fi
done
echo "passed $pass of $total"
[ "$total" -gt 0 ] || exit 77
[ "$pass" -ge "${min:-$total}" ]
