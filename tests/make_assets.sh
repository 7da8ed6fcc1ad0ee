#!/bin/sh
# Generates the images, sounds and music the tests use: make_assets.sh OUTDIR
# CONVERT and SOX name ImageMagick's convert and sox.
set -e
out=$1
CONVERT=${CONVERT:-convert}
SOX=${SOX:-sox}
mkdir -p "$out"

# 32 x 32 PNG with alpha: an opaque red disc on a fully transparent ground,
# with a half-transparent green band across rows 0 to 3.
"$CONVERT" -size 32x32 xc:none -fill '#ff0000' -draw 'circle 16,16 16,4' \
  -fill 'rgba(0,255,0,0.5)' -draw 'rectangle 0,0 31,3' "PNG32:$out/sprite.png"
# 16 x 8 BMP: left half blue, right half yellow.
"$CONVERT" -size 8x8 xc:'#0000ff' -size 8x8 xc:'#ffff00' +append -type TrueColor "BMP3:$out/halves.bmp"
# 20 x 10 JPEG of one flat colour (JPEG keeps flat areas nearly exact).
"$CONVERT" -size 20x10 xc:'#30a050' -quality 95 "$out/flat.jpg"
# Not an image at all.
printf 'this is not an image\n' >"$out/not_an_image.png"

# Sounds: 44.1 kHz stereo 16-bit, the mixer's own format, so nothing is resampled.
"$SOX" -n -r 44100 -c 2 -b 16 "$out/beep.wav" synth 0.1 sine 1000 vol 0.5
"$SOX" -n -r 44100 -c 2 -b 16 "$out/blip.wav" synth 0.05 square 440 vol 0.3
# Music: 2 s of a steady tone as Ogg Vorbis and as WAV, and a second track.
"$SOX" -n -r 44100 -c 2 "$out/tune.ogg" synth 2 sine 440 vol 0.5
"$SOX" -n -r 44100 -c 2 -b 16 "$out/tune.wav" synth 2 sine 660 vol 0.5
"$SOX" -n -r 44100 -c 2 -b 16 "$out/other.wav" synth 2 sine 220 vol 0.5
# Quiet sounds, so that eight of them played at once still do not clip: a
# 0.1 s tone like beep.wav at a tenth of its level, and a 3 s tone long
# enough to be still playing when a test frees it.
"$SOX" -n -r 44100 -c 2 -b 16 "$out/quiet.wav" synth 0.1 sine 1000 vol 0.05
"$SOX" -n -r 44100 -c 2 -b 16 "$out/long.wav" synth 3 sine 300 vol 0.05

touch "$out/stamp"
