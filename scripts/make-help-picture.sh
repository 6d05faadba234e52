#!/usr/bin/env bash
# Letters the 641 x 273 instruction picture shown in the help popup: black Chinese text on
# white, the five usage steps and then what to check when connecting fails. Written as an
# 8-bit RGB PNG (colour type 2, not interlaced) without time stamps, so a remake of the same
# text with the same ImageMagick and font gives the same file.
# Usage: make-help-picture.sh [OUT.png]   (default: resources/help-picture.png)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/resources/help-picture.png}
convert=/usr/bin/convert  # ImageMagick 6 from Debian, not whatever else is called convert
# Noto Sans CJK SC from fonts-noto-cjk, by ImageMagick's font names; without it convert
# would silently fall back to a font that has no Chinese.
font=Noto-Sans-CJK-SC
bold=Noto-Sans-CJK-SC-Bold
fonts=$("$convert" -list font)
for f in "$font" "$bold"; do
  grep -q "Font: $f\$" <<<"$fonts" || { echo "font $f not installed (fonts-noto-cjk)" >&2; exit 1; }
done

left=20
size=15
step=24

heading1="使用步骤"
steps=(
  "1. 打开开发者模式：设置 → 关于 → 连续按“版本号”或“产品型号”，直到提示已打开。"
  "2. 打开ADB调试：设置 → 账号与安全 → ADB调试，设为“允许”，并关闭“智能更新”。"
  "3. 查看IP：设置 → 无线网络或有线网络 → 选择电视所连的网络，其IPv4地址即电视的IP。"
  "4. 在本工具中填入IP，按“连接”；电视若询问“是否允许USB调试”，请选择“允许”。"
  "5. 按“删除开机广告”一键去除广告，然后将电视关机再开机，即可看到效果。"
)
heading2="连接失败时请检查"
checks=(
  "• 电视和电脑必须在同一个局域网内，最好连接同一个路由器。"
  "• 电视已打开开发者模式和ADB调试模式（见上面第1、2步）。"
  "• 本工具测试环境：小米电视4A青春版，MIUI TV 1.3.67 稳定版；Windows 7 64位电脑。"
)

args=(-size 641x273 xc:white -fill black)
y=28
args+=(-font "$bold" -pointsize 16 -annotate "+$left+$y" "$heading1")
args+=(-font "$font" -pointsize "$size")
for line in "${steps[@]}"; do
  y=$((y + step))
  args+=(-annotate "+$left+$y" "$line")
done
y=$((y + step + 12))
args+=(-font "$bold" -pointsize 16 -annotate "+$left+$y" "$heading2")
args+=(-font "$font" -pointsize "$size")
for line in "${checks[@]}"; do
  y=$((y + step))
  args+=(-annotate "+$left+$y" "$line")
done

"$convert" "${args[@]}" -strip -interlace none \
  -define png:color-type=2 -define png:bit-depth=8 -define png:exclude-chunks=date,time \
  "PNG24:$out"
echo "$(basename "$out"): $("$convert" "$out" -format '%w x %h, %[channels]' info:)"
