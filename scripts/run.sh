#!/usr/bin/env bash
# Builds the program and starts it under Wine, with the TV double as adb.exe beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/prepare-win.sh
cmake --build build/win --target Ozarith fake_adb >/dev/null
run=build/win/run
mkdir -p "$run"
cp build/win/bin/Ozarith.exe "$run/"
cp build/win/bin/adb.exe "$run/adb.exe"
export OZ_WINEPREFIX=$PWD/build/win/wineprefix
exec bash scripts/with-display.sh bash scripts/wine-run.sh "$run/Ozarith.exe"
