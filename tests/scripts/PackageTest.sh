#!/usr/bin/env bash
# scripts/package.sh against fake i686 build folders: the zip's exact contents when everything is there,
# and a clear failure that names the file, writes nothing and keeps an older zip when something is not.
set -uo pipefail
root=${1:?source folder}
# Fake builds cannot be signed: whatever certificate the caller's environment names is not used here.
unset KO_SIGN_CERT KO_SIGN_KEY KO_SIGN_PASS_FILE KO_SIGN_TIMESTAMP
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=scripts/checks.sh
. "$root/scripts/checks.sh"

pictures=()
for picture in "$root"/Resource/*.png "$root"/Resource/*.ico "$root"/Resource/[0-9]*/*.png; do
  pictures+=("Resource/${picture#"$root"/Resource/}")
done
# The scaled sets ship too: a package without them shows a small dialog on a scaled display.
[[ " ${pictures[*]} " == *" Resource/200/cpu_bg004.png "* ]] || { echo "FAIL: no 200 % set in $root/Resource"; exit 1; }
shipped=(CpuVantor.exe pngio.dll vantorctl.exe "${pictures[@]}")
required=("${shipped[@]}" KOACPI.DLL)

# A build folder whose every file says what it is, so a swapped or stale copy shows.
make_build() {
  local dir=$1
  mkdir -p "$dir/bin/Resource"
  printf 'VERSION=2.5.1\nARCH=i686\nBUILD_TYPE=Release\n' >"$dir/product.env"
  for name in "${required[@]}"; do
    [[ $name != */*/* ]] || mkdir -p "$dir/bin/${name%/*}"
    echo "fake $name" >"$dir/bin/$name"
  done
  # Not shipped: test programs and whatever else the build leaves.
  echo test >"$dir/bin/KoAcpiTests.exe"
  echo extra >"$dir/bin/Resource/unused.png"
}

package() { # build folder, out folder; stderr kept in $work/err
  "$root/scripts/package.sh" --build-dir "$1" --out "$2" --winget-dir "$work/winget" >"$work/out" 2>"$work/err"
}
# Checks a zip's listing against a folder name and files (README.txt besides); shows the difference.
holds_exactly() { # zip, folder, files...
  local zip=$1 folder=$2 listing expected
  shift 2
  listing=$(cd "$work" && cmake -E tar tf "$zip")
  expected=$( (echo "$folder/README.txt"
    for name in "$@"; do echo "$folder/$name"; done) | LC_ALL=C sort)
  [ "$listing" = "$expected" ] || { diff <(echo "$expected") <(echo "$listing"); return 1; }
}
crlf_only() { # a text file whose every line ends in CR LF, and no bare line feed
  test "$(grep -c $'\r$' "$1")" = "$(wc -l <"$1")" &&
    test "$(tr -cd '\n' <"$1" | wc -c)" = "$(grep -c $'\r$' "$1")"
}

# --- complete build ----------------------------------------------------------------------------------
make_build "$work/full"
check "a complete build packages" package "$work/full" "$work/zips"
zip=$work/zips/CpuVantor-2.5.1-i686.zip
simulator=$work/zips/CpuVantor-2.5.1-i686-simulator.zip
check "the zip is named after version and target" test -f "$zip"
check "beside it the simulator, the installer and the listing" \
  test "$(ls -A "$work/zips" | tr '\n' ' ')" = "CpuVantor-2.5.1-i686-simulator.zip CpuVantor-2.5.1-i686.zip CpuVantor-2.5.1-packages.txt CpuVantor-2.5.1-setup-x86.exe "

check "the release zip holds exactly the shipped files, in order, and no KOACPI.DLL" \
  holds_exactly "$zip" CpuVantor-2.5.1 "${shipped[@]}"
check "the simulator holds them and the stand-in, in a folder named as the simulator" \
  holds_exactly "$simulator" CpuVantor-2.5.1-simulator "${required[@]}"

mkdir -p "$work/unzipped"
(cd "$work/unzipped" && cmake -E tar xf "$zip" && cmake -E tar xf "$simulator")
for name in "${shipped[@]}"; do
  check "$name is the build's own" test "$(cat "$work/unzipped/CpuVantor-2.5.1/$name")" = "fake $name"
done
check "the simulator's other files are the release's" diff -r --exclude=README.txt --exclude=KOACPI.DLL \
  "$work/unzipped/CpuVantor-2.5.1" "$work/unzipped/CpuVantor-2.5.1-simulator"
check "the simulator's stand-in is the build's own" \
  test "$(cat "$work/unzipped/CpuVantor-2.5.1-simulator/KOACPI.DLL")" = "fake KOACPI.DLL"
readme=$work/unzipped/CpuVantor-2.5.1/README.txt
check "the README has Windows line ends only" crlf_only "$readme"
check "the README names the version" grep -q "CPU Vantor 2.5.1" "$readme"
check "the README says the machine's library is found where the machine keeps it" \
  grep -q "Windows finds the machine's own where the machine keeps it" "$readme"
check "the README points to the simulator package" grep -q "CpuVantor-2.5.1-i686-simulator.zip" "$readme"
note=$work/unzipped/CpuVantor-2.5.1-simulator/README.txt
check "the simulator's note has Windows line ends only" crlf_only "$note"
check "the simulator's note says what it is" grep -q "CPU Vantor 2.5.1 SIMULATOR" "$note"
check "the simulator's note marks the stand-in" \
  grep -q "KOACPI.DLL in this folder is the development stand-in" "$note"
check "the simulator's note keeps it off the machine" \
  grep -q "Never use this package on the machine the program is made for" "$note"
packages=$work/zips/CpuVantor-2.5.1-packages.txt
check "the listing names the simulator as such" grep -q "^CpuVantor-2.5.1-i686-simulator.zip *SIMULATOR" "$packages"
check "the listing has each package's hash" \
  grep -q "SHA-256 $(sha256sum "$zip" | cut -d' ' -f1)" "$packages"
check "an unsigned build says so in the listing" grep -q "^UNSIGNED: no certificate was given" "$packages"
# The check test.sh runs on every build: it passes the release pair and catches the stand-in.
setup=$work/zips/CpuVantor-2.5.1-setup-x86.exe
check "inspect-installer passes the release installer and zip" \
  bash -c '"$0" "$1" "$2" >/dev/null' "$root/packaging/inspect-installer.sh" "$setup" "$zip"
check "inspect-installer refuses a zip carrying KOACPI.DLL" \
  bash -c '! "$0" "$1" "$2" 2>"$3"' "$root/packaging/inspect-installer.sh" "$setup" "$simulator" "$work/err"
check "and says so" grep -qF "carries KOACPI.DLL" "$work/err"

# --- signing that cannot be done: refused before anything is written ----------------------------------
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -keyout "$work/key.pem" -out "$work/cert.pem" \
  -subj "/CN=package test" >/dev/null 2>&1
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/other-key.pem" >/dev/null 2>&1
for bad in "KO_SIGN_CERT=$work/cert.pem:KO_SIGN_KEY is not" \
  "KO_SIGN_KEY=$work/key.pem:KO_SIGN_CERT is not" \
  "KO_SIGN_CERT=$work/none.pem KO_SIGN_KEY=$work/key.pem:no certificate file" \
  "KO_SIGN_CERT=$work/key.pem KO_SIGN_KEY=$work/key.pem:is not a PEM certificate" \
  "KO_SIGN_CERT=$work/cert.pem KO_SIGN_KEY=$work/other-key.pem:does not belong to the certificate"; do
  settings=${bad%%:*}
  message=${bad#*:}
  check "signing with $settings is refused" \
    bash -c '! env $0 "$1" --build-dir "$2" --out "$3" --winget-dir "$4" >/dev/null 2>"$5"' \
    "$settings" "$root/scripts/package.sh" "$work/full" "$work/unsigned" "$work/winget" "$work/err"
  check "signing with $settings says why" grep -qF "$message" "$work/err"
done
check "refused signing writes nothing" test ! -e "$work/unsigned"

# --- missing files -----------------------------------------------------------------------------------
# Every file of the 100 % set, and one of a scaled set: the other sets go through the same loop.
for name in product.env "${required[@]}"; do
  [[ $name != Resource/[0-9]*/* || $name == Resource/200/cpu_bg004.png ]] || continue
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
