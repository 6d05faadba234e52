#!/usr/bin/env bash
# Cross-builds libpng for the Windows target from Debian's source package, against Debian's
# mingw zlib, and installs it under DEST (default build/deps/libpng). Quiet when already built.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:-$here/build/deps/libpng}
[ -f "$dest/lib/libpng16.a" ] && exit 0

src_list=/etc/apt/sources.list.d/ozarith-deb-src.sources
if ! apt-get source --print-uris -qq libpng1.6 >/dev/null 2>&1; then
  cat >"$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt-get update -qq
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq libpng1.6 >/dev/null 2>&1)
srcdir=$(find "$work" -maxdepth 1 -type d -name 'libpng1.6-*' | head -1)
[ -n "$srcdir" ] || { echo "libpng source package not found" >&2; exit 1; }

cmake -S "$srcdir" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$dest" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF \
  -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a \
  -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include >"$work/configure.log" 2>&1 \
  || { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" >"$work/build.log" 2>&1 || { tail -50 "$work/build.log" >&2; exit 1; }
cmake --install "$work/build" >/dev/null
echo "libpng built into $dest"
