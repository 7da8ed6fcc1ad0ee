#!/bin/sh
# The long run over real files: the test images, fonts and sounds of a few
# Debian source packages, the sounds and music of a few Debian data packages
# (and some of them converted by sox into the other formats the mixer reads:
# VOC, AIFF, Ogg Vorbis, FLAC, MS and IMA ADPCM WAV), the fonts installed
# here, and VARIANTS damaged copies of each (cuts and overwritten bytes, and
# for sounds as many again with one header field set to an extreme), each
# loaded in a child process with a time limit (tests/fuzz/assets_sweep.lua).
# Prints counts of loaded, failed cleanly, crashed and hung per format; exits
# 1 if anything crashed or hung, and leaves those files in BUILD/sweep/found.
# Not part of the suite.
#   scripts/sweep-assets.sh [BUILD [VARIANTS [SEED [KINDS]]]]
# BUILD is build (default) or build-asan, the sanitizer build; KINDS limits
# the run to some loaders, e.g. "sound music" (default: all four, with image
# and font). On sdl12-compat: LD_LIBRARY_PATH=/usr/lib/x86_64-linux-gnu/sdl12-compat.
set -e
cd "$(dirname "$0")/.."
build=${1:-build}
variants=${2:-3}
seed=${3:-1}
# install-deps.sh also adds the deb-src line apt-get source needs.
sh scripts/install-deps.sh

if [ "$build" = build-asan ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DORVIX_SANITIZE=ON >/dev/null
  ORVIX_SANITIZE=1
else
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  ORVIX_SANITIZE=0
fi
cmake --build "$build" -j"$(nproc)"

dir="$PWD/$build/sweep"
mkdir -p "$dir/found"
(
  cd "$dir"
  # Only the upstream archives are needed: they hold the test files.
  for p in libpng1.6 giflib libjpeg-turbo tiff libwebp flac sox libopenmpt; do
    apt-get source --download-only "$p" >/dev/null 2>&1 || echo "$p: not all of its source could be fetched"
  done
  for t in *.orig.tar.gz *.orig.tar.xz *.orig.tar.bz2; do
    if [ -f "$t" ]; then tar xf "$t"; fi
  done
  # Sounds (WAV, Ogg Vorbis) and music (MOD, MIDI) of a few small packages.
  mkdir -p debs data
  (cd debs && apt-get download alsa-utils circuslinux-data kobodeluxe-data lbreakout2-data ltris \
    sound-theme-freedesktop >/dev/null 2>&1) || echo "not all of the sound packages could be fetched"
  for d in debs/*.deb; do dpkg-deb -x "$d" data; done
  # Some of them in the other formats, as sox writes them.
  mkdir -p converted
  for w in data/usr/share/sounds/alsa/Front_Center.wav data/usr/share/sounds/alsa/Noise.wav \
    "$(find data -name '*.wav' -path '*lbreakout*' | head -n 1)"; do
    [ -f "$w" ] || continue
    n=converted/$(basename "$w" .wav)
    for e in voc aiff ogg flac; do sox "$w" "$n.$e" 2>/dev/null || true; done
    sox "$w" -e ms-adpcm "${n}_ms.wav" 2>/dev/null || true
    sox "$w" -e ima-adpcm "${n}_ima.wav" 2>/dev/null || true
    sox "$w" -r 11025 -b 8 "${n}_8bit.voc" 2>/dev/null || true
  done
  find "$dir" /usr/share/fonts -type f ! -path "$dir/found/*" ! -path "$dir/debs/*" | sort >"$dir/list"
)

host=lua5.1
export ORVIX_BUILD="$PWD/$build" ORVIX_SOURCE="$PWD" ORVIX_SANITIZE
. tests/env.sh
"$host" tests/fuzz/assets_sweep.lua "$dir/list" "$variants" "$seed" "$dir/found" "${4:-image font sound music}"
