#!/bin/sh
# Builds the browser runtime and the sites the browser tests open, into
# BUILD/web/<name>: build_sites.sh BUILD (a native build directory, whose
# arcade assets and test assets the sites carry).
set -e
build=$(cd "${1:?usage: build_sites.sh BUILD}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
site() {
  name=$1
  shift
  WEB_OUT="$build/web/$name" sh scripts/web.sh "$@"
}
# Without the files the game never opens: the asset script and the build's stamp.
site arcade --exclude '*.sh' --exclude stamp examples/arcade "$build/examples/arcade"
site caverun examples/caverun "$build/examples/caverun"
site roguelike examples/roguelike.lua
# Named by its absolute path: packed at that path, run from there.
site gl_spin "$root/examples/gl_spin.lua"
site input tests/browser/games/input
site fatal tests/browser/games/fatal
# A PNG cut short: libpng's error path.
mkdir -p "$build/web"
head -c 200 "$build/assets/sprite.png" >"$build/web/truncated.png"
site truncated tests/browser/games/fatal "$build/web/truncated.png"
# A WebP with alpha, a kind SDL_image does not read: refused as natively.
site webp_alpha tests/browser/games/fatal "$build/assets/faint.webp"
# Music whose first chunk is not its format: refused before any decoder
# sees it, as natively.
{ head -c 12 "$build/assets/beep.wav"; printf 'JUNK\004\000\000\000junk'; tail -c +13 "$build/assets/beep.wav"; } \
  >"$build/web/junk_first.wav"
site junk_first tests/browser/games/fatal "$build/web/junk_first.wav" loadMusic
# A well-formed Ogg Vorbis sound at 50 Hz, which the native build refuses:
# refused in the browser too, by the same check (Chromium would not decode
# it either).
site low_ogg tests/browser/games/fatal "$build/assets/low.ogg" loadSound
site opengl tests/browser/games/opengl
site sound tests/browser/games/sound "$build/assets"
site tracker tests/browser/games/sound "$build/assets" "$build/assets/tune.mod"
site soundctl tests/browser/games/soundctl "$build/assets"
# GIFs of every kind, a dark CMYK JPEG and a lossy WebP besides the scene's
# own images (fidelity.test.js gives the native run the same list).
site media tests/browser/games/media "$build/assets" \
  sprite.gif,colours.gif,interlaced.gif,offset.gif,frames.gif,cmyk_dark.jpg,lossy.webp
site sprites tests/browser/games/sprites "$build/assets"
site saves tests/browser/games/saves
