#!/usr/bin/env bash
# Every executable in the folder that uses KOACPI.DLL must import its BIOS operations by ordinal only.
set -euo pipefail
dir=${1:?folder with the executables}
objdump=
# The 64-bit objdump reads both kinds of executable.
for tool in x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump; do
  command -v "$tool" >/dev/null && objdump=$tool && break
done
status=0
checked=0
for exe in "$dir"/*.exe; do
  [ -e "$exe" ] || continue
  imports=$("$objdump" -p "$exe" | awk '
    /DLL Name:/ { inside = (tolower($3) == "koacpi.dll"); next }
    inside && /^[[:space:]]*$/ { inside = 0 }
    inside && /^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+/ { print }
  ')
  [ -n "$imports" ] || continue
  checked=$((checked + 1))
  # An import by ordinal has the top bit of its thunk set and no member name ("80000007  7  <none>").
  # Only the BIOS operations must come by ordinal; the stand-in's control functions (tests) are named.
  named=$(printf '%s\n' "$imports" | awk '$3 != "<none>" && $3 !~ /^KoSim/')
  if [ -n "$named" ]; then
    echo "check-imports: $exe imports KOACPI.DLL by name:" >&2
    printf '%s\n' "$named" >&2
    status=1
  fi
done
echo "check-imports: $checked executable(s) in $dir import KOACPI.DLL; by-name imports: $([ $status -eq 0 ] && echo none || echo found)"
[ "$checked" -gt 0 ] || { echo "check-imports: nothing in $dir imports KOACPI.DLL" >&2; status=1; }
exit $status
