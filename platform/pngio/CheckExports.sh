#!/bin/sh
# Checks that pngio.dll exports exactly its four entry points, under their plain (undecorated) names.
#   CheckExports.sh <objdump> <pngio.dll>
set -u
objdump=$1
dll=$2
# The name table: "[   0] Name" lines under its heading.
names=$("$objdump" -p "$dll" | awk '/^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
  inside && /^$/ { inside = 0 }
  inside { sub(/.*\] /, ""); print }' | sort | tr '\n' ' ')
expected="AllocatePngData FreePngData ReadPngEx WritePngEx "
if [ "$names" != "$expected" ]; then
  echo "FAIL: $dll exports '$names', expected '$expected'" >&2
  exit 1
fi
echo "$dll exports: $names"
