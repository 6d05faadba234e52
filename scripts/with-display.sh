#!/usr/bin/env bash
# Runs a command with an X display: the current one if set, else a private Xvfb that is
# stopped afterwards together with the Wine server of every prefix wine-run.sh used meanwhile
# (the tests use two, an English and a Chinese one).
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then exec "$@"; fi
for n in $(seq 90 130); do
  [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export OZ_USED_PREFIXES=$(mktemp)
echo "${OZ_WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}" >"$OZ_USED_PREFIXES"
cleanup() {
  sort -u "$OZ_USED_PREFIXES" | while read -r prefix; do
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  done
  rm -f "$OZ_USED_PREFIXES"
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display
"$@"
