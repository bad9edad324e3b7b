#!/usr/bin/env bash
# Packages the i686 release build, by default in build/package:
#   CpuVantor-<version>-i686.zip            the release: the program, vantorctl, pngio.dll, Resource\
#   CpuVantor-<version>-setup-x86.exe       its installer; with --x64-build-dir also the amd64 installer
#                                           of the x86_64 build, which the tests run
#   CpuVantor-<version>-i686-simulator.zip  the same with the stand-in KOACPI.DLL, to try it on any PC
#   CpuVantor-<version>-packages.txt        the listing: each package, what it is, its SHA-256, and
#                                           whether its programs are signed
# and the winget manifests of the release installer. Only the simulator carries KOACPI.DLL: on the
# machine the program is made for, Windows would load a stand-in beside the program before its own.
#   scripts/package.sh                    builds the i686 release and x64 presets, then packages them
#   scripts/package.sh --build-dir DIR    packages an existing build folder; builds nothing
#   --x64-build-dir DIR                   the x86_64 build for the amd64 installer (none if not given)
#   --out DIR                             where everything goes (default build/package)
#   --winget-dir DIR                      where the manifests go (default packaging/winget)
#   --url-base URL                        where the installer will be downloaded from (for winget)
# Signing: with KO_SIGN_CERT and KO_SIGN_KEY set (PEM files; KO_SIGN_PASS_FILE and KO_SIGN_TIMESTAMP
# optional, see packaging/sign.sh) the programs, pngio.dll, the installers and the uninstallers they
# embed are signed; without them nothing is, and the listing says so.
# A file missing from the build is named and nothing is written; an older zip of the same name stays.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

fail() {
  echo "package: $*" >&2
  exit 1
}

build_dir=
x64_dir=
out_dir=$root/build/package
winget_dir=$root/packaging/winget
url_base=https://downloads.kora.example/cpu-vantor
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) [ $# -ge 2 ] || fail "--build-dir needs a folder"; build_dir=$2; shift 2 ;;
    --x64-build-dir) [ $# -ge 2 ] || fail "--x64-build-dir needs a folder"; x64_dir=$2; shift 2 ;;
    --winget-dir) [ $# -ge 2 ] || fail "--winget-dir needs a folder"; winget_dir=$2; shift 2 ;;
    --url-base) [ $# -ge 2 ] || fail "--url-base needs a URL"; url_base=${2%/}; shift 2 ;;
    --out) [ $# -ge 2 ] || fail "--out needs a folder"; out_dir=$2; shift 2 ;;
    -h|--help) sed -n '2,22s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) fail "unknown argument \"$1\" (see --help)" ;;
  esac
done

# A half-given or broken certificate stops everything before anything is built or written.
signer=$(packaging/sign.sh --configured) || fail "cannot sign with the certificate given; nothing was packaged"

if [ -z "$build_dir" ]; then
  scripts/bootstrap.sh
  cmake --preset i686 >/dev/null
  cmake --build --preset i686
  build_dir=$root/build/i686
  if [ -z "$x64_dir" ]; then
    cmake --preset x64 >/dev/null
    cmake --build --preset x64 --target CpuVantor vantorctl pngio koacpi ko_skins
    x64_dir=$root/build/x64
  fi
fi
[ -d "$build_dir" ] || fail "no build folder $build_dir"
build_dir=$(cd "$build_dir" && pwd)

