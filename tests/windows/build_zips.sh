#!/bin/sh
# Builds the Windows runtime and the zips the Windows tests unpack, into
# BUILD/windows/<name>.zip, and the fixed-clock shim as a Lua module for
# Windows (BUILD/windows/fixedclock.dll): build_zips.sh BUILD (a native build
# directory, whose arcade assets and test assets the zips carry).
set -e
build=$(cd "${1:?usage: build_zips.sh BUILD}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$build/windows
mkdir -p "$out"
cd "$root"
start=$(date +%s)
deps=$(sh windows/deps.sh)
echo "libraries ready after $(($(date +%s) - start)) s: $deps"
zip() {
  name=$1
  shift
  WINDOWS_OUT="$out/$name.zip" sh scripts/windows.sh "$@"
}
zip arcade examples/arcade "$build/examples/arcade"
zip caverun examples/caverun "$build/examples/caverun"
zip roguelike examples/roguelike.lua
# Named by its absolute path; runs under LuaJIT (it needs the FFI).
zip gl_spin "$root/examples/gl_spin.lua"
# The browser tests' scene, with GIFs of every kind, a dark CMYK JPEG and a
# lossy WebP beside the other formats.
zip media tests/browser/games/media "$build/assets" sprite.gif,colours.gif,interlaced.gif,offset.gif,frames.gif,cmyk_dark.jpg,lossy.webp
zip fatal tests/browser/games/fatal
zip sound tests/browser/games/sound "$build/assets"
zip args tests/windows/games/args
x86_64-w64-mingw32-gcc-win32 -O2 -Wall -Wextra -shared -DDECLSPEC= -I"$deps/include/SDL" \
  -o "$out/fixedclock.dll" tests/shim/fixedclock.c -static-libgcc
echo "Windows stage built in $(($(date +%s) - start)) s"
