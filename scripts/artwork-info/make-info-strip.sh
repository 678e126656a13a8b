#!/bin/sh
# Draws the picture strip of the info dialog: a 157 x 552 colour JPEG of a circuit board in orange
# light, close-up and slightly out of focus at the ends, like a photograph. The result is kept in the
# repository (ui/info_dialog/resources/info-strip.jpg), so building the program needs no ImageMagick;
# run this only to change the picture. Fixed seeds make the output the same on every run.
#
# Usage: scripts/artwork-info/make-info-strip.sh [output.jpg]
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../../ui/info_dialog/resources/info-strip.jpg"}
convert=${CONVERT:-/usr/bin/convert}
width=157
height=552

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The board's drawing as ImageMagick vector commands: copper traces that run along the strip and bend
# at 45 degrees, solder pads and vias, two chips with their pins, small parts with two pads each.
awk -v w="$width" -v h="$height" 'BEGIN {
    srand(2605)
    print "stroke-linecap round"
    print "stroke-linejoin round"
    print "fill none"
    # traces
    for (t = 0; t < 16; t++) {
        x = int(6 + rand() * (w - 12)); y = int(rand() * h * 0.2) - 20
        pts = x "," y
        while (y < h + 20) {
            step = int(20 + rand() * 70)
            r = rand()
            if (r < 0.55) { y += step }
            else if (r < 0.78) { d = (x < w / 2) ? 1 : -1; if (rand() < 0.3) d = -d; x += d * int(step / 2); y += int(step / 2) }
            else { x += (rand() < 0.5 ? -1 : 1) * int(6 + rand() * 10); }
            if (x < 4) x = 4; if (x > w - 4) x = w - 4
            pts = pts " " x "," y
        }
        sw = (rand() < 0.25) ? 4 : 2
        printf "stroke #d8d0c0 stroke-width %d polyline %s\n", sw, pts
    }
    # pads and vias
    print "stroke none"
    for (p = 0; p < 70; p++) {
        x = rand() * w; y = rand() * h; r = 2 + rand() * 3
        printf "fill #f0e8d8 circle %.1f,%.1f %.1f,%.1f\n", x, y, x + r, y
        printf "fill #201810 circle %.1f,%.1f %.1f,%.1f\n", x, y, x + r * 0.4, y
    }
    # two chips with pins on both long sides
    for (c = 0; c < 2; c++) {
        cx = 30 + c * 40 + rand() * 30; cy = 90 + c * 250 + rand() * 60; cw = 42; ch = 90
        for (i = 0; i < 9; i++) {
            py = cy + 6 + i * 9.5
            printf "fill #e8e0d0 rectangle %.1f,%.1f %.1f,%.1f\n", cx - 7, py, cx + 2, py + 4
            printf "fill #e8e0d0 rectangle %.1f,%.1f %.1f,%.1f\n", cx + cw - 2, py, cx + cw + 7, py + 4
        }
        printf "fill #141210 roundrectangle %.1f,%.1f %.1f,%.1f 3,3\n", cx, cy, cx + cw, cy + ch
        printf "fill #3a3632 circle %.1f,%.1f %.1f,%.1f\n", cx + 8, cy + 8, cx + 11, cy + 8
    }
    # small parts
    for (s = 0; s < 18; s++) {
        x = 8 + rand() * (w - 30); y = rand() * h
        if (rand() < 0.5) {
            printf "fill #e8e0d0 rectangle %.1f,%.1f %.1f,%.1f\n", x, y, x + 5, y + 8
            printf "fill #e8e0d0 rectangle %.1f,%.1f %.1f,%.1f\n", x + 15, y, x + 20, y + 8
            printf "fill #2a1e14 rectangle %.1f,%.1f %.1f,%.1f\n", x + 4, y + 1, x + 16, y + 7
        } else {
            printf "fill #e8e0d0 rectangle %.1f,%.1f %.1f,%.1f\n", x, y, x + 8, y + 5
            printf "fill #e8e0d0 rectangle %.1f,%.1f %.1f,%.1f\n", x, y + 15, x + 8, y + 20
            printf "fill #5a4630 rectangle %.1f,%.1f %.1f,%.1f\n", x + 1, y + 4, x + 7, y + 16
        }
    }
}' > "$work/board.mvg"

# Board: uneven laminate, the drawing on top, relief from a low light, then everything in orange,
# grain, a soft fall-off toward the ends and a little blur as from a close-up lens.
"$convert" -seed 2605 -size "${width}x${height}" plasma:"#5a4a30"-"#2a2014" -blur 0x1.2 \
    -draw "$(cat "$work/board.mvg")" "$work/drawn.png"
"$convert" "$work/drawn.png" \( +clone -blur 0x1 -shade 135x35 -auto-level \) \
    -compose overlay -composite \
    -colorspace gray -auto-level -colorspace sRGB +level-colors "#1c0800,#ffb347" \
    -seed 2605 -attenuate 0.35 +noise Gaussian \
    \( -size "${width}x${height}" radial-gradient:white-"#6a6a6a" \) -compose multiply -composite \
    -blur 0x0.6 -modulate 100,125 \
    -strip -sampling-factor 2x2 -quality 88 -type TrueColor "jpeg:$out"

echo "wrote $out"
