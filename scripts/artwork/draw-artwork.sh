#!/usr/bin/env bash
# Draws the window icon (32x32 and 16x16) and the drop-zone picture (212x91) of the main window,
# each with a palette of 16 colours, into ui/main_window/resources/, and the same icon for menus,
# docks and software centres (48, 64, 128 and 256 pixels in full colour, and as SVG) into
# packaging/icons/. The results are committed, so building never needs ImageMagick; run this
# again only to change the artwork.
# Needs ImageMagick 6 (Debian package imagemagick) and fonts-liberation.
set -euo pipefail
cd "$(dirname "$0")/../.."

convert=/usr/bin/convert  # ImageMagick itself, not a stand-in of the same name earlier in PATH
out=ui/main_window/resources
bold=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf
regular=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# Written byte for byte the same on every run: no time stamps, a palette of at most 16 colours
# stored with 4 bits per pixel.
palette16() {
    "$convert" "$1" +dither -colors 16 -strip -define png:exclude-chunks=date,time \
        -define png:color-type=3 -define png:bit-depth=4 "PNG8:$2"
}

# The icon: a sheet of paper with a folded corner and "Aa" on it, the two cases the program
# changes between, the capital in orange. Drawn eight times as large and reduced.
draw_icon() {
    local size=$1 file=$2 scale=$(( $1 * 8 ))
    "$convert" -size ${scale}x${scale} xc:none \
        -fill '#fffdf8' -stroke '#5a3200' -strokewidth $(( scale / 24 )) \
        -draw "polygon $(( scale*4/32 )),$(( scale*1/32 )) $(( scale*21/32 )),$(( scale*1/32 )) $(( scale*28/32 )),$(( scale*8/32 )) $(( scale*28/32 )),$(( scale*31/32 )) $(( scale*4/32 )),$(( scale*31/32 ))" \
        -fill '#ffd9a6' \
        -draw "polygon $(( scale*21/32 )),$(( scale*1/32 )) $(( scale*21/32 )),$(( scale*8/32 )) $(( scale*28/32 )),$(( scale*8/32 ))" \
        -stroke none -font "$bold" -pointsize $(( scale * 15 / 32 )) \
        -fill '#e66a00' -annotate +$(( scale*5/32 ))+$(( scale*24/32 )) 'A' \
        -fill '#5a3200' -annotate +$(( scale*16/32 ))+$(( scale*24/32 )) 'a' \
        -filter Box -resize ${size}x${size} "$file"
}

# The window's own icon, in 16 colours.
icon() {
    draw_icon "$1" "$work/icon-$1.png"
    palette16 "$work/icon-$1.png" "$out/icon-$1.png"
}

icon 32
icon 16

# The icons the desktop shows in menus, docks and software centres, in full colour.
icons=packaging/icons/hicolor
for size in 48 64 128 256; do
    mkdir -p "$icons/${size}x${size}/apps"
    draw_icon $size "$work/large-$size.png"
    "$convert" "$work/large-$size.png" -strip -define png:exclude-chunks=date,time \
        "PNG32:$icons/${size}x${size}/apps/versalo.png"
done
# The same drawing as SVG, on the grid of 32 units the picture above is laid out on.
mkdir -p "$icons/scalable/apps"
cat > "$icons/scalable/apps/versalo.svg" <<'SVG'
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 32 32">
  <polygon points="4,1 21,1 28,8 28,31 4,31" fill="#fffdf8" stroke="#5a3200" stroke-width="1.333"
           stroke-linejoin="miter"/>
  <polygon points="21,1 21,8 28,8" fill="#ffd9a6" stroke="#5a3200" stroke-width="1.333"/>
  <g font-family="Liberation Sans, Arial, Helvetica, sans-serif" font-weight="bold" font-size="15">
    <text x="5" y="24" fill="#e66a00">A</text>
    <text x="16" y="24" fill="#5a3200">a</text>
  </g>
</svg>
SVG

# The drop-zone picture: a file listing, a column of folder and file symbols with their names,
# tilted back as if it lay on the desk, all in orange. Drawn four times as large and reduced,
# so that the edges come out smooth before the colours are cut down to 16.
listing="$work/listing.png"
rows=(
    "folder|Briefe"
    "folder|FOTOS 2023"
    "file|Rechnung.pdf"
    "file|urlaub.JPG"
    "file|Notizen.txt"
    "file|TABELLE.ODS"
)
draw=()
y=58
for row in "${rows[@]}"; do
    kind=${row%%|*}
    name=${row#*|}
    if [ "$kind" = folder ]; then
        draw+=(-fill '#f59a23' -stroke '#8a4300' -draw "polygon 30,$((y-34)) 50,$((y-34)) 56,$((y-28)) 84,$((y-28)) 84,$((y)) 30,$((y))")
    else
        draw+=(-fill '#fff1df' -stroke '#8a4300' -draw "polygon 36,$((y-36)) 66,$((y-36)) 78,$((y-24)) 78,$((y)) 36,$((y))")
        draw+=(-stroke '#c86400' -draw "line 42,$((y-22)) 72,$((y-22))" -draw "line 42,$((y-12)) 72,$((y-12))")
    fi
    draw+=(-stroke none -fill '#b35500' -annotate +100+$((y-4)) "$name")
    y=$((y + 49))
done
"$convert" -size 620x330 xc:'#fff4e6' \
    -strokewidth 4 -fill '#ffe0b8' -stroke '#c86400' -draw 'rectangle 8,8 611,321' \
    -font "$regular" -pointsize 38 -strokewidth 3 "${draw[@]}" \
    "$listing"
# Tilt: the top edge narrower and shifted right, the whole sheet slanted.
"$convert" "$listing" -virtual-pixel transparent -alpha set -define distort:viewport=848x364+0+0 \
    -distort Perspective '0,0 250,14  620,0 830,30  0,330 18,340  620,330 700,356' \
    -background '#ffffff' -flatten \
    -filter Lanczos -resize 212x91! "$work/drop-zone.png"
palette16 "$work/drop-zone.png" "$out/drop-zone.png"

for f in "$out"/icon-32.png "$out"/icon-16.png "$out"/drop-zone.png "$icons"/*/apps/versalo.png; do
    "$convert" "$f" -format '%f: %wx%h, %k colours\n' info:
done
