#!/usr/bin/env bash
# Runs a command with a display: the current one when DISPLAY is set, else a private Xvfb on a
# free display number, stopped again afterwards. Usage: with-display.sh COMMAND [ARGS...]
set -euo pipefail
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r -t 60 number <"$fifo"
export DISPLAY=":$number"
status=0
"$@" || status=$?
exit $status
