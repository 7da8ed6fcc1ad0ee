#!/bin/sh
# Generates Cave Run's images: make_assets.sh OUTDIR
# Every image is drawn here from nothing with ImageMagick: the runner's
# animation frames, the spinning coin, the tiles and the level itself, a
# 40 x 28 picture whose every pixel is one tile (the game reads it back with
# getPixel). CONVERT may name the tool.
set -e
out=${1:?usage: make_assets.sh OUTDIR}
CONVERT=${CONVERT:-/usr/bin/convert}
mkdir -p "$out"

# The runner, six 16 x 16 frames in a row: standing, four steps, jumping.
# Every frame has the same head and body; legs and arms move. Per frame:
# the two legs as polygons and the two hands as rectangles, at x 0 to 15.
set -- -size 96x16 xc:none
n=0
while read -r leg1 leg2 hand1 hand2; do
  x=$((16 * n))
  # shifts a list of "x,y" points by x
  shift_x() { echo "$1" | tr "_" "\n" | awk -F, -v dx="$x" '{ printf "%s%d,%d", (NR > 1 ? " " : ""), $1 + dx, $2 }'; }
  set -- "$@" -fill '#2d5fb8' -draw "polygon $(shift_x "$leg1")" -draw "polygon $(shift_x "$leg2")" \
    -fill '#e0483c' -draw "rectangle $((x + 4)),6 $((x + 11)),10" \
    -fill '#f2c9a0' -draw "rectangle $((x + 5)),1 $((x + 10)),5" \
    -draw "rectangle $(shift_x "$hand1")" -draw "rectangle $(shift_x "$hand2")" \
    -fill '#30303a' -draw "rectangle $((x + 5)),0 $((x + 10)),1" -draw "point $((x + 9)),3"
  n=$((n + 1))
done <<'FRAMES'
5,11_7,11_7,15_5,15 8,11_10,11_10,15_8,15 3,7_3,10 12,7_12,10
5,11_7,11_9,15_7,15 8,11_10,11_8,15_6,15 2,8_3,9 12,7_13,8
5,11_7,11_10,14_8,15 8,11_10,11_6,15_4,14 2,9_3,10 12,6_13,7
5,11_7,11_9,15_7,15 8,11_10,11_8,15_6,15 12,8_13,9 2,7_3,8
5,11_7,11_8,15_6,15 8,11_10,11_11,14_9,15 12,9_13,10 2,6_3,7
5,11_7,11_4,14_2,13 8,11_10,11_12,13_10,14 2,5_3,7 12,5_13,7
FRAMES
"$CONVERT" "$@" "PNG32:$out/runner.png"

# The coin, four 16 x 16 frames of a turn: full face, narrower, edge-on, narrower.
"$CONVERT" -size 64x16 xc:none \
  -fill '#b07a00' -draw 'ellipse 8,8 6,7 0,360' -fill '#ffd21f' -draw 'ellipse 8,8 5,6 0,360' \
  -fill '#fff3a0' -draw 'rectangle 7,4 8,11' \
  -fill '#b07a00' -draw 'ellipse 24,8 4,7 0,360' -fill '#ffd21f' -draw 'ellipse 24,8 3,6 0,360' \
  -fill '#b07a00' -draw 'rectangle 39,1 41,14' -fill '#ffd21f' -draw 'rectangle 40,2 40,13' \
  -fill '#b07a00' -draw 'ellipse 56,8 4,7 0,360' -fill '#ffd21f' -draw 'ellipse 56,8 3,6 0,360' \
  "PNG32:$out/coin.png"

# The tiles, 16 x 16 each: earth, earth under grass, stone, spikes (on a
# transparent ground) and the exit door.
"$CONVERT" -size 80x16 xc:none \
  -fill '#7a4a24' -draw 'rectangle 0,0 15,15' -fill '#5e3818' -draw 'rectangle 3,4 5,6' -draw 'rectangle 10,10 12,11' \
  -fill '#7a4a24' -draw 'rectangle 16,0 31,15' -fill '#4caf3c' -draw 'rectangle 16,0 31,4' \
  -fill '#2f8a2a' -draw 'rectangle 18,4 19,6' -draw 'rectangle 25,4 26,5' \
  -fill '#8a8a96' -draw 'rectangle 32,0 47,15' -fill '#6a6a76' -draw 'rectangle 32,7 47,8' -draw 'rectangle 39,0 40,7' \
  -draw 'rectangle 35,8 36,15' -draw 'rectangle 44,8 45,15' \
  -fill '#d8d8e0' -draw 'polygon 48,15 51,6 54,15' -draw 'polygon 53,15 56,5 59,15' -draw 'polygon 58,15 61,6 63,15' \
  -fill '#5a3a1a' -draw 'rectangle 66,1 77,15' -fill '#9a6a3a' -draw 'rectangle 68,3 75,15' \
  -fill '#ffd21f' -draw 'rectangle 73,9 74,10' \
  "PNG32:$out/tiles.png"

# The level, one pixel per tile (40 x 28): black is air, brown earth, grey
# stone, yellow a coin, red spikes, blue the start, white the exit. Holding
# the right arrow from the start takes five coins, then falls into the first
# pit.
"$CONVERT" -size 40x28 xc:black \
  -fill 'rgb(120,72,32)' -draw 'rectangle 0,25 11,27' -draw 'rectangle 15,25 23,27' -draw 'rectangle 28,25 39,27' \
  -draw 'rectangle 18,21 21,22' -draw 'rectangle 31,17 39,18' -draw 'rectangle 24,13 28,14' -draw 'rectangle 6,18 10,19' \
  -draw 'rectangle 12,11 16,12' -draw 'rectangle 29,21 31,21' \
  -fill 'rgb(150,150,160)' -draw 'rectangle 0,0 0,27' -draw 'rectangle 39,0 39,24' -draw 'rectangle 1,0 38,0' \
  -draw 'rectangle 23,22 23,24' -draw 'rectangle 4,10 6,10' \
  -fill 'rgb(220,40,40)' -draw 'rectangle 12,27 14,27' -draw 'rectangle 24,27 27,27' -draw 'rectangle 33,24 34,24' \
  -fill 'rgb(255,210,0)' -draw 'rectangle 5,24 9,24' -draw 'rectangle 18,20 21,20' -draw 'rectangle 6,17 10,17' \
  -draw 'rectangle 12,10 16,10' -draw 'rectangle 24,12 28,12' -draw 'point 5,9' \
  -fill 'rgb(40,100,255)' -draw 'point 2,24' \
  -fill 'rgb(255,255,255)' -draw 'point 37,16' \
  "PNG24:$out/level.png"

touch "$out/stamp"
