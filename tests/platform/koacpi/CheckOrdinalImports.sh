#!/bin/sh
# Checks that KOACPI.DLL exports the ten BIOS operations (ordinals 1-7 and 9-11) without names and that each
# client imports them from it by ordinal only.
#   CheckOrdinalImports.sh <objdump> <KOACPI.DLL> <client.exe>...
set -u
objdump=$1
dll=$2
shift 2
status=0
expected="1 2 3 4 5 6 7 9 10 11"

fail() {
  echo "FAIL: $*" >&2
  status=1
}

# Exports: ordinals present in the address table, and the names of the name table.
exports=$("$objdump" -p "$dll") || { fail "cannot read $dll"; exit 1; }
ordinals=$(printf '%s\n' "$exports" | sed -n '/^Export Address Table --/,/^$/p' |
  sed -n 's/.*+base\[ *\([0-9]*\)\].*/\1/p' | tr '\n' ' ')
for ordinal in $expected; do
  case " $ordinals " in *" $ordinal "*) ;; *) fail "$dll does not export ordinal $ordinal" ;; esac
done
case " $ordinals " in *" 8 "*) fail "$dll exports ordinal 8" ;; esac
names=$(printf '%s\n' "$exports" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/.*\] //p')
if printf '%s\n' "$names" | grep -q '^Acpi'; then
  fail "$dll exports BIOS operations by name: $(printf '%s\n' "$names" | grep '^Acpi' | tr '\n' ' ')"
fi

for client in "$@"; do
  # The KOACPI.DLL block of the import table: "<thunk> <ordinal or hint> <name or <none>>" per line. An
  # ordinal import's thunk is the high bit plus the ordinal in its low 16 bits, in hex on every target.
  imports=$("$objdump" -p "$client" | awk '
    function hex(text,   value, at) {
      value = 0
      for (at = 1; at <= length(text); ++at)
        value = value * 16 + index("0123456789abcdef", tolower(substr(text, at, 1))) - 1
      return value
    }
    /DLL Name:/ { inside = ($3 == "KOACPI.DLL"); next }
    inside && /^$/ { inside = 0 }
    inside && $1 != "vma:" && NF >= 3 { print ($3 == "<none>" ? "ordinal " hex(substr($1, length($1) - 3)) : "name " $3) }')
  if [ -z "$imports" ]; then
    fail "$client imports nothing from KOACPI.DLL"
    continue
  fi
  byOrdinal=$(printf '%s\n' "$imports" | sed -n 's/^ordinal //p' | sort -n | tr '\n' ' ')
  byName=$(printf '%s\n' "$imports" | sed -n 's/^name //p')
  [ "$byOrdinal" = "$expected " ] || fail "$client imports by ordinal: '$byOrdinal', expected '$expected'"
  # Only the control interface may be imported by name.
  named=$(printf '%s\n' "$byName" | grep -v '^KoSim' | grep -v '^$')
  [ -z "$named" ] && echo "$client: KOACPI.DLL ordinals $byOrdinal" ||
    fail "$client imports from KOACPI.DLL by name: $(printf '%s\n' "$named" | tr '\n' ' ')"
done
exit $status
