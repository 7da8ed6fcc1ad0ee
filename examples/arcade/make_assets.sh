#!/bin/sh
# Generates the arcade game's images and sounds: make_assets.sh OUTDIR
# Every asset is made here from nothing: ImageMagick draws the sprites and sox
# synthesises the effects and the music. CONVERT and SOX may name the tools.
set -e
out=${1:?usage: make_assets.sh OUTDIR}
CONVERT=${CONVERT:-/usr/bin/convert}
SOX=${SOX:-sox}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- Sprites: PNG with a real alpha channel (transparent ground, soft glows).

# The player's ship, 32 x 32, nose up: a hull, two wings, a cockpit and a
# half-transparent engine flame.
"$CONVERT" -size 32x32 xc:none \
  -fill 'rgba(255,160,40,0.55)' -draw 'polygon 12,25 20,25 16,31' \
  -fill '#3a7bd5' -draw 'polygon 16,1 24,24 16,20 8,24' \
  -fill '#8fd3ff' -draw 'polygon 16,3 21,20 16,17 11,20' \
  -fill '#2a4f8a' -draw 'polygon 8,17 1,28 9,24' -draw 'polygon 24,17 31,28 23,24' \
  -fill '#ffffff' -draw 'ellipse 16,12 2,4 0,360' \
  "PNG32:$out/ship.png"

# A rock, 32 x 32: a lumpy grey-brown body with darker craters and a lit rim.
"$CONVERT" -size 32x32 xc:none \
  -fill '#7a6a58' -draw 'polygon 9,3 21,2 29,9 30,20 24,29 12,30 3,23 2,11' \
  -fill '#9c8b76' -draw 'polygon 10,5 20,4 26,10 18,12 9,11' \
  -fill '#5a4d40' -draw 'circle 12,17 15,19' -draw 'circle 22,21 24,23' -draw 'circle 20,9 21,10' \
  "PNG32:$out/rock.png"

# A gem, 16 x 16: a yellow diamond inside a soft, half-transparent halo.
"$CONVERT" -size 16x16 xc:none \
  -fill 'rgba(255,230,90,0.35)' -draw 'circle 8,8 8,0' \
  -fill '#ffd21f' -draw 'polygon 8,1 14,7 8,15 2,7' \
  -fill '#fff7b0' -draw 'polygon 8,2 11,7 8,8 5,7' \
  "PNG32:$out/gem.png"

# --- Sound effects: 44.1 kHz stereo 16-bit, the mixer's own format.
"$SOX" -n -r 44100 -c 2 -b 16 "$out/shoot.wav" synth 0.09 square 1400-500 vol 0.25 fade 0 0.09 0.03
"$SOX" -n -r 44100 -c 2 -b 16 "$out/boom.wav" synth 0.45 brownnoise vol 0.6 fade 0 0.45 0.4
"$SOX" -n -r 44100 -c 2 -b 16 "$out/pickup.wav" synth 0.08 sine 880 : synth 0.12 sine 1320 vol 0.4
"$SOX" -n -r 44100 -c 2 -b 16 "$out/hit.wav" synth 0.3 sawtooth 220-55 vol 0.5 fade 0 0.3 0.2

# --- Music: a four-bar loop, a plucked melody over a bass line, as Ogg Vorbis.
# Each line is one eighth note: melody and bass, in semitones from A440.
i=0
while read -r melody bass; do
  i=$((i + 1))
  "$SOX" -n -r 44100 -c 1 "$tmp/m$i.wav" synth 0.2 pluck %"$melody" vol 0.5
  "$SOX" -n -r 44100 -c 1 "$tmp/b$i.wav" synth 0.2 triangle %"$bass" vol 0.25 fade 0 0.2 0.05
done <<'NOTES'
0 -24
3 -24
7 -24
10 -24
8 -26
7 -26
3 -26
7 -26
5 -29
3 -29
0 -29
3 -29
2 -31
5 -31
7 -31
2 -31
NOTES
files_m=""
files_b=""
n=1
while [ "$n" -le "$i" ]; do
  files_m="$files_m $tmp/m$n.wav"
  files_b="$files_b $tmp/b$n.wav"
  n=$((n + 1))
done
# shellcheck disable=SC2086
"$SOX" $files_m "$tmp/melody.wav"
# shellcheck disable=SC2086
"$SOX" $files_b "$tmp/bass.wav"
"$SOX" -m "$tmp/melody.wav" "$tmp/bass.wav" -r 44100 -c 2 "$out/music.ogg" repeat 1

touch "$out/stamp"
