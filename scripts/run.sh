#!/usr/bin/env bash
# Builds the program and runs it under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/bootstrap.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 >/dev/null
KO_WINE_STATE=build/wine-run scripts/with-wine.sh /usr/lib/wine/wine64 build/x64/bin/levels.exe "$@"
