#!/usr/bin/env bash
# Runs a command on private Windows desktops, then stops exactly what it started (by PID, and the
# wineservers of our own prefixes only). A desktop is an X display (Xvfb), a Wine prefix and one persistent
# wineserver; on each, one hidden windowed process is kept alive for the whole run, so that a test's
# windowed process does not pay for Wine's desktop process starting and ending around it.
#   KO_WINE_STATE     folder for this run's state (default build/wine)
#   KO_DESKTOPS       how many desktops (default 1)
#   KO_HOLD_DESKTOP   the windowed program to keep alive (default: build/x64/bin/holddesktop.exe, if built)
#   KO_WINE_TEMPLATE  the finished prefix every desktop is a fresh copy of (default build/wine-template,
#                     made when missing and kept: Wine's first start of a prefix takes about ten seconds)
# The command sees DISPLAY and WINEPREFIX of desktop 0, KO_DESKTOP_<i>_DISPLAY and KO_DESKTOP_<i>_PREFIX of
# every desktop, and KO_RESOURCE_SPEC, a ctest resource file that names them (scripts/wine-exec.sh runs a
# test on the desktop ctest gave it).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
state=${KO_WINE_STATE:-$root/build/wine}
template=${KO_WINE_TEMPLATE:-$root/build/wine-template}
desktops=${KO_DESKTOPS:-1}
hold=${KO_HOLD_DESKTOP:-$root/build/x64/bin/holddesktop.exe}
mkdir -p "$state" "$(dirname "$template")"
state=$(cd "$state" && pwd)
template=$(cd "$(dirname "$template")" && pwd)/$(basename "$template")

export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

xvfb_pids=()
server_pids=()
hold_pids=()
prefixes=()
cleanup() {
  local pid prefix
  for pid in "${hold_pids[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  for prefix in "${prefixes[@]}"; do
    WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null
  done
  for pid in "${server_pids[@]}" "${xvfb_pids[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
}
trap "cleanup 2>/dev/null" EXIT
trap 'exit 130' INT TERM

fail() {
  echo "with-wine: $*" >&2
  exit 1
}

# Xvfb picks a free display itself and tells us its number.
start_display() { # index
  local fifo="$state/displayfd.$$.$1" display=
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >"$state/xvfb-$1.log" 2>&1 &
  xvfb_pids+=($!)
  if ! read -r -t 20 display <"$fifo"; then
    rm -f "$fifo"
    fail "Xvfb did not start (see $state/xvfb-$1.log)"
  fi
  rm -f "$fifo"
  displays+=(":$display")
}

# The template prefix. A new prefix goes on setting itself up in the background after wineboot returns
# (programs that used the image codecs in that time found them failing for the rest of the run), so its
# server is awaited to the end.
make_template() {
  [ -f "$template/.ko-ready" ] && return 0
  rm -rf "$template"
  mkdir -p "$template"
  (
    export WINEPREFIX=$template DISPLAY=${displays[0]}
    "$wine" wineboot --init &&
      # With no window manager, Wine waits two seconds for one each time a visible window is hidden or
      # destroyed; unmanaged windows do not wait.
      "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f &&
      "$wineserver" -w
  ) >"$state/template.log" 2>&1 || fail "cannot make a Wine prefix (see $state/template.log)"
  # Without it every hidden or destroyed window costs two seconds; a lost setting once went unnoticed.
  grep -q '^"Managed"="N"' "$template/user.reg" || fail "the template prefix did not keep Managed=N"
  # Wine's own versions of the standard Windows fonts ("MS Sans Serif", Tahoma, ...), from Debian's
  # fonts-wine: this Wine build does not look for them in its data folder, so each prefix gets them in its
  # Fonts folder, where Windows keeps them. Without them every font name falls back to a wide Linux font.
  if [ -d /usr/share/wine/fonts ]; then
    cp /usr/share/wine/fonts/* "$template/drive_c/windows/Fonts/" 2>>"$state/template.log" ||
      fail "cannot copy Wine's fonts"
  fi
  touch "$template/.ko-ready"
}

# A desktop: a fresh copy of the template, its server, Wine's own background processes, the held window.
start_desktop() { # index
  local index=$1 prefix=$state/desktop-$1 display=${displays[$1]}
  rm -rf "$prefix"
  cp -a "$template" "$prefix" || fail "cannot copy the template prefix $template"
  prefixes+=("$prefix")
  WINEPREFIX=$prefix "$wineserver" -f -p >"$state/wineserver-$index.log" 2>&1 &
  local server=$!
  server_pids+=("$server")
  local socket_dir
  socket_dir=$(printf '/tmp/.wine-%s/server-%x-%x' "$(id -u)" $(stat -c '%d %i' "$prefix"))
  for _ in $(seq 1 200); do
    [ -S "$socket_dir/socket" ] && break
    kill -0 "$server" 2>/dev/null || fail "wineserver did not start (see $state/wineserver-$index.log)"
    sleep 0.05
  done
  # Wine's background processes (services, the desktop) start now, with their output going to a log:
  # started later by a test, they would inherit its output pipe and keep the test runner waiting.
  WINEPREFIX=$prefix DISPLAY=$display "$wine" wineboot >"$state/wineboot-$index.log" 2>&1
  if [ -f "$hold" ]; then
    WINEPREFIX=$prefix DISPLAY=$display "$wine" "$hold" >"$state/hold-$index.log" 2>&1 </dev/null &
    hold_pids+=($!)
  fi
  export "KO_DESKTOP_${index}_DISPLAY=$display" "KO_DESKTOP_${index}_PREFIX=$prefix"
}

displays=()
for ((i = 0; i < desktops; i++)); do
  start_display "$i"
done
make_template
spec="{\"version\": {\"major\": 1, \"minor\": 0}, \"local\": [{\"desktop\": ["
for ((i = 0; i < desktops; i++)); do
  start_desktop "$i"
  spec+="$([ "$i" -gt 0 ] && echo ', '){\"id\": \"$i\", \"slots\": 2}"
done
echo "$spec]}]}" >"$state/desktops.json"
export KO_RESOURCE_SPEC=$state/desktops.json
export KO_WINE_TEMPLATE=$template
export DISPLAY=${displays[0]} WINEPREFIX=$KO_DESKTOP_0_PREFIX

"$@"
