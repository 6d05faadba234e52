#!/usr/bin/env bash
# Installs the build and test dependencies from Debian's packages. Idempotent and quiet when all is in place.
set -euo pipefail

packages=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev clang
  wine64 wine fonts-wine xvfb x11-apps x11-utils xdotool imagemagick zip
  fonts-noto-cjk python3
  adb iproute2 util-linux openssl
  googletest
  dpkg-dev locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Windows tests run under a Chinese locale too (Wine takes its code pages from LANG).
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  echo "Generating the zh_CN.UTF-8 locale"
  sed -i -E 's/^# *(zh_CN\.UTF-8 UTF-8)/\1/' /etc/locale.gen
  grep -qx 'zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
