#!/usr/bin/env bash
# Builds everything and runs every test: the platform-free core natively with sanitizers,
# then the Windows build under Wine with a private X display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/prepare-win.sh

echo "== native core tests"
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOZ_SANITIZE=ON >/dev/null
cmake --build build/host
ctest --test-dir build/host --output-on-failure

echo "== Windows build and tests under Wine"
cmake --build build/win
echo "== the same sources with clang"
bash scripts/clang-check.sh
export OZ_WINEPREFIX=$PWD/build/win/wineprefix
bash scripts/with-display.sh ctest --test-dir build/win --output-on-failure

echo "== reliability suite, short soak"
OZ_RELIABILITY_REPORT=build/reliability.md bash scripts/reliability.sh --cycles 20
