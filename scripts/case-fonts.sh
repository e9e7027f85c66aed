# Sourced by the corpus scripts. case_fonts DIR NAME fills the array `fonts` with the renderer's
# font options for the case in DIR: the device fonts its test.toml provides ([fonts.X] family and
# path), which of them stands for _sans, _serif or _typewriter ([default_fonts]), and for cases
# drawn with the reference's one default face, that face ($default_face, Debian's Noto Sans unless
# QUILLON_DEFAULT_FACE names another) for every device font.
default_face=${QUILLON_DEFAULT_FACE:-/usr/share/fonts/truetype/noto/NotoSans-Regular.ttf}

case_fonts() {
  local dir=$1 name=$2 toml=$1/test.toml kind a b g
  fonts=()
  while IFS='|' read -r kind a b; do
    if [ "$kind" = font ]; then fonts+=(--font "$a=$dir/$b"); else fonts+=(--generic-font "_$a=$b"); fi
  done < <(awk '
    function flush() { if (family != "" && path != "") print "font|" family "|" path; family = ""; path = "" }
    /^\[/ { flush(); section = $0; next }
    { line = $0; sub(/#.*/, "", line) }
    section ~ /^\[fonts\./ && line ~ /^[ \t]*family[ \t]*=/ { sub(/^[^=]*=[ \t]*/, "", line); gsub(/"/, "", line); family = line }
    section ~ /^\[fonts\./ && line ~ /^[ \t]*path[ \t]*=/ { sub(/^[^=]*=[ \t]*/, "", line); gsub(/"/, "", line); path = line }
    section == "[default_fonts]" && line ~ /=/ {
      key = line; sub(/[ \t]*=.*/, "", key); gsub(/[ \t]/, "", key)
      v = line; sub(/^[^=]*=[ \t]*\[?[ \t]*"/, "", v); sub(/".*/, "", v); print "generic|" key "|" v }
    END { flush() }' "$toml")
  if [ ${#fonts[@]} -eq 0 ] && grep -q '^with_default_font *= *true' "$toml"; then
    if [ -f "$default_face" ]; then
      fonts=(--font "Default Sans=$default_face")
      for g in _sans _serif _typewriter; do fonts+=(--generic-font "$g=Default Sans"); done
    else
      echo "note: no default face at $default_face; $name draws with the system's fonts" >&2
    fi
  fi
}
