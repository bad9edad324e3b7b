#!/usr/bin/env bash
# Checks a built 32-bit installer against the release zip of the same build: a 32-bit x86 program that
# carries exactly the zip's folder, byte for byte, and writes its uninstaller; neither carries KOACPI.DLL.
# With --ca, every program in both, the installer and the uninstaller it embeds must carry a signature
# that the certificate CA vouches for.
#   packaging/inspect-installer.sh [--ca CERT] SETUP.exe RELEASE.zip
set -uo pipefail
fail() {
  echo "inspect-installer: $*" >&2
  exit 1
}
ca=
if [ "${1:-}" = --ca ]; then
  [ $# -ge 2 ] || fail "--ca needs a certificate"
  ca=$(realpath "$2")
  shift 2
fi
[ $# -eq 2 ] || fail "usage: inspect-installer.sh [--ca CERT] SETUP.exe RELEASE.zip"
setup=$(realpath "$1") zip=$(realpath "$2")
[ -f "$setup" ] || fail "no installer $1"
[ -f "$zip" ] || fail "no zip $2"
[ -z "$ca" ] || [ -f "$ca" ] || fail "no certificate $ca"
command -v 7z >/dev/null || fail "7z not found (scripts/bootstrap.sh installs p7zip-full)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

format=$(i686-w64-mingw32-objdump -f "$setup" 2>/dev/null | sed -n 's/.*file format //p')
[ "$format" = pei-i386 ] || fail "$setup is not a 32-bit x86 program (${format:-unreadable})"
7z l -slt "$setup" >"$work/list" 2>&1 || fail "7z cannot read $setup as an installer"
grep -q '^Type = Nsis' "$work/list" || fail "$setup is not an NSIS installer"

mkdir -p "$work/zip" "$work/setup"
(cd "$work/zip" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
folder=$(ls "$work/zip")
[ "$(echo "$folder" | wc -l)" -eq 1 ] || fail "$zip does not hold one folder"
7z x -y -o"$work/setup" "$setup" >/dev/null 2>&1 || fail "cannot unpack $setup"
# Not installed files: the installer's own plug-in folder.
rm -rf "$work/setup/\$PLUGINSDIR"
[ -f "$work/setup/Uninstall.exe" ] || fail "$setup writes no uninstaller"
mv "$work/setup/Uninstall.exe" "$work/Uninstall.exe"

# On the machine the program is made for, a KOACPI.DLL beside it would be loaded before the machine's.
standin=$( (cd "$work/zip/$folder" && find . -iname koacpi.dll) )
[ -z "$standin" ] || fail "$zip carries ${standin#./}: only the simulator package may"
standin=$( (cd "$work/setup" && find . -iname koacpi.dll) )
[ -z "$standin" ] || fail "$setup carries ${standin#./}: only the simulator package may"

expected=$(cd "$work/zip/$folder" && find . -type f | LC_ALL=C sort)
actual=$(cd "$work/setup" && find . -type f | LC_ALL=C sort)
if [ "$expected" != "$actual" ]; then
  diff <(echo "$expected") <(echo "$actual") >&2
  fail "$setup does not carry exactly the files of $zip (< zip only, > installer only)"
fi
while IFS= read -r path; do
  cmp -s "$work/zip/$folder/$path" "$work/setup/$path" || fail "$path differs between $zip and $setup"
done <<<"$expected"

signed=
if [ -n "$ca" ]; then
  programs=("$setup" "$work/Uninstall.exe")
  while IFS= read -r path; do
    programs+=("$work/zip/$folder/$path")
  done < <(cd "$work/zip/$folder" && find . -type f \( -iname '*.exe' -o -iname '*.dll' \) | LC_ALL=C sort)
  [ ${#programs[@]} -gt 2 ] || fail "$zip holds no programs"
  "$(dirname "$0")/sign.sh" --verify "$ca" "${programs[@]}" || fail "unsigned or wrongly signed programs"
  signed=", all ${#programs[@]} programs signed"
fi
echo "inspect-installer: $(basename "$setup") carries the $(echo "$expected" | wc -l) files of $(basename "$zip")$signed"
