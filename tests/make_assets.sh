#!/bin/sh
# Generates the images, sounds, music and fonts the tests use:
# make_assets.sh OUTDIR. CONVERT, SOX, FONTTOSFNT and LUA name ImageMagick's
# convert, sox, fonttosfnt and lua5.1.
set -e
out=$1
CONVERT=${CONVERT:-convert}
SOX=${SOX:-sox}
FONTTOSFNT=${FONTTOSFNT:-fonttosfnt}
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

# The same pictures in the other formats whose loading is checked (a 32-bit
# BMP with an alpha mask among them), and the kinds of PNG the decoder treats
# apart: greyscale, a palette with one transparent entry, 16-bit colour,
# interlaced.
"$CONVERT" "$out/sprite.png" "BMP:$out/sprite.bmp"
"$CONVERT" "$out/sprite.png" "$out/sprite.gif"
"$CONVERT" "$out/sprite.png" "$out/sprite.xpm"
"$CONVERT" "$out/halves.bmp" -type Palette "$out/halves.pcx"
"$CONVERT" "$out/sprite.png" -background white -flatten -alpha off -type TrueColor "$out/sprite24.pcx"
"$CONVERT" "$out/halves.bmp" "$out/halves.tga"
"$CONVERT" "$out/sprite.png" -colorspace Gray -background white -flatten -type Grayscale -depth 8 "$out/grey.png"
"$CONVERT" "$out/sprite.png" "PNG8:$out/palette.png"
"$CONVERT" "$out/sprite.png" -background blue -flatten -depth 16 "PNG48:$out/deep.png"
"$CONVERT" "$out/sprite.png" -interlace PNG "PNG32:$out/interlaced.png"
# Files whose colours SDL_image alone gets wrong, each with ImageMagick's
# RGBA decode beside it (NAME.rgba): greyscale and 16-bit colour with one
# transparent colour, a CMYK JPEG as Adobe's programs write it, and a 32-bit
# BMP whose fourth byte is padding (0), not alpha.
"$CONVERT" -size 8x8 xc:gray20 -fill gray90 -draw 'rectangle 2,2 5,5' -transparent gray20 \
  -define png:color-type=0 -define png:bit-depth=8 "$out/grey_trns.png"
"$CONVERT" -size 8x8 xc:'#102030' -fill '#ff8000' -draw 'rectangle 2,2 5,5' -transparent '#102030' \
  -define png:color-type=2 -define png:bit-depth=16 "$out/deep_trns.png"
"$CONVERT" "$out/halves.bmp" -colorspace CMYK -quality 95 "$out/cmyk.jpg"
# CMYK with black ink in it, where a reader that leaves the channels as they
# are gives other colours than one that converts them.
"$CONVERT" -size 16x8 gradient:'#402010'-'#c0a080' -colorspace CMYK -quality 95 "$out/cmyk_dark.jpg"
# Colour with its chroma at half size both ways, and grey (one channel, which
# readers spread to RGB), with detail and a size of part blocks.
"$CONVERT" "$out/sprite.png" -background '#3060a0' -flatten -crop 27x19+2+3 +repage -sampling-factor 2x2 \
  -quality 85 "$out/detail.jpg"
"$CONVERT" "$out/sprite.png" -background '#3060a0' -flatten -crop 27x19+2+3 +repage -colorspace Gray \
  -type Grayscale -quality 85 "$out/grey.jpg"
"$CONVERT" "$out/halves.bmp" -alpha set -channel A -evaluate set 0 +channel -define bmp3:alpha=true \
  "BMP3:$out/padded.bmp"
# BMPs with 1-, 4- and 8-bit palettes, and an 8-bit OS/2 2.x BMP (64-byte
# header, 4-byte palette entries) written here byte by byte, 4 x 2 pixels:
# green, green, blue, blue over red, blue, green, red.
"$CONVERT" -size 16x16 xc:red -fill blue -draw 'rectangle 4,4 11,11' -type Palette "BMP3:$out/palette1.bmp"
"$CONVERT" -size 16x16 xc:red -fill blue -draw 'rectangle 4,4 11,11' -fill yellow -draw 'rectangle 0,0 3,3' \
  -fill lime -draw 'rectangle 12,12 15,15' -type Palette "BMP3:$out/palette4.bmp"
