# Sourced: picks the Wine loader for Windows programs of a given bitness (32 or 64).
# Debian's /usr/bin/wine always prefers the 32-bit loader, which only runs where the kernel
# runs 32-bit Linux programs; on kernels without that, 64-bit programs still run with wine64.
quillon_wine_loader() {
  local bits=$1
  if [ "$bits" = 32 ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo /usr/lib/wine/wine; return 0; fi
    return 1
  fi
  if [ -x /usr/lib/wine/wine64 ]; then echo /usr/lib/wine/wine64; return 0; fi
  command -v wine64 || return 1
}

# The bitness of a PE file: 32, 64, or empty when it is not one.
quillon_pe_bits() {
  python3 - "$1" <<'PY'
import struct, sys
with open(sys.argv[1], 'rb') as f:
    d = f.read(4096)
try:
    pe = struct.unpack_from('<I', d, 0x3C)[0]
    machine = struct.unpack_from('<H', d, pe + 4)[0]
    print({0x14c: 32, 0x8664: 64}.get(machine, ''))
except struct.error:
    print('')
PY
}
