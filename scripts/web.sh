#!/bin/sh
# Builds a static site that plays a game in a web browser:
#   sh scripts/web.sh GAME [ARG...]
#   sh scripts/web.sh examples/arcade build/examples/arcade
#   sh scripts/web.sh examples/roguelike.lua
# GAME is a folder with a main.lua, a folder with a script named after it, or
# a script; the ARGs are the script's arguments. The site lands in
# build-web/<game>/ (index.html and the files beside it): serve that folder
# over HTTP, or zip it for a game portal. See docs/web.md.
#   --file PATH       (before GAME) also puts PATH in the site's file system
#   --exclude PATTERN (before GAME) leaves out the files PATTERN matches, a
#                     shell pattern over each file's path as the script
#                     opens it, or its name: --exclude '*.psd' --exclude 'src/*'
#   WEB_OUT=DIR       builds into DIR instead of build-web/<game>
#   ORVIX_WEB_CACHE=DIR  where the runtime and the library sources it is
#                     compiled from are kept (default: build-web/ in this
#                     checkout, or, when that cannot be written,
#                     ~/.cache/orvix/web-<checkout>)
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
# The options, each value quoted for the shell (a pattern's * must reach
# package.py as it is).
quote() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }
opts=""
while :; do
  case "$1" in
  --file | --exclude)
    [ $# -ge 2 ] || { echo "web.sh: $1 needs a value" >&2; exit 1; }
    opts="$opts $1 $(quote "$2")"
    shift 2
    ;;
  *) break ;;
  esac
done
game=${1:?usage: sh scripts/web.sh [--file PATH | --exclude PATTERN]... GAME [ARG...]}
shift
name=$(basename "$game" .lua)

# Whether DIR exists and can be written, or can be made.
writable() {
  if [ -d "$1" ]; then [ -w "$1" ]; else mkdir -p "$1" 2>/dev/null; fi
}

# The runtime (Lua, FreeType, libpng, zlib, libwebp, libmikmod, orvixcore,
# its extra module and the browser backend, compiled with Emscripten) is
# built once and shared by every game.
cache=${ORVIX_WEB_CACHE:-}
if [ -z "$cache" ]; then
  if writable "$root/build-web"; then
    cache=$root/build-web
  else
    key=$(printf '%s' "$root" | cksum | cut -d' ' -f1)
    cache=${XDG_CACHE_HOME:-$HOME/.cache}/orvix/web-$key
    echo "web.sh: $root cannot be written; the runtime is built in $cache" >&2
  fi
fi
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)

if [ -n "${WEB_OUT:-}" ]; then
  out=$WEB_OUT
elif writable "$root/build-web"; then
  out=$root/build-web/$name
else
  out=$(pwd)/build-web/$name
fi

jobs=$(nproc 2>/dev/null || echo 2)
make -s -C "$root/web" -j"$jobs" OUT="$cache" >&2

eval "python3 \"\$root/web/package.py\" \"\$cache/runtime\" \"\$out\" \"\$game\" $opts -- \"\$@\""
