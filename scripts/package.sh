#!/usr/bin/env bash
# Builds the release: dist/Ozarith-<version>-win64.zip with Ozarith.exe, the README and the
# licence, and its SHA-256 beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/prepare-win.sh
cmake --build build/win --target Ozarith >/dev/null
version=$(sed -n 's/^project(Ozarith VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=Ozarith-$version-win64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name" dist
cp build/win/bin/Ozarith.exe README.md LICENSE "$stage/$name/"
rm -f "dist/$name.zip"
# Fixed timestamps, so the same sources give the same archive.
find "$stage/$name" -exec touch -d '2026-01-01 00:00:00' {} +
(cd "$stage" && zip -qX -r "$OLDPWD/dist/$name.zip" "$name")
(cd dist && sha256sum "$name.zip" >"$name.zip.sha256")
echo "dist/$name.zip"
cat "dist/$name.zip.sha256"