# The build describes itself (written by CMake from the project's version); read, never sourced.
info=$build_dir/product.env
[ -f "$info" ] || fail "missing $info: $build_dir is not a configured build folder"
field() { sed -n "s/^$1=//p" "$info" | head -n 1; }
version=$(field VERSION)
arch=$(field ARCH)
build_type=$(field BUILD_TYPE)
[[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "$info holds no usable VERSION (\"$version\")"
[ "$arch" = i686 ] || fail "$build_dir is a ${arch:-unknown} build; the shipped program is the i686 one"
[ "$build_type" = Release ] ||
  fail "$build_dir is a ${build_type:-untyped} build; the package ships the Release build"

# The program imports KOACPI.DLL at load time and finds the machine's own where the machine keeps it;
# the build's stand-in goes into the simulator package only. The pictures are those the source folder
# Resource/ holds (the 100 % set and the icon, and a folder of pictures per other display scale), as the
# build copied them.
bin=$build_dir/bin
programs=(CpuVantor.exe pngio.dll vantorctl.exe)
standin=KOACPI.DLL
resources=()
for picture in "$root"/Resource/*.png "$root"/Resource/*.ico "$root"/Resource/[0-9]*/*.png; do
  [ -e "$picture" ] && resources+=("${picture#"$root"/Resource/}")
done
[ ${#resources[@]} -gt 0 ] || fail "no pictures in $root/Resource"

missing=()
for name in "${programs[@]}" "$standin"; do
  [ -f "$bin/$name" ] || missing+=("$bin/$name")
done
for name in "${resources[@]}"; do
  [ -f "$bin/Resource/$name" ] || missing+=("$bin/Resource/$name")
done
if [ ${#missing[@]} -gt 0 ]; then
  for path in "${missing[@]}"; do
    echo "package: missing $path" >&2
  done
  fail "the build is incomplete; nothing was packaged"
fi

mkdir -p "$out_dir"
out_dir=$(cd "$out_dir" && pwd)
staging=$(mktemp -d "$out_dir/.staging.XXXXXX")
[ -d "$staging" ] || fail "cannot make a staging folder in $out_dir"
trap 'rm -rf "$staging"' EXIT

# A build's release folder, its programs signed when a certificate is given (README.txt comes apart).
stage() { # bin folder, destination folder
  local from=$1 to=$2 name
  mkdir -p "$to/Resource"
  for name in "${programs[@]}"; do
    cp "$from/$name" "$to/" || fail "missing $from/$name"
  done
  for name in "${resources[@]}"; do
    [[ $name != */* ]] || mkdir -p "$to/Resource/${name%/*}"
    cp "$from/Resource/$name" "$to/Resource/$name" || fail "missing $from/Resource/$name"
  done
  if [ -n "$signer" ]; then
    (cd "$to" && "$root/packaging/sign.sh" "${programs[@]}") || fail "cannot sign the programs in $to"
  fi
}
# Windows line ends, so that Notepad on any version shows the lines.
crlf() { sed 's/$/\r/'; }
# Files only, in a fixed order: the same build always gives the same listing.
zip_folder() { # folder in the staging folder, zip name
  (cd "$staging" && find "$1" -type f | LC_ALL=C sort >"$1.files" &&
    cmake -E tar cf "$2" --format=zip --files-from="$1.files")
  mv -f "$staging/$2" "$out_dir/$2"
  echo "package: $out_dir/$2"
}

folder=CpuVantor-$version
release_zip=$folder-i686.zip
simulator=$folder-simulator
simulator_zip=$folder-i686-simulator.zip
setup=CpuVantor-$version-setup-x86.exe
setup64=CpuVantor-$version-setup-amd64.exe

stage "$bin" "$staging/$folder"
crlf >"$staging/$folder/README.txt" <<TEXT
CPU Vantor $version (32-bit Windows)

Picks the CPU level, a BIOS setup setting with named options, from the
notification area. Copy this folder anywhere and run CpuVantor.exe; it keeps
no settings of its own. "CpuVantor.exe -r" starts it hidden in the
notification area.

Contents
  CpuVantor.exe   the program
  vantorctl.exe   console controller for scripts: "vantorctl --help"
  pngio.dll       PNG decoding for the program's pictures
  Resource\\       the program's pictures and icon

The machine's BIOS library
  CPU Vantor reads and writes the BIOS through KOACPI.DLL, the BIOS access
  library that comes with the machine it is made for. This package does not
  carry it: Windows finds the machine's own where the machine keeps it (its
  system folder, or a folder on its PATH). On a computer without it the
  program cannot start, and Windows says that KOACPI.DLL was not found.
  To try the program on another PC, use the simulator package
  $simulator_zip, never on the machine itself.
TEXT
zip_folder "$folder" "$release_zip"

# The simulator: the release folder with the stand-in beside the program, named as what it is.
cp -a "$staging/$folder" "$staging/$simulator"
cp "$bin/$standin" "$staging/$simulator/"
crlf >"$staging/$simulator/README.txt" <<TEXT
CPU Vantor $version SIMULATOR (32-bit Windows)

For trying CPU Vantor on any PC. NOT for the machine the program is made for.

Picks the CPU level, a BIOS setup setting with named options, from the
notification area. Copy this folder anywhere and run CpuVantor.exe;
"CpuVantor.exe -r" starts it hidden in the notification area.

Contents
  CpuVantor.exe   the program
  vantorctl.exe   console controller for scripts: "vantorctl --help"
  pngio.dll       PNG decoding for the program's pictures
  KOACPI.DLL      the SIMULATOR standing in for the BIOS access library
  Resource\\       the program's pictures and icon

About KOACPI.DLL
  The KOACPI.DLL in this folder is the development stand-in for the
  machine's own BIOS access library. It simulates the BIOS setup items and
  keeps them in koacpi-store.json beside it (or in the file that the
  environment variable KOACPI_STORE names); it changes nothing in the
  firmware. Never use this package on the machine the program is made for:
  Windows loads the copy beside the program before the machine's own, so
  every read and write would go to that file and never reach the firmware.
  That machine gets the release package $release_zip or the installer
  $setup.
TEXT
zip_folder "$simulator" "$simulator_zip"

# The installers install the release folder.
"$root/packaging/make-installer.sh" "$staging/$folder" "$version" x86 "$out_dir/$setup" >/dev/null
echo "package: $out_dir/$setup"
if [ -n "$x64_dir" ]; then
  x64_bin=$(cd "$x64_dir/bin" && pwd) || fail "no x86_64 build folder $x64_dir/bin"
  stage "$x64_bin" "$staging/x64/$folder"
  cp "$staging/$folder/README.txt" "$staging/x64/$folder/"
  "$root/packaging/make-installer.sh" "$staging/x64/$folder" "$version" amd64 "$out_dir/$setup64" >/dev/null
  echo "package: $out_dir/$setup64"
else
  rm -f "$out_dir/$setup64" # an older one would be listed as this build's
fi

"$root/packaging/winget-manifests.sh" "$out_dir/$setup" "$version" "$url_base/$version/$setup" "$winget_dir"

# The listing a release is published with.
listing=CpuVantor-$version-packages.txt
{
  echo "CPU Vantor $version packages"
  echo
  line() { # file, what it is
    printf '%-40s %s\n%-40s SHA-256 %s\n' "$1" "$2" "" "$(sha256sum "$out_dir/$1" | cut -d' ' -f1)"
  }
  line "$release_zip" "release, for the machine the program is made for"
  line "$setup" "release installer (x86), the one the winget manifests name"
  [ ! -f "$out_dir/$setup64" ] || line "$setup64" "installer of the x86_64 test build; not a release"
  line "$simulator_zip" "SIMULATOR: carries the stand-in KOACPI.DLL; never for the machine itself"
  echo
  if [ -n "$signer" ]; then
    echo "Signed (Authenticode, SHA-256): the programs, pngio.dll, the installers and their uninstallers,"
    echo "by $signer${KO_SIGN_TIMESTAMP:+, timestamped by $KO_SIGN_TIMESTAMP}."
    echo "The stand-in KOACPI.DLL in the simulator is not signed."
  else
    echo "UNSIGNED: no certificate was given (KO_SIGN_CERT and KO_SIGN_KEY), so nothing is signed."
  fi
} >"$staging/$listing"
mv -f "$staging/$listing" "$out_dir/$listing"
echo "package: $out_dir/$listing"
cat "$out_dir/$listing"
