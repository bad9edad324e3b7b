#!/usr/bin/env bash
# Runs a command with a private virtual X display, a private Wine prefix and one persistent wineserver,
# then stops exactly what it started (by PID, and the wineserver of our own prefix only).
#   KO_WINE_STATE  folder for the prefix (kept between runs so warm runs skip Wine's first start)
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
state=${KO_WINE_STATE:-$root/build/wine}
mkdir -p "$state"
state=$(cd "$state" && pwd)

export WINEPREFIX="$state/prefix"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

xvfb_pid=
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then
    "$wineserver" -k 2>/dev/null
    wait "$server_pid" 2>/dev/null
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display itself and tells us its number.
fifo="$state/displayfd.$$"
rm -f "$fifo"
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >"$state/xvfb.log" 2>&1 &
xvfb_pid=$!
display=
if ! read -r -t 20 display <"$fifo"; then
  echo "with-wine: Xvfb did not start (see $state/xvfb.log)" >&2
  rm -f "$fifo"
  exit 1
fi
rm -f "$fifo"
export DISPLAY=":$display"

# A new prefix goes on setting itself up in the background after wineboot returns; programs started in
# that time found the image codecs failing for the rest of the run. So a new prefix is made to the end,
# with a server of its own that is awaited, before the run's server starts.
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot --init >"$state/wineboot-init.log" 2>&1
  "$wineserver" -w
fi

# One server for the whole run: each process then starts in a fraction of a second.
"$wineserver" -f -p >"$state/wineserver.log" 2>&1 &
server_pid=$!
socket_dir=$(printf '/tmp/.wine-%s/server-%x-%x' "$(id -u)" $(stat -c '%d %i' "$WINEPREFIX"))
for _ in $(seq 1 200); do
  [ -S "$socket_dir/socket" ] && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    echo "with-wine: wineserver did not start (see $state/wineserver.log)" >&2
    exit 1
  fi
  sleep 0.05
done

# Start Wine's own background processes (services, the desktop) now, with their output going to a log:
# started later by a test, they would inherit its output pipe and keep the test runner waiting.
"$wine" wineboot >"$state/wineboot.log" 2>&1
# With no window manager, Wine waits two seconds for one each time a visible window is hidden or
# destroyed; unmanaged windows do not wait.
if [ ! -f "$WINEPREFIX/.ko-unmanaged" ]; then
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$state/wineboot.log" 2>&1 &&
    touch "$WINEPREFIX/.ko-unmanaged"
fi

# Wine's own versions of the standard Windows fonts ("MS Sans Serif", Tahoma, ...), from Debian's
# fonts-wine: this Wine build does not look for them in its data folder, so each prefix gets them in its
# Fonts folder, where Windows keeps them. Without them every font name falls back to a wide Linux font.
fonts_dir=/usr/share/wine/fonts
if [ -d "$fonts_dir" ] && [ ! -f "$WINEPREFIX/.ko-fonts" ]; then
  cp -n "$fonts_dir"/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>>"$state/wineboot.log" &&
    touch "$WINEPREFIX/.ko-fonts"
fi

"$@"
