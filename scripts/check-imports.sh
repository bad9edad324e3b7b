#!/usr/bin/env bash
# Every executable in the folder that uses KOACPI.DLL must import it by ordinal only.
set -euo pipefail
dir=${1:?folder with the executables}
objdump=
for tool in i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump; do
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
  # By ordinal, objdump shows "<ordinal>" with no name after the hint column.
  named=$(printf '%s\n' "$imports" | awk 'NF > 2 && $3 !~ /^<[0-9]+>$/')
  if [ -n "$named" ]; then
    echo "check-imports: $exe imports KOACPI.DLL by name:" >&2
    printf '%s\n' "$named" >&2
    status=1
  fi
done
echo "check-imports: $checked executable(s) in $dir import KOACPI.DLL; by-name imports: $([ $status -eq 0 ] && echo none || echo found)"
exit $status
