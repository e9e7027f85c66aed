#!/usr/bin/env bash
# The console quillon-convert.exe under Wine: it carries the build's stub, converts through the
# Windows file code, refuses an existing output, reports a missing movie, extracts byte for byte.
# Usage: console_wine_test.sh WINE_RUN EXE STUB WORK_DIR
set -uo pipefail
run=$1 exe=$2 stub=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() { if eval "$2"; then echo "ok   $1"; passed=$((passed + 1)); else echo "FAIL $1"; failed=$((failed + 1)); fi; }
cli() { "$run" "$exe" "$@" >"$work/out" 2>"$work/err"; echo $? >"$work/status"; }
status() { cat "$work/status"; }

check "quillon-convert.exe is a console program" '[[ "$(file -b "$exe")" == *"(console)"* ]]'
check "it carries the built stub as CUSTOM/101/2052" \
  'wrestool -x --raw --type=CUSTOM --name=101 --language=2052 "$exe" | cmp -s - "$stub"'

printf 'FWS\006movie bytes' >"$work/movie.swf"
cli "Z:$work/movie.swf"
check "a movie converts (status $(status))" '[ "$(status)" = 0 ]'
{ cat "$stub" "$work/movie.swf"; printf '\x56\x34\x12\xfa\x0f\x00\x00\x00'; } >"$work/expected.exe"
check "the output is stub, movie and trailer" 'cmp -s "$work/movie.exe" "$work/expected.exe"'

cli "Z:$work/movie.swf"
check "an existing output is refused with status 6 (got $(status))" '[ "$(status)" = 6 ] && [ "$(wc -l <"$work/err")" = 1 ]'
check "and left as it was" 'cmp -s "$work/movie.exe" "$work/expected.exe"'

cli "Z:$work/gone.swf"
check "a missing movie is status 3 with one line naming it (got $(status))" \
  '[ "$(status)" = 3 ] && [ "$(wc -l <"$work/err")" = 1 ] && grep -q "gone.swf" "$work/err"'
check "and nothing is created" '[ ! -e "$work/gone.swf" ] && [ ! -e "$work/gone.exe" ]'

cli --extract "Z:$work/movie.exe" -o "Z:$work/back.swf"
check "--extract gives the movie back byte for byte (status $(status))" 'cmp -s "$work/back.swf" "$work/movie.swf"'

echo "console: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
