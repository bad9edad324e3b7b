#!/usr/bin/env bash
# Long seeded runs outside CI: malformed BIOS layouts and answers, mutated skin pictures, random private
# messages at the running program, show/Next/hide cycles, and two copies of the program started at once.
# Each phase reports crashes, hangs and leaks (handles, windows, private bytes before and after) with its
# seed; rerun with the same seed to reproduce.
#   scripts/soak.sh [--seed N] [--bios N] [--png N] [--messages N] [--cycles N] [--copies N]
# Defaults: seed from the clock; 100000 layouts, 100000 pictures, 10000 messages, 1000 cycles, 50 rounds
# of each way two copies meet.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seed=$(date +%s)
bios=100000 png=100000 messages=10000 cycles=1000 copies=50
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || { echo "soak: $1 needs a number" >&2; exit 2; }
  [[ $2 =~ ^[0-9]+$ ]] || { echo "soak: $1 takes a number, not \"$2\"" >&2; exit 2; }
  case $1 in
    --seed) seed=$2 ;;
    --bios) bios=$2 ;;
    --png) png=$2 ;;
    --messages) messages=$2 ;;
    --cycles) cycles=$2 ;;
    --copies) copies=$2 ;;
    *) echo "soak: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done

if [ "${KO_SOAK_INNER:-}" != 1 ]; then
  scripts/bootstrap.sh
  cmake --preset x64 >/dev/null && cmake --build --preset x64 --target soak TwoCopiesTests || exit 1
  # All phases in one Wine set-up of their own (display, prefix kept between runs, server).
  KO_SOAK_INNER=1 KO_WINE_STATE=$root/build/wine-soak exec scripts/with-wine.sh "$0" --seed "$seed" \
    --bios "$bios" --png "$png" --messages "$messages" --cycles "$cycles" --copies "$copies"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One phase; a phase that runs past its bound counts as hung. The bound is generous per step (20 ms for
# a layout or a picture, 200 ms for a message, 3 s for a cycle with its two fades) plus two minutes.
phase() { # mode count
  local bound
  case $1 in
    bios|png) bound=$(($2 / 50 + 120)) ;;
    messages) bound=$(($2 / 5 + 120)) ;;
    *) bound=$(($2 * 3 + 120)) ;;
  esac
  local line
  # A store of its own for each phase: the BIOS phase leaves a malformed one behind.
  KOACPI_STORE="Z:$(echo "$work/$1-store.json" | tr / '\\')"
  export KOACPI_STORE
  line=$(timeout "$bound" /usr/lib/wine/wine64 build/x64/bin/soak.exe "$1" "$seed" "$2" 2>"$work/$1.err")
  local rc=$?
  if [ $rc -eq 124 ]; then
    echo "soak $1 seed=$seed count=$2 HUNG: no result within ${bound}s"
  elif [ -z "$line" ]; then
    echo "soak $1 seed=$seed count=$2 CRASHED: driver exit code $rc $(head -c 300 "$work/$1.err")"
  else
    echo "$line"
  fi
  [ $rc -eq 0 ]
}

failed=0
[ "$bios" -gt 0 ] && { phase bios "$bios" || failed=1; }
[ "$png" -gt 0 ] && { phase png "$png" || failed=1; }
[ "$messages" -gt 0 ] && { phase messages "$messages" || failed=1; }
[ "$cycles" -gt 0 ] && { phase cycles "$cycles" || failed=1; }
# The two-copies races, many rounds of the test run's test (a round is a few seconds).
if [ "$copies" -gt 0 ]; then
  if (cd build/x64/bin && KO_COPIES_ROUNDS=$copies timeout $((copies * 40 + 120)) /usr/lib/wine/wine64 \
      TwoCopiesTests.exe --gtest_brief=1 >"$work/copies.log" 2>&1); then
    echo "soak copies rounds=$copies passed"
  else
    echo "soak copies rounds=$copies FAILED:"
    grep -E 'round|Failure|FAILED' "$work/copies.log" | head -n 20
    failed=1
  fi
fi
exit $failed
