#!/usr/bin/env bash
# scripts/package.sh against fake i686 build folders: the zip's exact contents when everything is there,
# and a clear failure that names the file, writes nothing and keeps an older zip when something is not.
set -uo pipefail
root=${1:?source folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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

pictures=()
for picture in "$root"/Resource/*.png "$root"/Resource/*.ico; do
  pictures+=("Resource/$(basename "$picture")")
done
required=(CpuVantor.exe pngio.dll KOACPI.DLL vantorctl.exe "${pictures[@]}")

# A build folder whose every file says what it is, so a swapped or stale copy shows.
make_build() {
  local dir=$1
  mkdir -p "$dir/bin/Resource"
  printf 'VERSION=2.5.1\nARCH=i686\nBUILD_TYPE=Release\n' >"$dir/product.env"
  for name in "${required[@]}"; do
    echo "fake $name" >"$dir/bin/$name"
  done
  # Not shipped: test programs and whatever else the build leaves.
  echo test >"$dir/bin/KoAcpiTests.exe"
  echo extra >"$dir/bin/Resource/unused.png"
}

package() { # build folder, out folder; stderr kept in $work/err
  "$root/scripts/package.sh" --build-dir "$1" --out "$2" --winget-dir "$work/winget" >"$work/out" 2>"$work/err"
}

# --- complete build ----------------------------------------------------------------------------------
make_build "$work/full"
check "a complete build packages" package "$work/full" "$work/zips"
zip=$work/zips/CpuVantor-2.5.1-i686.zip
check "the zip is named after version and target" test -f "$zip"
check "beside the zip only the installer" \
  test "$(ls -A "$work/zips" | tr '\n' ' ')" = "CpuVantor-2.5.1-i686.zip CpuVantor-2.5.1-setup-x86.exe "

listing=$(cd "$work" && cmake -E tar tf "$zip")
expected=$( (echo CpuVantor-2.5.1/README.txt
  for name in "${required[@]}"; do echo "CpuVantor-2.5.1/$name"; done) | LC_ALL=C sort)
check "the zip holds exactly the shipped files, in order" test "$listing" = "$expected"
[ "$listing" = "$expected" ] || diff <(echo "$expected") <(echo "$listing")

mkdir -p "$work/unzipped"
(cd "$work/unzipped" && cmake -E tar xf "$zip")
for name in "${required[@]}"; do
  check "$name is the build's own" test "$(cat "$work/unzipped/CpuVantor-2.5.1/$name")" = "fake $name"
done
readme=$work/unzipped/CpuVantor-2.5.1/README.txt
check "every README line ends in CRLF" test "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")"
check "the README has no bare line feed" \
  test "$(tr -cd '\n' <"$readme" | wc -c)" = "$(grep -c $'\r$' "$readme")"
check "the README names the version" grep -q "CPU Vantor 2.5.1" "$readme"
check "the README marks the stand-in" \
  grep -q "KOACPI.DLL in this folder is the development stand-in" "$readme"
check "the README says the machine's library replaces it" \
  grep -q "machine's own KOACPI.DLL replaces it" "$readme"

# --- missing files -----------------------------------------------------------------------------------
for name in product.env "${required[@]}"; do
  dir=$work/missing-${name//\//-}
  make_build "$dir"
  echo old >"$work/zips/CpuVantor-2.5.1-i686.zip"
  [ "$name" = product.env ] && rm "$dir/product.env" || rm "$dir/bin/$name"
  check "missing $name fails" bash -c '! "$0" --build-dir "$1" --out "$2" 2>"$3"' \
    "$root/scripts/package.sh" "$dir" "$work/zips" "$work/err"
  check "missing $name is named" grep -qF "missing $dir/" "$work/err"
  check "missing $name is named in full" grep -qF "/$(basename "$name")" "$work/err"
  check "missing $name keeps the older zip" test "$(cat "$work/zips/CpuVantor-2.5.1-i686.zip")" = old
  check "missing $name leaves no staging folder" test -z "$(ls -A "$work/zips" | grep '^\.staging')"
done

# --- builds that are not the shipped one ---------------------------------------------------------------
case_number=0
for bad in 'ARCH=x64:x64 build' 'BUILD_TYPE=Debug:Debug build' 'VERSION=:no usable VERSION' \
  'VERSION=1.0;rm:no usable VERSION'; do
  setting=${bad%%:*}
  message=${bad#*:}
  case_number=$((case_number + 1))
  dir=$work/bad-$case_number
  make_build "$dir"
  sed -i "s/^${setting%%=*}=.*/$setting/" "$dir/product.env"
  check "$setting is refused" bash -c '! "$0" --build-dir "$1" --out "$2" 2>"$3"' \
    "$root/scripts/package.sh" "$dir" "$work/bad-out" "$work/err"
  check "$setting says why" grep -qF "$message" "$work/err"
done
check "a refused build writes no zip" test -z "$(ls -A "$work/bad-out" 2>/dev/null)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
