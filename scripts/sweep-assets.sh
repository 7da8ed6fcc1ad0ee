#!/bin/sh
# The long run over real files: the test images, fonts and sounds of a few
# Debian source packages and the fonts installed here, and VARIANTS damaged
# copies of each (cuts and overwritten bytes), each loaded in a child process
# with a time limit (tests/fuzz/assets_sweep.lua). Prints counts of loaded,
# failed cleanly, crashed and hung per format; exits 1 if anything crashed or
# hung, and leaves those files in BUILD/sweep/found. Not part of the suite.
#   scripts/sweep-assets.sh [BUILD [VARIANTS [SEED]]]
# BUILD is build (default) or build-asan, the sanitizer build.
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
  for p in libpng1.6 giflib libjpeg-turbo tiff libwebp flac; do
    apt-get source --download-only "$p" >/dev/null 2>&1 || echo "$p: not all of its source could be fetched"
  done
  for t in *.orig.tar.gz *.orig.tar.xz *.orig.tar.bz2; do
    if [ -f "$t" ]; then tar xf "$t"; fi
  done
  find "$dir" /usr/share/fonts -type f ! -path "$dir/found/*" >"$dir/list"
)

host=lua5.1
export ORVIX_BUILD="$PWD/$build" ORVIX_SOURCE="$PWD" ORVIX_SANITIZE
. tests/env.sh
"$host" tests/fuzz/assets_sweep.lua "$dir/list" "$variants" "$seed" "$dir/found"
