#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix, created on first use.
# Usage: wine-run.sh PROGRAM.exe [ARGS...]   (OZ_WINEPREFIX names the prefix; default: build/wineprefix)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${OZ_WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: the prefix must not try to download them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=/usr/lib/wine/wine64
# scripts/with-display.sh stops the Wine server of every prefix named here.
[ -z "${OZ_USED_PREFIXES:-}" ] || echo "$WINEPREFIX" >>"$OZ_USED_PREFIXES"

if [ ! -f "$WINEPREFIX/.oz-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.oz-ready" ]; then
      "$wine" wineboot -i >/dev/null 2>&1 || true
      /usr/lib/wine/wineserver -w
      touch "$WINEPREFIX/.oz-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
