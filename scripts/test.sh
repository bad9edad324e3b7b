#!/usr/bin/env bash
# Builds both targets and runs every test under Wine on private virtual displays; prints the time of each
# phase at the end. Extra arguments go to ctest (e.g. -R Dialog).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

phases=()
phase_start=$(date +%s)
# Ends the running phase: its name and seconds go into the summary.
phase_done() {
  local now
  now=$(date +%s)
  phases+=("$(printf '%-24s %5d s' "$1" $((now - phase_start)))")
  phase_start=$now
}
summary() {
  local rc=$?
  [ -z "${signing:-}" ] || rm -rf "$signing"
  echo
  echo "test.sh: phase times"
  local line
  for line in "${phases[@]}"; do
    echo "  $line"
  done
  return $rc
}
trap summary EXIT

scripts/bootstrap.sh
phase_done packages

# The 32-bit release build is what ships: only the shipped programs (the preset names them), linked and
# inspected.
cmake --preset i686 >/dev/null
cmake --build --preset i686
scripts/check-imports.sh build/i686/bin
phase_done "i686 build"

# Its packages: the installer must carry exactly the files of the release zip, and neither KOACPI.DLL.
# They are signed with a throwaway certificate made here, and every signature is checked.
signing=$(mktemp -d)
packaging/sign.sh --throwaway "$signing"
KO_SIGN_CERT=$signing/cert.pem KO_SIGN_KEY=$signing/key.pem KO_SIGN_PASS_FILE= KO_SIGN_TIMESTAMP= \
  scripts/package.sh --build-dir build/i686 --out build/package --winget-dir build/package/winget >/dev/null
version=$(sed -n 's/^VERSION=//p' build/i686/product.env)
packaging/inspect-installer.sh --ca "$signing/cert.pem" "build/package/CpuVantor-$version-setup-x86.exe" \
  "build/package/CpuVantor-$version-i686.zip"
rm -rf "$signing"
phase_done packaging

cmake --preset x64 >/dev/null
cmake --build --preset x64
phase_done "x86_64 build"

# Two desktops, one per core: a test that needs a desktop of its own still has a second one beside it.
# The timeout is a backstop for tests that set none; each test program sets its own, well above its time.
KO_DESKTOPS=2 scripts/with-wine.sh bash -c \
  'ctest --test-dir build/x64 --output-on-failure --timeout 600 -j2 --resource-spec-file "$KO_RESOURCE_SPEC" "$@"' \
  ctest "$@"
phase_done tests
