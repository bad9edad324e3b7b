#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian packages. Quick when everything is there.
set -euo pipefail

packages=(
  cmake ninja-build ccache
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  googletest nlohmann-json3-dev
  wine64 fonts-wine xvfb xdotool x11-utils imagemagick
  nsis p7zip-full python3-yaml osslsigncode openssl
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}"
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# wine64 alone: 32-bit Windows code cannot run on these machines, so no wine32 and no recommends.
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
