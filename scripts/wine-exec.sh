#!/usr/bin/env bash
# ctest's emulator for the 64-bit build: runs one Windows program under Wine.
#   wine-exec.sh <wine> <program> [arguments...]
# Listing a test program's cases is retried: under load, Wine now and then ends a process it is still
# starting with an error and no output, and one lost listing would abort the whole ctest run. A failed
# test itself is never retried here.
wine=$1
shift
case " $* " in
  *" --gtest_list_tests "*) ;;
  *) exec "$wine" "$@" ;;
esac

out=$(mktemp)
trap 'rm -f "$out"' EXIT
rc=1
for attempt in 1 2 3; do
  "$wine" "$@" >"$out"
  rc=$?
  if [ "$rc" -eq 0 ] && [ -s "$out" ]; then
    cat "$out"
    exit 0
  fi
  echo "wine-exec: listing $1 failed (exit $rc, attempt $attempt)" >&2
  sleep $((attempt * 2))
done
cat "$out"
exit "$rc"
