#!/bin/sh
# Builds a static site that plays a game in a web browser:
#   sh scripts/web.sh GAME [ARG...]
#   sh scripts/web.sh examples/arcade build/examples/arcade
#   sh scripts/web.sh examples/roguelike.lua
# GAME is a folder with a main.lua, a folder with a script named after it, or
# a script; the ARGs are the script's arguments. The site lands in
# build-web/<game>/ (index.html and the files beside it): serve that folder
# over HTTP, or zip it for a game portal. See docs/web.md.
#   --file PATH   (before GAME) also puts PATH in the site's file system
#   WEB_OUT=DIR   builds into DIR instead of build-web/<game>
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
files=""
while [ "$1" = "--file" ]; do
  files="$files --file $2"
  shift 2
done
game=${1:?usage: sh scripts/web.sh [--file PATH]... GAME [ARG...]}
shift
name=$(basename "$game" .lua)
out=${WEB_OUT:-$root/build-web/$name}

# The runtime (Lua, FreeType, libpng, zlib, orvixcore and the browser
# backend, compiled with Emscripten) is built once and shared by every game.
jobs=$(nproc 2>/dev/null || echo 2)
make -s -C "$root/web" -j"$jobs" OUT="$root/build-web" >&2

# shellcheck disable=SC2086
python3 "$root/web/package.py" "$root/build-web/runtime" "$out" "$game" $files -- "$@"
