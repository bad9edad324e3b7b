#!/usr/bin/env bash
# Builds both targets and runs every test under Wine on a private virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/bootstrap.sh

# The 32-bit release build is what ships; it cannot run here, so it is compiled, linked and inspected.
cmake --preset i686 >/dev/null
cmake --build --preset i686
scripts/check-imports.sh build/i686/bin
# Its installer is built from it and must carry exactly the files of the portable zip.
scripts/package.sh --build-dir build/i686 --out build/package --winget-dir build/package/winget >/dev/null
version=$(sed -n 's/^VERSION=//p' build/i686/product.env)
packaging/inspect-installer.sh "build/package/CpuVantor-$version-setup-x86.exe" \
  "build/package/CpuVantor-$version-i686.zip"

cmake --preset x64 >/dev/null
cmake --build --preset x64
# Now and then Wine stalls a test process before any of its code is loaded (seen under heavy load);
# such a test times out and is run once more. A test that fails is never repeated.
scripts/with-wine.sh ctest --test-dir build/x64 --output-on-failure --timeout 120 --repeat after-timeout:2 -j2 "$@"
