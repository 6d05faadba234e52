#!/usr/bin/env bash
# What every script that builds for Windows needs first: the Debian packages, libpng cross-built,
# and the build tree in build/win configured. Quiet when all is in place.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build-libpng.sh
bash scripts/configure-win.sh
