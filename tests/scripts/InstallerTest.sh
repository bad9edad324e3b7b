#!/usr/bin/env bash
# The installer built for amd64 with the x86_64 build as payload, driven under Wine in a prefix and
# wineserver of its own (a copy of the run's template, removed here, so nothing reaches the suite's
# prefixes): silent install, its files and registry entries, the logon choice, the program started from
# the installed folder, an upgrade over the running copy, an uninstall that leaves a user's own file, and
# one that leaves nothing.
#   InstallerTest.sh SOURCE_ROOT X64_BIN VERSION        (needs DISPLAY, as scripts/with-wine.sh provides)
set -uo pipefail
root=${1:?source folder}
bin=${2:?x86_64 bin folder}
version=${3:?version}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

work=$(mktemp -d "${TMPDIR:-/tmp}/ko-installer.XXXXXX")
# A crash ends the process at once instead of waiting in the debugger.
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then
    "$wineserver" -k 2>/dev/null
    wait "$server_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "FAIL: $what"
    failed=$((failed + 1))
  fi
}
# Polls `condition` every 0.2 s for at most `seconds`.
wait_for() {
  local seconds=$1
  shift
  local rounds=$((seconds * 5))
  while ! "$@"; do
    rounds=$((rounds - 1))
    [ $rounds -gt 0 ] || return 1
    sleep 0.2
  done
}
not() { ! "$@"; }
run() { "$wine" "$@" >>"$work/wine.log" 2>&1 </dev/null; }

# --- installers: an earlier version and this one, from the same script ---------------------------------
payload=$work/payload
mkdir -p "$payload/Resource"
for name in CpuVantor.exe pngio.dll KOACPI.DLL vantorctl.exe; do
  cp "$bin/$name" "$payload/" || exit 1
done
cp "$bin"/Resource/*.png "$bin"/Resource/*.ico "$payload/Resource/" || exit 1
echo "the earlier version's readme" >"$payload/README.txt"
"$root/packaging/make-installer.sh" "$payload" 0.9.0 amd64 "$work/setup-old.exe" --fast >/dev/null || exit 1
rm "$payload/README.txt" # the new version ships without it: the upgrade must not strand it
"$root/packaging/make-installer.sh" "$payload" "$version" amd64 "$work/setup.exe" --fast >/dev/null || exit 1
mkdir -p "$work/drop" && cp "$work"/setup-old.exe "$work"/setup.exe "$work/drop/"

# --- a prefix and server of our own: a copy of the run's finished template prefix when there is one ----
if [ -n "${KO_WINE_TEMPLATE:-}" ] && [ -f "$KO_WINE_TEMPLATE/.ko-ready" ]; then
  cp -a "$KO_WINE_TEMPLATE" "$WINEPREFIX" || { echo "FAIL: cannot copy $KO_WINE_TEMPLATE"; exit 1; }
else
  mkdir -p "$WINEPREFIX"
fi
"$wineserver" -f -p >"$work/wineserver.log" 2>&1 &
server_pid=$!
run wineboot || { echo "FAIL: wineboot"; exit 1; }
run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
win() { printf 'Z:%s' "${1//\//\\}"; } # a Unix path as the Windows programs see it
export KOACPI_STORE
KOACPI_STORE=$(win "$work/bios-store.json")

programs="$WINEPREFIX/drive_c/Program Files"
installed="$programs/CPU Vantor"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/CPU Vantor.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\CPU Vantor'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
# A value as `reg query` shows it, or nothing.
value() {
  "$wine" reg query "$1" /v "$2" 2>/dev/null </dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z]* *//p"
}
key_exists() { "$wine" reg query "$1" >/dev/null 2>&1 </dev/null; }
running() { # the controller finds a copy as the installer does
  "$wine" "$(win "$payload/vantorctl.exe")" status --json 2>/dev/null </dev/null | grep -q '"running": true'
}
listing() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }
shipped=$(listing "$payload" && echo Uninstall.exe)
shipped=$(echo "$shipped" | LC_ALL=C sort)

# --- bad option: refused, nothing installed -------------------------------------------------------------
run "$work/drop/setup.exe" /S /LOGON=yes
check "an unknown /LOGON value fails with 2" test $? -eq 2
check "an unknown /LOGON value installs nothing" test ! -e "$installed"

