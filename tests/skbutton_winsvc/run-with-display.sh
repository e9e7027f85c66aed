#!/usr/bin/env bash
# Runs a Windows test executable under Wine with a display (scripts/with-display.sh).
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../../scripts/with-display.sh" "$here/../../scripts/wine-run.sh" "$@"
