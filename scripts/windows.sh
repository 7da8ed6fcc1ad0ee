#!/bin/sh
# Builds a zip that plays a game on Windows:
#   sh scripts/windows.sh GAME [ARG...]
#   sh scripts/windows.sh examples/arcade build/examples/arcade
#   sh scripts/windows.sh examples/roguelike.lua
# GAME is a folder with a main.lua, a folder with a script named after it, or
# a script; the ARGs are the script's arguments (as for scripts/web.sh). The
# zip lands in build-windows/<game>.zip: a folder that a player unzips and
# runs by double-clicking <game>.exe. See docs/windows.md.
#   --file PATH   (before GAME) also packs PATH
#   --luajit      (before GAME) runs the game under LuaJIT (the default for
#                 a game whose sources name "ffi")
#   WINDOWS_OUT=FILE   writes the zip to FILE instead
# The first run cross-builds SDL, SDL_mixer, Lua, LuaJIT and the libraries
# under them from Debian's sources into a cache (windows/deps.sh).
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
opts=""
while :; do
  case "$1" in
    --file) opts="$opts --file $2"; shift 2 ;;
    --luajit) luajit=--luajit; shift ;;
    *) break ;;
  esac
done
game=${1:?usage: sh scripts/windows.sh [--file PATH]... [--luajit] GAME [ARG...]}
shift
name=$(basename "$game" .lua)
out=${WINDOWS_OUT:-$root/build-windows/$name.zip}

deps=$(sh "$root/windows/deps.sh")
jobs=$(nproc 2>/dev/null || echo 2)
make -s -C "$root/windows" -j"$jobs" DEPS="$deps" OUT="$root/build-windows" >&2

# shellcheck disable=SC2086
python3 "$root/windows/package.py" "$root/build-windows/runtime" "$out" $luajit "$game" $opts -- "$@"
