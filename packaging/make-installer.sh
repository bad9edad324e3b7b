#!/usr/bin/env bash
# Builds the installer from a folder laid out as the program ships (program files, Resource\ ...).
#   packaging/make-installer.sh PAYLOAD VERSION x86|amd64 OUT.exe [--fast]
# x86 is the shipped 32-bit installer; amd64 is the same script for the 64-bit build, which the tests run.
# --fast compresses with zlib (tests); the shipped one uses solid lzma.
# With KO_SIGN_CERT and KO_SIGN_KEY set (packaging/sign.sh), the uninstaller it embeds and the installer
# are signed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "make-installer: $*" >&2
  exit 1
}

[ $# -ge 4 ] || fail "usage: make-installer.sh PAYLOAD VERSION x86|amd64 OUT.exe [--fast]"
payload=$1 version=$2 arch=$3 out=$4
fast=
[ "${5:-}" = --fast ] && fast=-DFAST_COMPRESSION
[ -d "$payload" ] || fail "no payload folder $payload"
[ -f "$payload/CpuVantor.exe" ] || fail "$payload holds no CpuVantor.exe"
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "version \"$version\" is not a.b.c"
case $arch in
  x86) target=x86-unicode ;;
  amd64) target=amd64-unicode ;;
  *) fail "target \"$arch\" is neither x86 nor amd64" ;;
esac
command -v makensis >/dev/null || fail "makensis not found (scripts/bootstrap.sh installs nsis)"
payload=$(cd "$payload" && pwd)
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The payload's files, each installed and each removed again by name: the uninstaller takes exactly what
# was put there, and the installer checks exactly those for a copy still using them. Names with
# characters NSIS would read as syntax are refused rather than mangled.
files=$work/files.nsh
listing=$work/payload.txt
(cd "$payload" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$listing"
while IFS= read -r path; do
  [[ $path =~ ^[A-Za-z0-9._/\ -]+$ ]] || fail "unsupported file name \"$path\" in the payload"
done <"$listing"
{
  echo '!macro FilesInstall'
  dir_now=
  while IFS= read -r path; do
    dir=$(dirname "$path")
    if [ "$dir" != "$dir_now" ]; then
      [ "$dir" = . ] && echo '  SetOutPath "$INSTDIR"' || echo "  SetOutPath \"\$INSTDIR\\${dir//\//\\}\""
      dir_now=$dir
    fi
    echo "  File \"$payload/$path\""
  done <"$listing"
  echo '  SetOutPath "$INSTDIR"'
  echo '!macroend'
  echo '!macro FilesRemove'
  while IFS= read -r path; do
    echo "  !insertmacro RemoveFile \"${path//\//\\}\" \"${path%%/*}\""
  done <"$listing"
  echo '!macroend'
  # The payload's folders, deepest first: only empty ones go, so whatever is not ours stays.
  echo '!macro FoldersRemove flags'
  while IFS= read -r path; do
    echo "  RMDir \${flags} \"\$INSTDIR\\${path//\//\\}\""
  done < <(awk -F/ '{ p = $1; for (i = 2; i <= NF; i++) { print p; p = p "/" $i } }' "$listing" | LC_ALL=C sort -u -r)
  echo '!macroend'
  echo '!macro FilesInUse dir'
  while IFS= read -r path; do
    echo "  !insertmacro CheckInUse \"\${dir}\" \"${path//\//\\}\""
  done <"$listing"
  echo '!macroend'
} >"$files"

signer=$("$here/sign.sh" --configured) || fail "cannot sign with the certificate given"
sign=()
[ -z "$signer" ] || sign=(-DSIGN="$here/sign.sh")
makensis -V2 -NOCD -DVERSION="$version" -DTARGET="$target" -DFILES="$files" -DOUTFILE="$out.part" $fast \
  "${sign[@]}" "$here/CpuVantor.nsi" >"$work/log" 2>&1 || { cat "$work/log" >&2; fail "makensis failed"; }
[ ${#sign[@]} -eq 0 ] || "$here/sign.sh" "$out.part" || fail "cannot sign $out"
mv -f "$out.part" "$out"
echo "make-installer: $out"
