#!/usr/bin/env bash
# The restart question answered Yes, and vantorctl's apply, end to end: the level is written and the
# program ends through the reboot request. Under Wine that request ends every windowed process of the prefix, test runners
# included, so the program runs in a Wine prefix, server and virtual display of its own (with-wine.sh
# starts them and stops exactly what it started). A notepad beside it shows that the request was made.
#   RebootTest.sh <source folder> <bin folder> <state folder>
set -uo pipefail
root=${1:?source folder}
bin=$(cd "${2:?bin folder}" && pwd)
state=${3:?state folder}

if [ "${KO_REBOOT_INNER:-}" != 1 ]; then
  # Its prefix is a fresh copy of the run's template prefix; the state folder keeps the logs.
  KO_REBOOT_INNER=1 KO_WINE_STATE=$state WINEDEBUG=-all exec "$root/scripts/with-wine.sh" "$0" "$@"
fi

wine=/usr/lib/wine/wine64
work=$(mktemp -d)
program_pid=
sentinel_pid=
cleanup() {
  for pid in $program_pid $sentinel_pid; do
    kill "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

# shellcheck source=scripts/checks.sh
. "$root/scripts/checks.sh"

# A fresh store in the stand-in's default layout: level 2 of 0 to 4; 0 and 4 need a restart.
export KOACPI_STORE="Z:$(echo "$work/store.json" | tr / '\\')"

"$wine" notepad >"$work/notepad.log" 2>&1 &
sentinel_pid=$!
wait_for 300 xdotool search --name "Notepad" >/dev/null || fail "notepad did not start"

"$wine" "$bin/CpuVantor.exe" >"$work/program.log" 2>&1 &
program_pid=$!
window=
find_window() { window=$(xdotool search --onlyvisible --name '^CPU Vantor\+$' 2>/dev/null | head -n 1) && [ -n "$window" ]; }
wait_for 300 find_window || fail "the program's window did not appear"
eval "$(xdotool getwindowgeometry --shell "$window")"
# The program's first activation reads the BIOS level again: a press before it settles would be undone.
sleep 1

# The buttons' centres on the dialog, which shares the main window's corner.
press() {
  xdotool mousemove $((X + $1)) $((Y + $2)) sleep 0.3 click 1 sleep 0.3
}
press 297 192 # Next: 3
press 297 192 # Next: 4, which needs a restart
press 126 276 # OK: the question
press 126 276 # Yes

wait_for 300 ended "$program_pid" || fail "the program did not end after Yes"
wait "$program_pid"
rc=$?
program_pid=
[ "$rc" -eq 0 ] || fail "exit code $rc"
wait_for 300 ended "$sentinel_pid" || fail "the reboot request was not made (notepad still runs)"
sentinel_pid=

stored_level() {
  tr -d ' \n' <"$work/store.json" | grep -o '"id":"0x0F080000"[^}]*' | grep -o '"value":[0-9]*' | cut -d: -f2
}
grep -q '"0x0F080000"' "$work/store.json" || fail "no store written"
level=$(stored_level)
[ "$level" = 4 ] || fail "stored level is '$level', not 4"
echo "PASS: Yes wrote level 4, made the reboot request and ended the program with 0"

# The same through vantorctl: UM_APPLY_LEVEL answers that the level was written and the restart requested.
"$wine" notepad >"$work/notepad.log" 2>&1 &
sentinel_pid=$!
wait_for 300 xdotool search --name "Notepad" >/dev/null || fail "notepad did not start again"
"$wine" "$bin/CpuVantor.exe" -r >"$work/program.log" 2>&1 &
program_pid=$!
wait_for 300 bash -c "xdotool search --name '^CPU Vantor\+$' >/dev/null" || fail "the program's window did not appear"
sleep 1
"$wine" "$bin/vantorctl.exe" apply 1 >"$work/ctl.out" 2>"$work/ctl.err"
rc=$?
[ "$rc" -eq 0 ] || fail "vantorctl apply 1 exited $rc: $(cat "$work/ctl.out" "$work/ctl.err")"
grep -q "written, the computer restarts" "$work/ctl.out" || fail "vantorctl said: $(cat "$work/ctl.out" "$work/ctl.err")"
wait_for 300 ended "$program_pid" || fail "the program did not end after apply"
program_pid=
wait_for 300 ended "$sentinel_pid" || fail "apply made no reboot request (notepad still runs)"
sentinel_pid=
level=$(stored_level)
[ "$level" = 1 ] || fail "stored level is '$level', not 1"
echo "PASS: vantorctl apply 1 wrote level 1, was told so and the reboot request was made"