"$CONVERT" -size 16x16 gradient:red-blue -fill yellow -draw 'rectangle 0,0 3,3' -type Palette "BMP3:$out/palette8.bmp"
le() {  # le VALUE BYTES: VALUE as little-endian bytes
  v=$1 n=$2
  while [ "$n" -gt 0 ]; do
    printf "\\$(printf %03o $((v & 255)))"
    v=$((v >> 8)) n=$((n - 1))
  done
}
{
  printf 'BM'; le 98 4; le 0 4; le 90 4
  le 64 4; le 4 4; le 2 4; le 1 2; le 8 2; le 0 4; le 8 4; le 2835 4; le 2835 4; le 3 4; le 0 4; le 0 24
  printf '\000\000\377\000\377\000\000\000\000\377\000\000'  # red, blue, green as B, G, R, 0
  printf '\000\001\002\000\002\002\001\001'                      # the bottom row first
} >"$out/os2.bmp"
printf '\000\377\000\377\000\377\000\377\000\000\377\377\000\000\377\377' >"$out/os2.bmp.rgba"
printf '\377\000\000\377\000\000\377\377\000\377\000\377\377\000\000\377' >>"$out/os2.bmp.rgba"

# A 16 x 8 picture of twelve colours in the formats browsers do not read,
# in each kind their readers treat apart: 1-bit, 4-bit, RLE8 and 16-bit
# (5-6-5 and 5-5-5) BMP; RLE, colour-mapped and greyscale TGA; XPM with
# 16-bit hexadecimal colours; 8-bit and 24-bit PCX.
"$CONVERT" -size 16x8 xc: -sparse-color bilinear '0,0 #ff0000 15,0 #00ff80 0,7 #2040ff 15,7 #ffff00' \
  -colors 12 "$out/tiny.png"
"$CONVERT" "$out/tiny.png" -type Bilevel "BMP3:$out/tiny_mono.bmp"
"$CONVERT" "$out/tiny.png" -type Palette "BMP3:$out/tiny_4bit.bmp"
"$CONVERT" "$out/tiny.png" -type Palette -compress RLE "BMP3:$out/tiny_rle8.bmp"
"$CONVERT" "$out/tiny.png" -define bmp:subtype=RGB565 "BMP:$out/tiny_565.bmp"
"$CONVERT" "$out/tiny.png" -define bmp:subtype=RGB555 "BMP:$out/tiny_555.bmp"
"$CONVERT" "$out/tiny.png" -compress RLE "$out/tiny_rle.tga"
"$CONVERT" "$out/tiny.png" -type Palette "$out/tiny_cmap.tga"
"$CONVERT" "$out/tiny.png" -colorspace Gray -type Grayscale "$out/tiny_grey.tga"
"$CONVERT" "$out/tiny.png" "$out/tiny.xpm"
"$CONVERT" "$out/tiny.png" -type Palette "$out/tiny.pcx"
"$CONVERT" "$out/tiny.png" -type TrueColor "$out/tiny24.pcx"
# Pictures whose pixels are barely visible (alpha 5 and 31), whose colours
# a decoder that premultiplies alpha would round: as a 32-bit TGA, a Windows
# icon and a WebP with alpha (which SDL_image does not read); a lossy WebP,
# the kind it reads; and a JPEG (blue above, yellow below) whose Exif
# orientation tag says to turn it a quarter turn, which libjpeg does not do.
"$CONVERT" -size 8x8 xc:'rgba(200,100,50,0.02)' -fill 'rgba(10,250,128,0.12)' -draw 'rectangle 0,0 3,7' \
  "PNG32:$out/faint.png"
"$CONVERT" "$out/faint.png" "$out/faint.tga"
"$CONVERT" "$out/faint.png" "$out/faint.ico"
"$CONVERT" "$out/faint.png" -define webp:lossless=true "$out/faint.webp"
"$CONVERT" -size 8x8 xc:'#c86432' -fill '#20e080' -draw 'rectangle 0,0 3,7' -quality 90 "$out/lossy.webp"
"$CONVERT" -size 20x5 xc:'#2040e0' -size 20x5 xc:'#f0e020' -append -quality 95 "$out/upright.jpg"
{
  head -c 2 "$out/upright.jpg"
  # APP1, 34 bytes: "Exif", a little-endian TIFF header, IFD0 with one entry,
  # orientation (0x0112) = 6.
  printf '\377\341\000\042Exif\000\000II*\000\010\000\000\000\001\000\022\001\003\000\001\000\000\000'
  printf '\006\000\000\000\000\000\000\000'
  tail -c +3 "$out/upright.jpg"
} >"$out/turned.jpg"

# GIFs of the kinds the reader treats apart: interlaced, with a local colour
# map, an animation whose first frame is smaller than its screen and placed
# off its corner, with a transparent colour, of two colours.
"$CONVERT" "$out/tiny.png" -interlace GIF "$out/tiny_interlaced.gif"
"$CONVERT" "$out/tiny.png" -colors 5 +map "$out/tiny_local.gif"
"$CONVERT" -size 6x4 xc:'#e04020' -page 16x8+5+2 \( -size 16x8 xc:'#2040e0' -page +0+0 \) -loop 0 "$out/offset.gif"
"$CONVERT" "$out/sprite.png" -channel A -threshold 50% +channel "$out/sprite_trns.gif"
"$CONVERT" "$out/tiny.png" -colors 2 "$out/tiny2.gif"

