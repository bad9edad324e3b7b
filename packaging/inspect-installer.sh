#!/usr/bin/env bash
# Checks a built 32-bit installer against the portable zip of the same build: a 32-bit x86 program that
# carries exactly the zip's folder, byte for byte, and writes its uninstaller.
#   packaging/inspect-installer.sh SETUP.exe PORTABLE.zip
set -uo pipefail
fail() {
  echo "inspect-installer: $*" >&2
  exit 1
}
[ $# -eq 2 ] || fail "usage: inspect-installer.sh SETUP.exe PORTABLE.zip"
setup=$(realpath "$1") zip=$(realpath "$2")
[ -f "$setup" ] || fail "no installer $1"
[ -f "$zip" ] || fail "no zip $2"
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
rm -f "$work/setup/Uninstall.exe"

expected=$(cd "$work/zip/$folder" && find . -type f | LC_ALL=C sort)
actual=$(cd "$work/setup" && find . -type f | LC_ALL=C sort)
if [ "$expected" != "$actual" ]; then
  diff <(echo "$expected") <(echo "$actual") >&2
  fail "$setup does not carry exactly the files of $zip (< zip only, > installer only)"
fi
while IFS= read -r path; do
  cmp -s "$work/zip/$folder/$path" "$work/setup/$path" || fail "$path differs between $zip and $setup"
done <<<"$expected"
echo "inspect-installer: $(basename "$setup") carries the $(echo "$expected" | wc -l) files of $(basename "$zip")"
