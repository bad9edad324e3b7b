#!/usr/bin/env bash
# Builds the program and runs it under Wine on a virtual display over the stand-in BIOS's default layout
# (a fresh store in a temporary folder): shows the windows, steps once with Next, then picks a level that
# needs a restart and presses OK (never Yes), and saves a screenshot of each stage.
#   scripts/run.sh [--dpi N] [screenshot folder]        (default: build/screenshots)
# --dpi sets the display's DPI (the Wine prefix's LogPixels; 96 by default, 144 is 150 %, 192 is 200 %).
# On Windows the program is simply build\bin\CpuVantor.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${KO_RUN_INNER:-}" != 1 ]; then
  cd "$root"
  export KO_RUN_DPI=96
  if [ "${1:-}" = --dpi ]; then
    [[ ${2:-} =~ ^[0-9]+$ ]] || { echo "run: --dpi needs a number" >&2; exit 2; }
    KO_RUN_DPI=$2
    shift 2
  fi
  shots=${1:-build/screenshots}
  mkdir -p "$shots"
  shots=$(cd "$shots" && pwd)
  scripts/bootstrap.sh
  cmake --preset x64 >/dev/null
  cmake --build --preset x64 >/dev/null
  KO_RUN_INNER=1 KO_WINE_STATE=build/wine-run scripts/with-wine.sh "$0" "$shots"
  echo "run: screenshots in $shots"
  exit 0
fi

shots=$1
bin=$root/build/x64/bin
wine=/usr/lib/wine/wine64
work=$(mktemp -d)
program_pid=
cleanup() {
  [ -z "$program_pid" ] || kill "$program_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=scripts/checks.sh
. "$root/scripts/checks.sh"

export KOACPI_STORE="Z:$(echo "$work/store.json" | tr / '\\')"
dpi=${KO_RUN_DPI:-96}
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
# A 96-ppi length on the program's windows at that DPI (the set for it is at most one scale smaller when
# missing, which this build's sets never are).
sc() { echo $((($1 * dpi + 48) / 96)); }
"$wine" "$bin/CpuVantor.exe" >"$work/program.log" 2>&1 &
program_pid=$!
window=
find_window() { window=$(xdotool search --onlyvisible --name '^CPU Vantor\+$' 2>/dev/null | head -n 1) && [ -n "$window" ]; }
if ! wait_for 300 find_window; then
  echo "run: the program's window did not appear" >&2
  exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$window")"
sleep 1

# The window with a margin, and the notification area in the top-left corner.
shoot() {
  xdotool mousemove 5 1000
  sleep 0.5
  import -window root -crop $((WIDTH + $(sc 40)))x$((HEIGHT + $(sc 40)))+$((X - $(sc 20)))+$((Y - $(sc 20))) +repage \
    "$shots/$1.png"
  echo "run: $shots/$1.png"
}
press() {
  xdotool mousemove $((X + $(sc "$1"))) $((Y + $(sc "$2"))) sleep 0.3 click 1 sleep 0.5
}

shoot 1-normal
press 297 192 # Next
shoot 2-after-next
press 297 192 # Next again: a level that needs a restart
press 126 276 # OK: the restart question
shoot 3-question
import -window root "$shots/desktop.png"

"$wine" "$bin/vantorctl.exe" exit >/dev/null
wait_for 100 bash -c "! kill -0 $program_pid 2>/dev/null" || true
program_pid=
