#!/usr/bin/env bash
# Assembles the portable folder from the i686 release build and zips it as
# build/package/CpuVantor-<version>-i686.zip; beside it the installer CpuVantor-<version>-setup-x86.exe,
# the amd64 installer of the x86_64 build (the one the tests run) and the winget manifests.
#   scripts/package.sh                    builds the i686 release and x64 presets, then packages them
#   scripts/package.sh --build-dir DIR    packages an existing build folder; builds nothing
#   --x64-build-dir DIR                   the x86_64 build for the amd64 installer (none if not given)
#   --out DIR                             where everything goes (default build/package)
#   --winget-dir DIR                      where the manifests go (default packaging/winget)
#   --url-base URL                        where the installer will be downloaded from (for winget)
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
    -h|--help) sed -n '2,12s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) fail "unknown argument \"$1\" (see --help)" ;;
  esac
done

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

# The program imports KOACPI.DLL at load time, so the stand-in goes beside it; the pictures are those
# the source folder Resource/ holds, as the build copied them.
bin=$build_dir/bin
programs=(CpuVantor.exe pngio.dll KOACPI.DLL vantorctl.exe)
resources=()
for picture in "$root"/Resource/*.png "$root"/Resource/*.ico; do
  [ -e "$picture" ] && resources+=("$(basename "$picture")")
done
[ ${#resources[@]} -gt 0 ] || fail "no pictures in $root/Resource"

missing=()
for name in "${programs[@]}"; do
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
trap 'rm -rf "$staging"' EXIT
folder=CpuVantor-$version
mkdir -p "$staging/$folder/Resource"
for name in "${programs[@]}"; do
  cp "$bin/$name" "$staging/$folder/"
done
for name in "${resources[@]}"; do
  cp "$bin/Resource/$name" "$staging/$folder/Resource/"
done

# Windows line ends, so that Notepad on any version shows the lines.
sed 's/$/\r/' >"$staging/$folder/README.txt" <<EOF
CPU Vantor $version (32-bit Windows)

Picks the CPU level, a BIOS setup setting with named options, from the
notification area. Copy this folder anywhere and run CpuVantor.exe; it keeps
no settings of its own. "CpuVantor.exe -r" starts it hidden in the
notification area.

Contents
  CpuVantor.exe   the program
  vantorctl.exe   console controller for scripts: "vantorctl --help"
  pngio.dll       PNG decoding for the program's pictures
  KOACPI.DLL      the DEVELOPMENT STAND-IN for the BIOS access library
  Resource\\       the program's pictures and icon

About KOACPI.DLL
  The KOACPI.DLL in this folder is the development stand-in for the
  machine's own BIOS access library. It simulates the BIOS setup items and
  keeps them in koacpi-store.json beside it (or in the file that the
  environment variable KOACPI_STORE names); it changes nothing in the
  firmware. The machine's own KOACPI.DLL replaces it: on the machine the
  program is made for, delete the stand-in from this folder (or copy the
  machine's library over it), because Windows loads the copy beside the
  program first.
EOF

# Files only, in a fixed order: the same build always gives the same listing.
zip=$folder-i686.zip
(cd "$staging" && find "$folder" -type f | LC_ALL=C sort >files.txt &&
  cmake -E tar cf "$zip" --format=zip --files-from=files.txt)
mv -f "$staging/$zip" "$out_dir/$zip"
echo "package: $out_dir/$zip"

# The installers install the same folder the zip holds.
setup=CpuVantor-$version-setup-x86.exe
"$root/packaging/make-installer.sh" "$staging/$folder" "$version" x86 "$out_dir/$setup" >/dev/null
echo "package: $out_dir/$setup"
if [ -n "$x64_dir" ]; then
  x64_bin=$(cd "$x64_dir/bin" && pwd) || fail "no x86_64 build folder $x64_dir/bin"
  x64_stage=$staging/x64/$folder
  mkdir -p "$x64_stage/Resource"
  for name in "${programs[@]}"; do
    cp "$x64_bin/$name" "$x64_stage/" || fail "missing $x64_bin/$name"
  done
  for name in "${resources[@]}"; do
    cp "$x64_bin/Resource/$name" "$x64_stage/Resource/" || fail "missing $x64_bin/Resource/$name"
  done
  cp "$staging/$folder/README.txt" "$x64_stage/"
  "$root/packaging/make-installer.sh" "$x64_stage" "$version" amd64 "$out_dir/CpuVantor-$version-setup-amd64.exe" >/dev/null
  echo "package: $out_dir/CpuVantor-$version-setup-amd64.exe"
fi

"$root/packaging/winget-manifests.sh" "$out_dir/$setup" "$version" "$url_base/$version/$setup" "$winget_dir"
