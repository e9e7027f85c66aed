#!/usr/bin/env bash
# The committed icon images and title strip are what scripts/make-resources.py draws: a fresh
# run writes the same bytes.
# Usage: resources_reproducible.sh REPOSITORY WORK_DIR
set -euo pipefail
repo=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
python3 "$repo/scripts/make-resources.py" "$work" >/dev/null
failed=0
for f in "$repo"/resources/appicon/* "$repo/resources/title-strip.jpg"; do
  rel=${f#"$repo/resources/"}
  if cmp -s "$f" "$work/$rel"; then echo "ok   $rel"; else echo "FAIL $rel differs from what the script draws"; failed=1; fi
done
extra=$(cd "$work" && find appicon -type f | sort | while read -r g; do [ -e "$repo/resources/$g" ] || echo "$g"; done)
[ -z "$extra" ] || { echo "FAIL not committed: $extra"; failed=1; }
exit "$failed"
