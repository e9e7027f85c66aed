#!/usr/bin/env bash
# Runs a Windows test executable under Wine with a display of its own: a private Xvfb on a free
# display number when none is set, stopped again afterwards. Usage: run-with-display.sh EXE [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../../scripts/wine-run.sh"
if [ -n "${DISPLAY:-}" ] || ! command -v Xvfb >/dev/null; then
  exec "$run" "$@"
fi
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r -t 20 number <"$fifo"
export DISPLAY=":$number"
status=0
"$run" "$@" || status=$?
exit $status
