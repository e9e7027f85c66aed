#!/usr/bin/env bash
# Checks the built executables without running them: bitness, GUI subsystem, the embedded stub
# (CUSTOM/101 in language 2052, byte for byte) and that only system DLLs are imported.
# Usage: check_shipped.sh QUILLON_EXE STUB_EXE BITS OBJDUMP
set -uo pipefail
exe=$1 stub=$2 bits=$3 objdump=$4
failed=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failed=$((failed + 1)); fi; }

want=$([ "$bits" = 32 ] && echo 'PE32 executable (GUI) Intel 80386' || echo 'PE32+ executable (GUI) x86-64')
check "Quillon.exe is a $bits-bit GUI program" '[[ "$(file -b "$exe")" == "$want"* ]]'
check "the stub is a $bits-bit GUI program" '[[ "$(file -b "$stub")" == "$want"* ]]'
check "Quillon.exe carries the built stub as CUSTOM/101/2052" \
  'wrestool -x --raw --type=CUSTOM --name=101 --language=2052 "$exe" | cmp -s - "$stub"'
for f in "$exe" "$stub"; do
  others=$("$objdump" -p "$f" | awk '/DLL Name:/ {print toupper($3)}' |
    grep -v -x -E 'KERNEL32.DLL|USER32.DLL|GDI32.DLL|COMDLG32.DLL|SHELL32.DLL|SHLWAPI.DLL|COMCTL32.DLL|UXTHEME.DLL|MSIMG32.DLL|OLE32.DLL|OLEAUT32.DLL|ADVAPI32.DLL|MSVCRT.DLL|WINMM.DLL|MSACM32.DLL|WS2_32.DLL|WINHTTP.DLL')
  check "$(basename "$f") imports only system DLLs ${others:+(also: $others)}" '[ -z "$others" ]'
done
echo "shipped: $((5 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