# ImageMagick's RGBA decode of every other image the tests load.
for f in grey_trns.png deep_trns.png cmyk.jpg padded.bmp sprite.png grey.png palette.png deep.png interlaced.png \
  halves.bmp sprite.bmp flat.jpg sprite.gif sprite.xpm halves.pcx sprite24.pcx halves.tga \
  palette1.bmp palette4.bmp palette8.bmp; do
  "$CONVERT" "$out/$f" -depth 8 "RGBA:$out/$f.rgba"
done
# GIFs of the kinds a GIF reader treats apart: many colours in a global
# palette, interlaced rows, a first image smaller than the screen and placed
# inside it, and an animation whose frames have palettes of their own.
"$CONVERT" -size 32x16 gradient:red-blue \( -size 32x16 gradient:green-yellow \) -append -colors 200 \
  "$out/colours.gif"
"$CONVERT" "$out/colours.gif" -interlace GIF "$out/interlaced.gif"
"$CONVERT" "$out/colours.gif" -repage 48x40+8+4 "$out/offset.gif"
"$CONVERT" -delay 10 "$out/halves.bmp" "$out/colours.gif" -loop 0 "$out/frames.gif"

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

# Tracker music: a module of our own (ProTracker's format), written by Lua.
"${LUA:-lua5.1}" "$(dirname "$0")/make_mod.lua" "$out/tune.mod"
# The beep as FLAC and AIFF sounds, as MS and IMA ADPCM WAV, and as Ogg
# Vorbis; and well-formed Ogg Vorbis files at 50 Hz and with 9 channels.
"$SOX" "$out/beep.wav" "$out/beep.flac"
"$SOX" "$out/beep.wav" "$out/beep.aiff"
"$SOX" "$out/beep.wav" -e ms-adpcm "$out/beep_ms.wav"
"$SOX" "$out/beep.wav" -e ima-adpcm "$out/beep_ima.wav"
"$SOX" "$out/beep.wav" "$out/beep.ogg"
"$SOX" -n -r 50 -c 1 "$out/low.ogg" synth 2 sine 10
"$SOX" -n -r 44100 -c 9 "$out/nine.ogg" synth 0.1 sine 440
# And as an 8-bit Creative Voice file, the kind the mixer's VOC reader
# reads, as WAVE in 8 bits, and as 8-bit mono AIFF.
"$SOX" "$out/beep.wav" -b 8 -e unsigned-integer "$out/beep.voc"
"$SOX" "$out/beep.wav" -b 8 "$out/beep8.wav"
"$SOX" "$out/beep.wav" -b 8 -c 1 "$out/beep8.aiff"

# An 8-pixel bitmap font, a space and a hollow square for "a" and "b", as BDF
# and as bitmap-only OpenType (OTB).
square='FF\n81\n81\n81\n81\n81\n81\nFF\n'
glyph() {  # glyph NAME CODE ROWS
  printf 'STARTCHAR %s\nENCODING %d\nSWIDTH 1000 0\nDWIDTH 8 0\nBBX 8 8 0 -1\nBITMAP\n%bENDCHAR\n' "$1" "$2" "$3"
}
{
  printf 'STARTFONT 2.1\nFONT -orvix-box-medium-r-normal--8-80-75-75-c-80-iso10646-1\nSIZE 8 75 75\n'
  printf 'FONTBOUNDINGBOX 8 8 0 -1\nSTARTPROPERTIES 4\nFONT_ASCENT 7\nFONT_DESCENT 1\n'
  printf 'CHARSET_REGISTRY "ISO10646"\nCHARSET_ENCODING "1"\nENDPROPERTIES\nCHARS 3\n'
  glyph space 32 '00\n00\n00\n00\n00\n00\n00\n00\n'
  glyph a 97 "$square"
  glyph b 98 "$square"
  printf 'ENDFONT\n'
} >"$out/box.bdf"
"$FONTTOSFNT" -o "$out/box.otb" "$out/box.bdf"
# And as PCF, compressed as X11 ships its fonts (bdftopcf comes with fonttosfnt).
"$(dirname "$(command -v "$FONTTOSFNT")")/bdftopcf" -o "$out/box.pcf" "$out/box.bdf"
gzip -9 -n -c "$out/box.pcf" >"$out/box.pcf.gz"

touch "$out/stamp"