# --- silent install of the earlier version, logon on by default --------------------------------------
run "$work/drop/setup-old.exe" /S
check "the earlier version installs" test $? -eq 0
check "it lands in Program Files\\CPU Vantor" test -f "$installed/CpuVantor.exe"
check "the Start-menu shortcut is made" test -f "$shortcut"
check "logon is on unless chosen off" test "$(value "$run_key" "CPU Vantor")" = '"C:\Program Files\CPU Vantor\CpuVantor.exe" -r'

# The program runs from there, hidden, and the controller installed beside it finds it.
"$wine" "C:\\Program Files\\CPU Vantor\\CpuVantor.exe" -r >>"$work/wine.log" 2>&1 </dev/null &
old_pid=$!
check "the installed program starts" wait_for 40 running

# --- upgrade over the running copy, logon chosen off ----------------------------------------------------
echo "a user's own notes" >"$installed/my notes.txt"
run "$work/drop/setup.exe" /S /LOGON=0
check "the upgrade installs" test $? -eq 0
old_ended=1
wait_for 20 not kill -0 "$old_pid" 2>/dev/null && old_ended=0
check "the running copy ended for the upgrade" test $old_ended -eq 0
wait "$old_pid" 2>/dev/null
check "it ended through its exit message (exit code 0)" test $? -eq 0
check "the upgraded copy is started again" wait_for 40 running
check "the version is the new one" test "$(value "$uninstall_key" DisplayVersion)" = "$version"
check "logon chosen off removes the entry" test -z "$(value "$run_key" "CPU Vantor")"
check "the installed exe is the new build's" cmp -s "$installed/CpuVantor.exe" "$bin/CpuVantor.exe"
for name in DisplayName Publisher DisplayIcon UninstallString QuietUninstallString InstallLocation EstimatedSize; do
  check "the uninstall key has $name" test -n "$(value "$uninstall_key" "$name")"
done
check "the display name" test "$(value "$uninstall_key" DisplayName)" = "CPU Vantor"
check "the quiet uninstall command" \
  test "$(value "$uninstall_key" QuietUninstallString)" = '"C:\Program Files\CPU Vantor\Uninstall.exe" /S'

# --- uninstall while it runs, with a user's file in the folder -------------------------------------------
run "$installed/Uninstall.exe" /S
# The uninstaller runs on from a copy of itself in the temporary folder; its work shows in the folder.
gone_but_notes() { test "$(listing "$installed" 2>/dev/null)" = "my notes.txt"; }
check "the uninstaller removes its own files and keeps the user's" wait_for 40 gone_but_notes
check "the user's file is untouched" test "$(cat "$installed/my notes.txt" 2>/dev/null)" = "a user's own notes"
check "the README of the earlier version went too" test ! -e "$installed/README.txt"
check "the running copy was ended" not running
check "the uninstall key is gone" wait_for 10 not key_exists "$uninstall_key"
check "the shortcut is gone" test ! -e "$shortcut"
rm -rf "$installed"

# --- another folder, logon on, uninstall leaves nothing ---------------------------------------------
# NSIS takes /D= unquoted; Wine would quote an argument with a space, so the folder has none.
other="$WINEPREFIX/drive_c/Apps/Vantor"
run "$work/drop/setup.exe" /S /LOGON=1 '/D=C:\Apps\Vantor'
check "an install into another folder" test $? -eq 0
check "it holds exactly the shipped files" test "$(listing "$other")" = "$shipped"
check "logon points at that folder" test "$(value "$run_key" "CPU Vantor")" = '"C:\Apps\Vantor\CpuVantor.exe" -r'
check "the location is recorded" test "$(value "$uninstall_key" InstallLocation)" = 'C:\Apps\Vantor'
run "$other/Uninstall.exe" /S
check "the uninstall leaves no folder" wait_for 40 test ! -e "$other"
check "no uninstall key is left" wait_for 10 not key_exists "$uninstall_key"
check "no logon entry is left" test -z "$(value "$run_key" "CPU Vantor")"
check "no shortcut is left" test ! -e "$shortcut"
check "Program Files has no CPU Vantor" test ! -e "$installed"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
