#!/usr/bin/env bash
# Takes the README's screenshots under Wine:
#   docs/screenshots/main-window.png  the main window as it opens
#   docs/screenshots/help-popup.png   the pointer resting on the help icon, the popup beside it
# Ozarith.exe runs in a Wine virtual desktop, so that Wine draws the window frames itself (a
# bare Xvfb has no window manager), on a private Xvfb wide enough for the popup beside the
# centred window. The pointer is moved with xdotool, so the hover goes through real X events.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default build/win, which is built first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win}
if [ "$build" = build/win ]; then
  bash scripts/install-deps.sh
  bash scripts/build-libpng.sh
  bash scripts/configure-win.sh
  cmake --build build/win --target Ozarith >/dev/null
fi
exe=$(realpath "$build/bin/Ozarith.exe")
export OZ_WINEPREFIX=${OZ_WINEPREFIX:-$(realpath "$build")/wineprefix}
out=docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)

width=1600 height=900
for n in $(seq 140 180); do
  [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 "${width}x${height}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  WINEPREFIX=$OZ_WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display

shoot() { import -window root "$work/$1.png"; }
# The bounding box "w h x y" of the icon's blue letter (0, 153, 204) in a shot.
iconBox() {
  convert "$work/$1.png" -fuzz 4% -fill black +opaque 'rgb(0,153,204)' -trim -format '%w %h %X %Y' info: 2>/dev/null
}

# Debian's Wine does not find its own Marlett font (package fonts-wine) where it looks, and
# without it the caption buttons show letters; a copy in the prefix's font folder is found.
bash scripts/wine-run.sh cmd.exe /c exit >/dev/null 2>&1
marlett=/usr/share/wine/fonts/marlett.ttf
fonts=$OZ_WINEPREFIX/drive_c/windows/Fonts
if [ -f "$marlett" ] && [ ! -f "$fonts/marlett.ttf" ]; then cp "$marlett" "$fonts/"; fi

xdotool mousemove 1 1
bash scripts/wine-run.sh explorer "/desktop=ozarith,${width}x${height}" "Z:${exe//\//\\}" &
app=$!

box=
for _ in $(seq 120); do
  sleep 0.5
  shoot wait
  read -r w h x y <<<"$(iconBox wait)" || true
  if [ "${w:-1}" -gt 1 ] && [ "${h:-1}" -gt 4 ]; then box="$w $h $x $y"; break; fi
done
[ -n "$box" ] || { echo "no help icon on the screen" >&2; exit 1; }
sleep 1  # let the window settle: focus, caret, the first paints of every control
read -r w h x y <<<"$box"
x=${x#+} y=${y#+}

# Everything that is not the desktop's own colour is ours: trim to it.
shoot main
convert "$work/main.png" -trim +repage "$out/main-window.png"

xdotool mousemove $((x + w / 2)) $((y + h / 2))
# The popup widens what the trim keeps from the main window's width to both windows'.
mainWidth=$(identify -format '%w' "$out/main-window.png")
for _ in $(seq 40); do
  sleep 0.25
  shoot popup
  convert "$work/popup.png" -trim +repage "$out/help-popup.png"
  [ "$(identify -format '%w' "$out/help-popup.png")" -gt "$mainWidth" ] && break
done
[ "$(identify -format '%w' "$out/help-popup.png")" -gt "$mainWidth" ] || { echo "the help popup did not show" >&2; exit 1; }
sleep 0.5  # its picture box paints after the popup itself
shoot popup
convert "$work/popup.png" -trim +repage "$work/both.png"
# The desktop shows below the popup, in the bounding box of the two windows: make it transparent.
read -r bw bh <<<"$(identify -format '%w %h' "$work/both.png")"
convert "$work/both.png" -alpha set -fill none -draw "color $((bw - 1)),$((bh - 1)) floodfill" "$out/help-popup.png"
echo "$out/main-window.png $(identify -format '%wx%h' "$out/main-window.png")"
echo "$out/help-popup.png $(identify -format '%wx%h' "$out/help-popup.png")"
