#!/usr/bin/env bash
# The installer built for amd64 with the x86_64 build as payload, driven under Wine in a prefix and
# wineserver of its own (a copy of the run's template, removed here, so nothing reaches the suite's
# prefixes): a payload without KOACPI.DLL; the refusal on a machine without the BIOS library and /FORCE;
# the access list a folder outside Program Files gets (Wine keeps none, so the icacls commands the
# installer runs are checked); an upgrade of a version that shipped the stand-in over the running copy,
# which keeps the machine's library byte for byte and starts the copy again through the desktop shell;
# a copy on another desktop (another session: the exit message cannot reach it) that stops the installer
# with nothing changed, and whose files the uninstaller leaves to the next restart.
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

# shellcheck source=scripts/checks.sh
. "$root/scripts/checks.sh"
# Polls `condition` every 0.2 s for at most `seconds` (some conditions take seconds to ask themselves).
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}
not() { ! "$@"; }
run() { "$wine" "$@" >>"$work/wine.log" 2>&1 </dev/null; }
same() { cmp -s "$1" "$2"; }

# --- installers: an earlier version that shipped the stand-in, and this one -----------------------------
payload=$work/payload
mkdir -p "$payload/Resource"
for name in CpuVantor.exe pngio.dll vantorctl.exe; do
  cp "$bin/$name" "$payload/" || exit 1
done
cp -r "$bin"/Resource/. "$payload/Resource/" || exit 1
[ -f "$payload/Resource/200/cpu_bg004.png" ] || { echo "FAIL: the build has no 200 % pictures"; exit 1; }
old_payload=$work/old-payload
cp -a "$payload" "$old_payload"
cp "$bin/KOACPI.DLL" "$old_payload/" || exit 1
echo "the earlier version's readme" >"$old_payload/README.txt"
unset KO_SIGN_CERT KO_SIGN_KEY KO_SIGN_PASS_FILE KO_SIGN_TIMESTAMP
"$root/packaging/make-installer.sh" "$old_payload" 0.9.0 amd64 "$work/setup-old.exe" --fast >/dev/null || exit 1
# This version is signed as a release is: signed, it must still run (NSIS checks its own data) and
# write the uninstaller signed too.
"$root/packaging/sign.sh" --throwaway "$work/signing" || exit 1
KO_SIGN_CERT=$work/signing/cert.pem KO_SIGN_KEY=$work/signing/key.pem \
  "$root/packaging/make-installer.sh" "$payload" "$version" amd64 "$work/setup.exe" --fast >/dev/null || exit 1
mkdir -p "$work/drop" && cp "$work"/setup-old.exe "$work"/setup.exe "$work/drop/"

carried=$(7z l -slt "$work/setup.exe" 2>/dev/null | sed -n 's/^Path = //p' | tr '\\' /)
check "the installer is signed" "$root/packaging/sign.sh" --verify "$work/signing/cert.pem" "$work/setup.exe"
check "the installer lists the program" grep -qx CpuVantor.exe <<<"$carried"
check "the installer carries no KOACPI.DLL" not grep -qix 'koacpi.dll' <<<"$carried"

# --- a prefix and server of our own: a copy of the run's finished template prefix when there is one ----
if [ -n "${KO_WINE_TEMPLATE:-}" ] && [ -f "$KO_WINE_TEMPLATE/.ko-ready" ]; then
  cp -a "$KO_WINE_TEMPLATE" "$WINEPREFIX" || { echo "FAIL: cannot copy $KO_WINE_TEMPLATE"; exit 1; }
else
  mkdir -p "$WINEPREFIX"
fi
win() { printf 'Z:%s' "${1//\//\\}"; } # a Unix path as the Windows programs see it
# Before Wine's desktop starts: the copies the desktop shell starts see it too.
export KOACPI_STORE
KOACPI_STORE=$(win "$work/bios-store.json")
"$wineserver" -f -p >"$work/wineserver.log" 2>&1 &
server_pid=$!
run wineboot || { echo "FAIL: wineboot"; exit 1; }
run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f

drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/CPU Vantor"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/CPU Vantor.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\CPU Vantor'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
session_key='HKLM\System\CurrentControlSet\Control\Session Manager'
# A value as `reg query` shows it, or nothing.
value() {
  "$wine" reg query "$1" /v "$2" 2>/dev/null </dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z]* *//p"
}
key_exists() { "$wine" reg query "$1" >/dev/null 2>&1 </dev/null; }
# The controller finds a copy as the installer does: on its own desktop only. Another desktop stands in
# for another session, whose copies neither the exit message nor a second copy can reach.
other_desktop=(explorer /desktop=Other,640x480)
controller=$(win "$payload/vantorctl.exe")
running() { "$wine" "$controller" status --json 2>/dev/null </dev/null | grep -q '"running": true'; }
listing() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }
state() { (cd "$1" && find . -type f -exec sha256sum {} + | LC_ALL=C sort); }
shipped=$( (listing "$payload" && echo Uninstall.exe) | LC_ALL=C sort)
# The Unix process of this prefix's copy of the program (Wine keeps the Windows environment in it).
copy_pid() {
  local pid
  for pid in $(pgrep -x 'CpuVantor.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}
a_copy() { test -n "$(copy_pid)"; }
started_commands() { # the command lines a run traced with +process started, unescaped
  grep -a 'CreateProcessInternalW app ' "$1" | sed -n 's/.* cmdline L"\(.*\)"$/\1/p' |
    sed 's/\\"/"/g; s/\\\\/\\/g'
}
icacls_commands() { started_commands "$1" | grep -a '^"[^"]*\\icacls\.exe"'; }

# --- bad option: refused, nothing installed -------------------------------------------------------------
run "$work/drop/setup.exe" /S /LOGON=yes
check "an unknown /LOGON value fails with 2" test $? -eq 2
check "an unknown /LOGON value installs nothing" test ! -e "$installed"

# --- a machine without the BIOS library: one sentence, exit code 3, nothing installed ------------------
sentence="CPU Vantor needs the BIOS library KOACPI.DLL that comes with the machine it is made for, and Windows finds none for it on this computer, so nothing was installed."
"$wine" "$work/drop/setup.exe" /S '/D=C:\Apps\Vantor' </dev/null >>"$work/wine.log" 2>"$work/refusal.err"
check "no library: exit code 3" test $? -eq 3
check "no library: the sentence alone on standard error" test "$(tr -d '\r' <"$work/refusal.err")" = "$sentence"
check "no library: no folder" test ! -e "$drive/Apps/Vantor"
check "no library: no uninstall key" not key_exists "$uninstall_key"
check "no library: no logon entry" test -z "$(value "$run_key" "CPU Vantor")"

# --- the library on the machine's PATH (as %SystemDrive%\MachineLib), someone else's folder: the library
# is found, but the folder's access list is not the installer's to change --------------------------------
environment_key="$session_key\\Environment"
machine_path=$(value "$environment_key" Path)
mkdir -p "$drive/MachineLib" && cp "$bin/KOACPI.DLL" "$drive/MachineLib/" || exit 1
run reg add "$environment_key" /v Path /t REG_EXPAND_SZ /d "$machine_path;%SystemDrive%\\MachineLib" /f
mkdir -p "$drive/Shared" && echo "someone else's tool" >"$drive/Shared/tool.txt"
WINEDEBUG=+process "$wine" "$work/drop/setup.exe" /S '/D=C:\Shared' </dev/null >"$work/shared.log" 2>&1
check "the library on the machine's PATH is found; the folder holding others' files is refused (exit code 2)" \
  test $? -eq 2
run reg add "$environment_key" /v Path /t REG_EXPAND_SZ /d "$machine_path" /f
rm -rf "$drive/MachineLib"
check "it says why" grep -q "already holds files that are not CPU Vantor's" "$work/shared.log"
check "nothing is installed there" test "$(ls -A "$drive/Shared")" = tool.txt
check "its access list is left alone (no icacls)" test -z "$(icacls_commands "$work/shared.log")"

# --- /FORCE into a folder outside Program Files, logon on; the uninstall leaves nothing -----------------
# NSIS takes /D= unquoted; Wine would quote an argument with a space, so the folder has none.
other="$drive/Apps/Vantor"
WINEDEBUG=+process "$wine" "$work/drop/setup.exe" /S /FORCE /LOGON=1 '/D=C:\Apps\Vantor' </dev/null \
  >"$work/force.log" 2>&1
check "/FORCE installs without the library" test $? -eq 0
check "it holds exactly the shipped files" test "$(listing "$other")" = "$shipped"
expected_acl='"C:\windows\system32\icacls.exe" "C:\Apps\Vantor" /setowner *S-1-5-32-544 /T /C /Q
"C:\windows\system32\icacls.exe" "C:\Apps\Vantor" /reset /T /C /Q
"C:\windows\system32\icacls.exe" "C:\Apps\Vantor" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX /C /Q'
check "the folder gets the access list of Program Files (the icacls commands run)" \
  test "$(icacls_commands "$work/force.log")" = "$expected_acl"
[ "$(icacls_commands "$work/force.log")" = "$expected_acl" ] || icacls_commands "$work/force.log"
check "logon points at that folder" test "$(value "$run_key" "CPU Vantor")" = '"C:\Apps\Vantor\CpuVantor.exe" -r'
check "the location is recorded" test "$(value "$uninstall_key" InstallLocation)" = 'C:\Apps\Vantor'
cp "$other/Uninstall.exe" "$work/stray-uninstall.exe"
run "$other/Uninstall.exe" /S
check "the uninstall leaves no folder" wait_for 40 test ! -e "$other"
check "no uninstall key is left" wait_for 10 not key_exists "$uninstall_key"
check "no logon entry is left" test -z "$(value "$run_key" "CPU Vantor")"
check "no shortcut is left" test ! -e "$shortcut"

# --- from here on the machine has its library, where Windows keeps it ----------------------------------
cp "$bin/KOACPI.DLL" "$drive/windows/system32/KOACPI.DLL" || exit 1

# --- the earlier version (which shipped the stand-in) into Program Files, running -----------------------
# An uninstaller there that no uninstall key records is nobody's, and the installer runs elevated.
mkdir -p "$installed" && cp "$work/stray-uninstall.exe" "$installed/Uninstall.exe"
WINEDEBUG=+process "$wine" "$work/drop/setup-old.exe" /S </dev/null >"$work/old.log" 2>&1
check "the earlier version installs" test $? -eq 0
check "it lands in Program Files\\CPU Vantor" test -f "$installed/CpuVantor.exe"
check "Program Files keeps its own access list (no icacls)" test -z "$(icacls_commands "$work/old.log")"
check "an uninstaller the uninstall key does not record is not run" \
  not grep -qi 'Uninstall\.exe' <(started_commands "$work/old.log")
check "the Start-menu shortcut is made" test -f "$shortcut"
check "logon is on unless chosen off" test "$(value "$run_key" "CPU Vantor")" = '"C:\Program Files\CPU Vantor\CpuVantor.exe" -r'
# The machine's library copied over the stand-in, as that version's note told: an overlay makes it
# differ and still load.
cp "$bin/KOACPI.DLL" "$work/machine.dll" && echo "the machine's own library" >>"$work/machine.dll"
cp "$work/machine.dll" "$installed/KOACPI.DLL"
echo "a user's own notes" >"$installed/my notes.txt"
"$wine" "C:\\Program Files\\CPU Vantor\\CpuVantor.exe" -r >>"$work/wine.log" 2>&1 </dev/null &
old_pid=$!
check "the installed program starts" wait_for 40 running

# --- upgrade over the running copy, logon chosen off ----------------------------------------------------
KO_SET_BY_INSTALLER_RUN=1 "$wine" "$work/drop/setup.exe" /S /LOGON=0 </dev/null >>"$work/wine.log" 2>&1
check "the upgrade installs" test $? -eq 0
old_ended=1
wait_for 20 not kill -0 "$old_pid" 2>/dev/null && old_ended=0
check "the running copy ended for the upgrade" test $old_ended -eq 0
wait "$old_pid" 2>/dev/null
check "it ended through its exit message (exit code 0)" test $? -eq 0
check "the upgraded copy is started again" wait_for 40 running
pid=$(copy_pid | head -n 1)
check "the copy started again is found" test -n "$pid"
# Started by the desktop shell with the user's rights, it has the shell's environment, not the installer's.
check "the copy was started by the desktop shell, not by the installer" \
  not grep -q KO_SET_BY_INSTALLER_RUN "/proc/${pid:-0}/environ"
check "the machine's library is kept byte for byte" same "$installed/KOACPI.DLL" "$work/machine.dll"
check "nothing is left set aside" test ! -e "$installed/KOACPI.DLL.kept-by-setup"
check "the README of the earlier version went" test ! -e "$installed/README.txt"
check "the version is the new one" test "$(value "$uninstall_key" DisplayVersion)" = "$version"
check "logon chosen off removes the entry" test -z "$(value "$run_key" "CPU Vantor")"
check "the installed exe is the new build's" same "$installed/CpuVantor.exe" "$bin/CpuVantor.exe"
check "the uninstaller it wrote is signed" \
  "$root/packaging/sign.sh" --verify "$work/signing/cert.pem" "$installed/Uninstall.exe"
for name in DisplayName Publisher DisplayIcon UninstallString QuietUninstallString InstallLocation EstimatedSize; do
  check "the uninstall key has $name" test -n "$(value "$uninstall_key" "$name")"
done
check "the display name" test "$(value "$uninstall_key" DisplayName)" = "CPU Vantor"
check "the quiet uninstall command" \
  test "$(value "$uninstall_key" QuietUninstallString)" = '"C:\Program Files\CPU Vantor\Uninstall.exe" /S'

# --- a copy in another session: the installer stops and changes nothing ---------------------------------
run "$controller" exit
check "the copy here ends" wait_for 20 not running
# Its process (and with it the single-instance mutex) is gone too before another copy starts.
check "its process is gone" wait_for 20 not a_copy
# A Windows process has its program file mapped from its start. Asking the other desktop anything while
# its explorer still makes it fails now and then, so nothing does until the copy is there.
"$wine" "${other_desktop[@]}" "C:\\Program Files\\CPU Vantor\\CpuVantor.exe" -r >>"$work/wine.log" 2>&1 </dev/null &
check "a copy runs in the other session" wait_for 40 a_copy
before=$(state "$installed")
"$wine" "$work/drop/setup.exe" /S /LOGON=1 </dev/null >>"$work/wine.log" 2>"$work/in-use.err"
check "a program file in use stops the installer (exit code 2)" test $? -eq 2
check "it says so" grep -q "in use in another session" "$work/in-use.err"
check "no file changed" test "$(state "$installed")" = "$before"
check "no logon entry was made" test -z "$(value "$run_key" "CPU Vantor")"
check "the copy there runs on" a_copy

# --- uninstall while it runs there: what is in use goes at the next restart -----------------------------
run "$installed/Uninstall.exe" /S
check "the uninstaller removes the files not in use" wait_for 40 test ! -e "$installed/Uninstall.exe"
check "the uninstall key is gone" wait_for 10 not key_exists "$uninstall_key"
check "the shortcut is gone" test ! -e "$shortcut"
pending=$(value "$session_key" PendingFileRenameOperations)
check "the program in use is removed at the next restart" grep -qi 'CPU Vantor\\CpuVantor\.exe' <<<"$pending"
check "the machine's library is not" not grep -qi 'KOACPI' <<<"$pending"
# Ended there through its exit message, as signing out ends it; bounded, in case that desktop is broken.
timeout 30 "$wine" "${other_desktop[@]}" "$controller" exit >>"$work/wine.log" 2>&1 </dev/null
check "the copy there ends" wait_for 20 not a_copy
run wineboot --restart
check "after the restart only the user's file and the machine's library are left" \
  test "$(listing "$installed" 2>/dev/null | tr '\n' '|')" = "KOACPI.DLL|my notes.txt|"
check "the machine's library is still byte for byte" same "$installed/KOACPI.DLL" "$work/machine.dll"
check "the user's file is untouched" test "$(cat "$installed/my notes.txt" 2>/dev/null)" = "a user's own notes"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
