#!/usr/bin/env bash
# Configures the cross build in build/win (quiet; again only when needed).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/win/build.ninja ] && exit 0
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
