#!/usr/bin/env bash
# Builds and runs every test: native, native under sanitizers, Windows under Wine, end to end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
. scripts/wine-env.sh
jobs=$(nproc)
status=0
step() {
  local preset=$1; shift
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  # One virtual display for every Windows test of the run (Wine needs one for real windows).
  bash scripts/with-display.sh ctest --preset "$preset" -j "$jobs" "$@" || status=1
}
step native
step native-asan
# The portable code as 32-bit programs, run through user-mode emulation.
step native-i386
# The shipped 32-bit build. Wine runs 32-bit programs only where the kernel runs 32-bit Linux
# programs; where it cannot, the 32-bit files are checked without running them and the Windows
# and end-to-end tests run on the 64-bit build of the same sources.
if quillon_wine_loader 32 >/dev/null; then
  step win32
else
  echo "note: this kernel runs no 32-bit programs; Wine tests run on the win64 build"
  step win32 -R '^shipped_binaries$'
  step win64
fi
exit $status
